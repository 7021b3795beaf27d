#include "json/utf8.h"

#include "json/unit_scan.h"

#include <cstring>

namespace json {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool inRange(unsigned char byte, unsigned char low, unsigned char high) noexcept
{
    return byte >= low && byte <= high;
}

// The allowed range of the second byte after a lead byte; later bytes are always 80..BF.
struct LeadInfo {
    std::uint32_t length;
    unsigned char secondLow;
    unsigned char secondHigh;
};

LeadInfo leadInfo(unsigned char lead) noexcept
{
    if (inRange(lead, 0xC2, 0xDF)) {
        return {2, 0x80, 0xBF};
    }
    if (lead == 0xE0) {
        return {3, 0xA0, 0xBF};
    }
    if (lead == 0xED) {
        return {3, 0x80, 0x9F}; // no surrogates
    }
    if (inRange(lead, 0xE1, 0xEF)) {
        return {3, 0x80, 0xBF};
    }
    if (lead == 0xF0) {
        return {4, 0x90, 0xBF};
    }
    if (inRange(lead, 0xF1, 0xF3)) {
        return {4, 0x80, 0xBF};
    }
    if (lead == 0xF4) {
        return {4, 0x80, 0x8F}; // nothing beyond U+10FFFF
    }
    return {0, 0, 0};
}

// The code point of a two- or three-byte sequence whose continuation bytes are known to be 80..BF.
char16_t bmpCodePoint(const unsigned char* p, std::uint32_t length) noexcept
{
    if (length == 2) {
        return static_cast<char16_t>(((p[0] & 0x1F) << 6) | (p[1] & 0x3F));
    }
    return static_cast<char16_t>(((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
}

bool allAscii(const unsigned char* p) noexcept
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ULL) == 0;
}

// The length of the well-formed two- or three-byte sequence at `p`, or 0 for anything else (which
// decodeUtf8 then reads). Most text beyond ASCII is made of these.
std::uint32_t wellFormedBmpLength(const unsigned char* p, std::size_t available) noexcept
{
    const unsigned char lead = p[0];
    if (lead >= 0xC2 && lead <= 0xDF) {
        return available >= 2 && (p[1] & 0xC0) == 0x80 ? 2 : 0;
    }
    if ((lead & 0xF0) != 0xE0 || available < 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80) {
        return 0;
    }
    // Overlong forms (below U+0800) and surrogates are ill-formed.
    const char32_t cp = bmpCodePoint(p, 3);
    return cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF) ? 3 : 0;
}

} // namespace

Utf8Step decodeUtf8(const unsigned char* bytes, std::size_t available) noexcept
{
    const unsigned char lead = bytes[0];
    if (lead < 0x80) {
        return {lead, 1};
    }
    const LeadInfo info = leadInfo(lead);
    if (info.length == 0) {
        return {kReplacement, 1};
    }
    char32_t cp = lead & (0xFF >> (info.length + 1));
    for (std::uint32_t k = 1; k < info.length; ++k) {
        const unsigned char low = k == 1 ? info.secondLow : 0x80;
        const unsigned char high = k == 1 ? info.secondHigh : 0xBF;
        if (k >= available || !inRange(bytes[k], low, high)) {
            return {kReplacement, k};
        }
        cp = (cp << 6) | (bytes[k] & 0x3F);
    }
    return {cp, info.length};
}

std::u16string Utf8ToUtf16(std::string_view bytes)
{
    std::u16string out(utf16Length(bytes), u'\0');
    decodeUtf8Into(bytes, out.data());
    return out;
}

std::size_t decodeUtf8Into(std::string_view bytes, char16_t* out) noexcept
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    char16_t* const first = out;
    while (p < end) {
        if (*p < 0x80) {
            p = detail::widenAscii(p, end, out);
            continue;
        }
        if (const std::uint32_t length = wellFormedBmpLength(p, static_cast<std::size_t>(end - p))) {
            *out++ = bmpCodePoint(p, length);
            p += length;
            continue;
        }
        const Utf8Step step = decodeUtf8(p, static_cast<std::size_t>(end - p));
        if (step.codePoint >= 0x10000) {
            const char32_t v = step.codePoint - 0x10000;
            *out++ = static_cast<char16_t>(0xD800 + (v >> 10));
            *out++ = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
        } else {
            *out++ = static_cast<char16_t>(step.codePoint);
        }
        p += step.length;
    }
    return static_cast<std::size_t>(out - first);
}

std::size_t utf16Length(std::string_view bytes) noexcept
{
    std::size_t count = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        if (n - i >= 8 && allAscii(p + i)) {
            count += 8;
            i += 8;
        } else if (p[i] < 0x80) {
            ++count;
            ++i;
        } else {
            const Utf8Step step = decodeUtf8(p + i, n - i);
            count += step.codePoint >= 0x10000 ? 2 : 1;
            i += step.length;
        }
    }
    return count;
}

bool isWellFormedUtf8(std::string_view bytes) noexcept
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    while (p < end) {
        // Tables and files are mostly ASCII: eight bytes at a time.
        if (end - p >= 8 && allAscii(p)) {
            p += 8;
            continue;
        }
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const Utf8Step step = decodeUtf8(p, static_cast<std::size_t>(end - p));
        // A replacement character is an error unless it was written as such (EF BF BD).
        if (step.codePoint == kReplacement && !(step.length == 3 && p[0] == 0xEF && p[1] == 0xBF && p[2] == 0xBD)) {
            return false;
        }
        p += step.length;
    }
    return true;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

} // namespace json
