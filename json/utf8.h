#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace json {

// One decoded code point and the number of bytes it took.
struct Utf8Step {
    char32_t codePoint;
    std::uint32_t length;
};

// Decodes the code point at the start of `bytes` (which must not be empty). An ill-formed sequence
// gives U+FFFD for its maximal subpart (at least one byte), as Unicode recommends, so every byte of any
// input is consumed exactly once.
Utf8Step decodeUtf8(const unsigned char* bytes, std::size_t available) noexcept;

// UTF-8 to UTF-16, with U+FFFD for every ill-formed subpart. A byte order mark is kept as U+FEFF.
std::u16string Utf8ToUtf16(std::string_view bytes);
// Writes the code units of Utf8ToUtf16(bytes) to `out` and returns their number, utf16Length(bytes),
// which is never more than bytes.size().
std::size_t decodeUtf8Into(std::string_view bytes, char16_t* out) noexcept;
// The number of UTF-16 code units Utf8ToUtf16 gives for `bytes`.
std::size_t utf16Length(std::string_view bytes) noexcept;
// Whether `bytes` is well-formed UTF-8, i.e. decoding and re-encoding it would change nothing.
bool isWellFormedUtf8(std::string_view bytes) noexcept;
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

} // namespace json
