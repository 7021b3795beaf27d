#include "client/request_text.h"

#include "json/utf8.h"

namespace client {

std::u16string percentEncode(std::u16string_view text)
{
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    const std::string bytes = json::Utf16ToUtf8(text);
    std::u16string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const bool unreserved = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
                                b == '-' || b == '.' || b == '_' || b == '~';
        if (unreserved) {
            out += static_cast<char16_t>(b);
        } else {
            out += u'%';
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        }
    }
    return out;
}

} // namespace client
