#pragma once

// Internal to the json library: the text a parse reads, seen as a sequence of UTF-16 code units with a
// cursor, whether it is held as UTF-16 or as the UTF-8 bytes of a reply. Positions are 1-based UTF-16
// positions in both cases, so recorded lines read the same whichever form was parsed.
//
// Both sources offer the same members: atEnd, peek (the code unit at the cursor; only when not at the
// end), advance (one code unit), position, mark/reset, scanUntil (a run of code units that are not ASCII
// characters of a given set, as a span), decode (a span as UTF-16), and the excerpts that recorded lines
// show (the rest of the text, the units at the cursor, the last units of the whole text).

#include "json/unit_scan.h"
#include "json/utf8.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace json::detail {

// A set of ASCII characters, tested in one step.
class AsciiSet final {
public:
    constexpr AsciiSet(std::initializer_list<char> chars)
    {
        for (char c : chars) {
            m_bits[static_cast<unsigned char>(c) >> 6] |= std::uint64_t{1} << (c & 63);
        }
    }
    constexpr bool has(std::uint32_t unit) const noexcept
    {
        return unit < 128 && ((m_bits[unit >> 6] >> (unit & 63)) & 1) != 0;
    }

private:
    std::array<std::uint64_t, 2> m_bits{};
};

template <class Unit>
struct Span {
    const Unit* data = nullptr;
    std::size_t size = 0;
    bool ascii = true;     // every unit below 128 (always true for UTF-16 spans, where it does not matter)
    std::size_t units = 0; // the number of UTF-16 code units the span decodes to
};

class Utf16Source final {
public:
    using Unit = char16_t;

    // `position` is the 1-based cursor; below 1 or beyond the text it stands for the end of the text.
    Utf16Source(std::u16string_view text, std::int64_t position) noexcept
        : m_begin(text.data()), m_end(text.data() + text.size())
    {
        if (position >= 1 && static_cast<std::uint64_t>(position) <= text.size()) {
            m_cur = m_begin + (position - 1);
        } else {
            m_cur = m_end;
            m_outsidePosition = position;
            m_outside = true;
        }
    }

    bool atEnd() const noexcept { return m_cur >= m_end; }
    char16_t peek() const noexcept { return *m_cur; }
    void advance() noexcept { ++m_cur; }
    std::int64_t position() const noexcept { return m_outside ? m_outsidePosition : (m_cur - m_begin) + 1; }

    struct Mark {
        const char16_t* cur;
    };
    Mark mark() const noexcept { return {m_cur}; }
    void reset(Mark m) noexcept { m_cur = m.cur; }

    template <char... Stops>
    Span<char16_t> scanUntil(CharSet<Stops...> stops) noexcept
    {
        const char16_t* start = m_cur;
        std::uint32_t unused = 0;
        m_cur = findAny(stops, m_cur, m_end, unused);
        const std::size_t size = static_cast<std::size_t>(m_cur - start);
        return {start, size, true, size};
    }
    template <char... Accepted>
    Span<char16_t> scanWhile(CharSet<Accepted...> accepted) noexcept
    {
        const char16_t* start = m_cur;
        m_cur = skipAll(accepted, m_cur, m_end);
        const std::size_t size = static_cast<std::size_t>(m_cur - start);
        return {start, size, true, size};
    }
    std::u16string_view decode(const Span<char16_t>& span, std::u16string&) const noexcept
    {
        return {span.data, span.size};
    }
    static void decodeInto(const Span<char16_t>& span, char16_t* out) noexcept
    {
        std::copy_n(span.data, span.size, out);
    }
    // Whether the span decodes to exactly `text`.
    static bool sameUnits(const Span<char16_t>& span, std::u16string_view text) noexcept
    {
        return std::u16string_view(span.data, span.size) == text;
    }

    bool matchesAscii(std::string_view literal) const noexcept
    {
        if (static_cast<std::size_t>(m_end - m_cur) < literal.size()) {
            return false;
        }
        return std::equal(literal.begin(), literal.end(), m_cur,
                          [](char a, char16_t b) { return static_cast<char16_t>(a) == b; });
    }
    // Only for a literal that matchesAscii confirmed.
    void skipAscii(std::size_t count) noexcept { m_cur += count; }

    std::u16string rest(std::size_t limit) const
    {
        return std::u16string(m_cur, m_cur + std::min<std::size_t>(limit, static_cast<std::size_t>(m_end - m_cur)));
    }
    std::u16string unitsAtCursor(std::size_t count) const { return rest(count); }
    std::u16string lastUnits(std::size_t count) const
    {
        return std::u16string(m_end - std::min<std::size_t>(count, static_cast<std::size_t>(m_end - m_begin)), m_end);
    }

private:
    const char16_t* m_begin;
    const char16_t* m_end;
    const char16_t* m_cur;
    std::int64_t m_outsidePosition = 0;
    bool m_outside = false;
};

class Utf8Source final {
public:
    using Unit = unsigned char;

    explicit Utf8Source(std::string_view bytes) noexcept
        : m_begin(reinterpret_cast<const unsigned char*>(bytes.data())), m_end(m_begin + bytes.size()), m_cur(m_begin)
    {
        load();
    }

    bool atEnd() const noexcept { return m_cur >= m_end; }
    char16_t peek() const noexcept { return m_lowHalf ? m_low : m_unit; }
    void advance() noexcept
    {
        ++m_position;
        if (m_pair && !m_lowHalf) {
            m_lowHalf = true;
            return;
        }
        m_cur += m_width;
        load();
    }
    std::int64_t position() const noexcept { return m_position; }

    struct Mark {
        const unsigned char* cur;
        std::int64_t position;
        bool lowHalf;
    };
    Mark mark() const noexcept { return {m_cur, m_position, m_lowHalf}; }
    void reset(Mark m) noexcept
    {
        m_cur = m.cur;
        m_position = m.position;
        load();
        m_lowHalf = m.lowHalf;
    }

    // Stops at once (an empty span) on the second half of a surrogate pair; callers then read that unit
    // by peek and advance. Every stop character is ASCII, and no byte of a multi-byte sequence is, so the
    // run can be scanned byte by byte.
    template <char... Stops>
    Span<unsigned char> scanUntil(CharSet<Stops...> stops) noexcept
    {
        if (m_lowHalf) {
            return {m_cur, 0, true, 0};
        }
        const unsigned char* start = m_cur;
        std::uint32_t highBits = 0;
        m_cur = findAny(stops, m_cur, m_end, highBits);
        const std::size_t size = static_cast<std::size_t>(m_cur - start);
        const bool ascii = highBits == 0;
        const std::size_t units = ascii ? size : utf16Length({reinterpret_cast<const char*>(start), size});
        m_position += static_cast<std::int64_t>(units);
        load();
        return {start, size, ascii, units};
    }
    // Only ASCII characters can be accepted.
    template <char... Accepted>
    Span<unsigned char> scanWhile(CharSet<Accepted...> accepted) noexcept
    {
        if (m_lowHalf) {
            return {m_cur, 0, true, 0};
        }
        const unsigned char* start = m_cur;
        m_cur = skipAll(accepted, m_cur, m_end);
        const std::size_t size = static_cast<std::size_t>(m_cur - start);
        m_position += static_cast<std::int64_t>(size);
        load();
        return {start, size, true, size};
    }
    // The span as UTF-16, in `scratch` (whose room is reused from call to call).
    std::u16string_view decode(const Span<unsigned char>& span, std::u16string& scratch) const
    {
        scratch.resize(span.units);
        decodeInto(span, scratch.data());
        return scratch;
    }
    // Writes the span's span.units UTF-16 code units to `out`.
    static void decodeInto(const Span<unsigned char>& span, char16_t* out) noexcept
    {
        if (span.ascii) {
            std::copy_n(span.data, span.size, out);
            return;
        }
        decodeUtf8Into({reinterpret_cast<const char*>(span.data), span.size}, out);
    }

    // Whether the span is ASCII and decodes to exactly `text` (other spans are not compared).
    static bool sameUnits(const Span<unsigned char>& span, std::u16string_view text) noexcept
    {
        return span.ascii && span.size == text.size() && std::equal(span.data, span.data + span.size, text.begin());
    }

    bool matchesAscii(std::string_view literal) const noexcept
    {
        if (m_lowHalf || static_cast<std::size_t>(m_end - m_cur) < literal.size()) {
            return false;
        }
        return std::equal(literal.begin(), literal.end(), m_cur,
                          [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; });
    }
    void skipAscii(std::size_t count) noexcept
    {
        m_cur += count;
        m_position += static_cast<std::int64_t>(count);
        load();
    }

    std::u16string rest(std::size_t limit) const { return unitsFrom(m_cur, m_lowHalf, limit); }
    std::u16string unitsAtCursor(std::size_t count) const { return rest(count); }
    std::u16string lastUnits(std::size_t count) const
    {
        // Three bytes give at least one unit, so this many bytes hold the last `count` units.
        const std::size_t window = std::min<std::size_t>(3 * count + 3, static_cast<std::size_t>(m_end - m_begin));
        const unsigned char* from = syncPoint(m_end - window);
        const std::u16string tail =
            Utf8ToUtf16({reinterpret_cast<const char*>(from), static_cast<std::size_t>(m_end - from)});
        return tail.substr(tail.size() - std::min(count, tail.size()));
    }

private:
    static bool isContinuation(unsigned char b) noexcept { return b >= 0x80 && b <= 0xBF; }

    // A byte where decoding from the start of the text begins a new code point at or before `at`: any
    // byte that is not a continuation byte, or a continuation byte with no lead within three bytes.
    const unsigned char* syncPoint(const unsigned char* at) const noexcept
    {
        if (at >= m_end) {
            return at;
        }
        for (std::ptrdiff_t back = 0; back <= 3 && back <= at - m_begin; ++back) {
            if (!isContinuation(*(at - back))) {
                return at - back;
            }
        }
        return at;
    }

    std::u16string unitsFrom(const unsigned char* from, bool lowHalf, std::size_t limit) const
    {
        std::u16string out;
        const unsigned char* p = from;
        while (p < m_end && out.size() < limit) {
            const Utf8Step step = decodeUtf8(p, static_cast<std::size_t>(m_end - p));
            if (step.codePoint >= 0x10000) {
                const char32_t v = step.codePoint - 0x10000;
                if (!lowHalf) {
                    out += static_cast<char16_t>(0xD800 + (v >> 10));
                }
                if (out.size() < limit) {
                    out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
                }
            } else {
                out += static_cast<char16_t>(step.codePoint);
            }
            lowHalf = false;
            p += step.length;
        }
        return out;
    }

    void load() noexcept
    {
        m_lowHalf = false;
        m_pair = false;
        if (m_cur < m_end && *m_cur < 0x80) {
            m_unit = *m_cur;
            m_width = 1;
            return;
        }
        loadMultiByte();
    }
    void loadMultiByte() noexcept
    {
        if (m_cur >= m_end) {
            return;
        }
        const Utf8Step step = decodeUtf8(m_cur, static_cast<std::size_t>(m_end - m_cur));
        m_width = step.length;
        if (step.codePoint >= 0x10000) {
            const char32_t v = step.codePoint - 0x10000;
            m_unit = static_cast<char16_t>(0xD800 + (v >> 10));
            m_low = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
            m_pair = true;
        } else {
            m_unit = static_cast<char16_t>(step.codePoint);
        }
    }

    const unsigned char* m_begin;
    const unsigned char* m_end;
    const unsigned char* m_cur;
    std::int64_t m_position = 1;
    std::uint32_t m_width = 0;
    char16_t m_unit = 0;
    char16_t m_low = 0;
    bool m_pair = false;    // the code point at the cursor takes two units
    bool m_lowHalf = false; // the cursor is on the second of them
};

} // namespace json::detail
