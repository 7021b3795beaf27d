#pragma once

// Internal to the json library: finding the end of a run of code units many at a time. The runs are
// bounded by ASCII characters of a set known at compile time (the quotes of a string, the blanks of
// filler). On x86-64, SSE2 is always there and compares 16 bytes per step; elsewhere the same runs are
// found one unit at a time.

#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define MTH_JSON_SSE2 1
#endif

namespace json::detail {

// A set of ASCII characters given as template arguments.
template <char... Cs>
struct CharSet {
    static constexpr bool has(std::uint32_t unit) noexcept { return ((unit == static_cast<unsigned char>(Cs)) || ...); }
};

#ifdef MTH_JSON_SSE2
inline constexpr std::size_t kLargestBlockSet = 6;

// One bit per byte of the 16 at `p` (two per 16-bit unit), set where the byte or unit is one of Cs.
template <class Unit, char... Cs>
inline std::uint32_t matchMask(__m128i block) noexcept
{
    __m128i hits = _mm_setzero_si128();
    if constexpr (sizeof(Unit) == 1) {
        ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(Cs)))), ...);
    } else {
        ((hits = _mm_or_si128(hits, _mm_cmpeq_epi16(block, _mm_set1_epi16(static_cast<short>(Cs))))), ...);
    }
    return static_cast<std::uint32_t>(_mm_movemask_epi8(hits));
}
#endif

// The first unit in [p, end) that is one of the set (or `end`). For bytes, `highBits` gathers the bits
// of every byte passed over, so that the caller knows whether all were ASCII.
template <class Unit, char... Cs>
const Unit* findAny(CharSet<Cs...>, const Unit* p, const Unit* end, std::uint32_t& highBits) noexcept
{
#ifdef MTH_JSON_SSE2
    constexpr std::ptrdiff_t kPerBlock = 16 / sizeof(Unit);
    while (end - p >= kPerBlock) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const std::uint32_t mask = matchMask<Unit, Cs...>(block);
        if (mask != 0) {
            const int firstByte = std::countr_zero(mask);
            if constexpr (sizeof(Unit) == 1) {
                highBits |= static_cast<std::uint32_t>(_mm_movemask_epi8(block)) & ((1u << firstByte) - 1);
            }
            return p + firstByte / static_cast<int>(sizeof(Unit));
        }
        if constexpr (sizeof(Unit) == 1) {
            highBits |= static_cast<std::uint32_t>(_mm_movemask_epi8(block));
        }
        p += kPerBlock;
    }
#endif
    for (; p < end && !CharSet<Cs...>::has(*p); ++p) {
        if constexpr (sizeof(Unit) == 1) {
            highBits |= *p & 0x80u;
        }
    }
    return p;
}

// The first unit in [p, end) that is not one of the set (or `end`). Large sets (the characters of a
// number) bound short runs, which one unit at a time reads as fast as many comparisons per block.
template <class Unit, char... Cs>
const Unit* skipAll(CharSet<Cs...>, const Unit* p, const Unit* end) noexcept
{
#ifdef MTH_JSON_SSE2
    constexpr std::ptrdiff_t kPerBlock = 16 / sizeof(Unit);
    while (sizeof...(Cs) <= kLargestBlockSet && end - p >= kPerBlock) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const std::uint32_t misses = ~matchMask<Unit, Cs...>(block) & 0xFFFFu;
        if (misses != 0) {
            return p + std::countr_zero(misses) / static_cast<int>(sizeof(Unit));
        }
        p += kPerBlock;
    }
#endif
    while (p < end && CharSet<Cs...>::has(*p)) {
        ++p;
    }
    return p;
}

// Copies the ASCII bytes at the start of [p, end) to `out` as UTF-16 units, and returns the first byte
// that is not ASCII (or `end`); `out` is left after the last unit written.
inline const unsigned char* widenAscii(const unsigned char* p, const unsigned char* end, char16_t*& out) noexcept
{
#ifdef MTH_JSON_SSE2
    while (end - p >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (_mm_movemask_epi8(block) != 0) {
            break;
        }
        const __m128i zero = _mm_setzero_si128();
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(block, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(block, zero));
        p += 16;
        out += 16;
    }
#endif
    for (; p < end && *p < 0x80; ++p) {
        *out++ = *p;
    }
    return p;
}

} // namespace json::detail
