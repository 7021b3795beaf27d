#pragma once

#include <string>
#include <string_view>

namespace json {

// Letter case of UTF-16 text, one code unit at a time, by the one-to-one mappings of the Unicode
// database (mappings that would change the length, such as German sharp s to "SS", are left out, and
// surrogate code units map to themselves). Used where the program compares texts ignoring case.
char16_t toLowerUnit(char16_t unit) noexcept;
char16_t toUpperUnit(char16_t unit) noexcept;
std::u16string toLower(std::u16string_view text);
std::u16string toUpper(std::u16string_view text);

} // namespace json
