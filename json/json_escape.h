#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace json {

// Appends `text` as the inside of a JSON string: a double quote and a backslash get a backslash before
// them, every control character U+0000 to U+001F becomes \u00XX (lower-case hex), everything else stays
// as it is. Parsing the result between quotes gives `text` back, and nothing in it can end the string.
void appendJsonEscaped(std::u16string& out, std::u16string_view text);
std::u16string jsonEscaped(std::u16string_view text);

// The value of a hexadecimal digit (either letter case), or -1 for any other character.
constexpr int hexDigitValue(char32_t c) noexcept
{
    return c >= U'0' && c <= U'9'   ? static_cast<int>(c - U'0')
           : c >= U'a' && c <= U'f' ? static_cast<int>(c - U'a') + 10
           : c >= U'A' && c <= U'F' ? static_cast<int>(c - U'A') + 10
                                    : -1;
}

// The unit that a backslash and `letter` stand for inside a JSON string, for the single-letter escapes
// (\" \\ \/ \' \b \f \n \r \t); -1 for any other letter, \u included.
constexpr int singleLetterEscape(char32_t letter) noexcept
{
    switch (letter) {
    case U'"':
    case U'\\':
    case U'/':
    case U'\'':
        return static_cast<int>(letter);
    case U'b':
        return 0x08;
    case U'f':
        return 0x0C;
    case U'n':
        return 0x0A;
    case U'r':
        return 0x0D;
    case U't':
        return 0x09;
    default:
        return -1;
    }
}

// A strict JSON escape read just past its backslash, at `at` in `text`: one of the single letters above
// but \', or \u and four hexadecimal digits. The unit it stands for and the characters it takes after
// the backslash; nothing for anything else, or when the text ends first.
struct StrictEscape {
    char16_t unit;
    std::size_t length;
};
std::optional<StrictEscape> readStrictEscape(std::u16string_view text, std::size_t at) noexcept;

} // namespace json
