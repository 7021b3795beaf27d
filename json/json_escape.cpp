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

} // namespace json
