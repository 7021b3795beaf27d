#include "client/request_text.h"

#include "json/utf8.h"

#include <cstdint>
#include <cstring>

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

bool isWellFormedUtf8(std::string_view bytes) noexcept
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    while (p < end) {
        // Tables are mostly ASCII: test eight bytes at a time.
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                p += 8;
                continue;
            }
        }
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const json::Utf8Step step = json::decodeUtf8(p, static_cast<std::size_t>(end - p));
        // A replacement character is an error unless it was written as such (EF BF BD).
        if (step.codePoint == 0xFFFD && !(step.length == 3 && p[0] == 0xEF && p[1] == 0xBF && p[2] == 0xBD)) {
            return false;
        }
        p += step.length;
    }
    return true;
}

} // namespace client
