#include "json/json_escape.h"

namespace json {

void appendJsonEscaped(std::u16string& out, std::u16string_view text)
{
    static constexpr char16_t kHex[] = u"0123456789abcdef";
    for (const char16_t c : text) {
        if (c == u'"' || c == u'\\') {
            out += u'\\';
            out += c;
        } else if (c < 0x20) {
            out += u"\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += c;
        }
    }
}

std::u16string jsonEscaped(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    appendJsonEscaped(out, text);
    return out;
}

std::optional<StrictEscape> readStrictEscape(std::u16string_view text, std::size_t at) noexcept
{
    if (at >= text.size() || text[at] == u'\'') {
        return std::nullopt;
    }
    if (const int letter = singleLetterEscape(text[at]); letter >= 0) {
        return StrictEscape{static_cast<char16_t>(letter), 1};
    }
    if (text[at] != u'u' || text.size() - at < 5) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t k = 1; k <= 4; ++k) {
        const int digit = hexDigitValue(text[at + k]);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 16 + digit;
    }
    return StrictEscape{static_cast<char16_t>(value), 5};
}

} // namespace json
