#include "json/decimal.h"

#include <algorithm>
#include <array>

namespace json {
namespace {

__extension__ using u128 = unsigned __int128;

constexpr u128 kMagnitudeLimit = static_cast<u128>(1) << 96;
// Significant digits kept exactly while reading; 10^36 still fits in 128 bits with room for rounding.
constexpr int kKeptDigits = 36;
// Exponents are clamped here while reading: far beyond any representable value, far from int overflow.
constexpr int kExponentClamp = 100000;

u128 pow10(int n)
{
    u128 p = 1;
    for (int i = 0; i < n; ++i) {
        p *= 10;
    }
    return p;
}

// mantissa / 10^digits, rounded half to even; `sticky` says that nonzero digits were dropped beyond the
// mantissa, which breaks an exact tie upwards.
u128 divideRounded(u128 mantissa, int digits, bool sticky)
{
    if (digits == 0) {
        return mantissa;
    }
    if (digits > 38) {
        return 0; // the mantissa is below 10^36, so far below half of 10^digits
    }
    const u128 divisor = pow10(digits);
    const u128 quotient = mantissa / divisor;
    const u128 remainder = mantissa % divisor;
    const u128 half = divisor / 2;
    const bool roundUp = remainder > half || (remainder == half && (sticky || (quotient & 1) != 0));
    return roundUp ? quotient + 1 : quotient;
}

// The digits and exponent of a number text: value = mantissa × 10^exponent.
struct Scanned {
    bool valid = false;
    bool negative = false;
    u128 mantissa = 0;
    int exponent = 0;
    bool sticky = false; // nonzero digits dropped beyond kKeptDigits
};

template <class Char>
Scanned scan(std::basic_string_view<Char> text)
{
    Scanned s;
    std::size_t i = 0;
    const auto at = [&](std::size_t k) -> char32_t { return k < text.size() ? static_cast<char32_t>(text[k]) : 0; };
    const auto isDigit = [](char32_t c) { return c >= '0' && c <= '9'; };

    if (at(i) == '+' || at(i) == '-') {
        s.negative = at(i) == '-';
        ++i;
    }
    int kept = 0;
    int digitsSeen = 0;
    bool seenPoint = false;
    for (;; ++i) {
        const char32_t c = at(i);
        if (isDigit(c)) {
            ++digitsSeen;
            if (s.mantissa == 0 && c == '0') {
                if (seenPoint) {
                    --s.exponent; // a leading zero of the fraction
                }
                continue;
            }
            if (kept < kKeptDigits) {
                s.mantissa = s.mantissa * 10 + (c - '0');
                ++kept;
                if (seenPoint) {
                    --s.exponent;
                }
            } else {
                s.sticky = s.sticky || c != '0';
                if (!seenPoint) {
                    ++s.exponent; // a dropped digit of the whole part
                }
            }
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (digitsSeen == 0) {
        return s;
    }
    if (at(i) == 'e' || at(i) == 'E') {
        ++i;
        bool negativeExponent = false;
        if (at(i) == '+' || at(i) == '-') {
            negativeExponent = at(i) == '-';
            ++i;
        }
        if (!isDigit(at(i))) {
            return s;
        }
        int value = 0;
        for (; isDigit(at(i)); ++i) {
            value = std::min(value * 10 + static_cast<int>(at(i) - '0'), kExponentClamp);
        }
        s.exponent += negativeExponent ? -value : value;
    }
    s.valid = i == text.size();
    return s;
}

// The largest scale (at most 28, at most the number of fraction digits written) whose rounded
// magnitude fits in 96 bits.
ParsedDecimal fit(const Scanned& s)
{
    ParsedDecimal result;
    if (!s.valid) {
        return result;
    }
    if (s.mantissa == 0) {
        result.status = Decimal::Conversion::Ok;
        const int scale = std::clamp(-s.exponent, 0, int{Decimal::kMaxScale});
        result.value = Decimal::fromParts(0, 0, static_cast<std::uint8_t>(scale), false);
        return result;
    }
    for (int scale = std::clamp(-s.exponent, 0, int{Decimal::kMaxScale}); scale >= 0; --scale) {
        const int shift = s.exponent + scale; // magnitude = mantissa × 10^shift
        if (shift > 28) {
            break; // the mantissa is at least 1, and 10^29 passes 2^96
        }
        if (shift >= 0 && s.mantissa > (kMagnitudeLimit - 1) / pow10(shift)) {
            continue;
        }
        const u128 magnitude = shift >= 0 ? s.mantissa * pow10(shift) : divideRounded(s.mantissa, -shift, s.sticky);
        if (magnitude < kMagnitudeLimit) {
            result.status = Decimal::Conversion::Ok;
            result.value =
                Decimal::fromParts(static_cast<std::uint32_t>(magnitude >> 64), static_cast<std::uint64_t>(magnitude),
                                   static_cast<std::uint8_t>(scale), s.negative);
            return result;
        }
    }
    result.status = Decimal::Conversion::Overflow;
    return result;
}

u128 magnitudeOf(const Decimal& d)
{
    return (static_cast<u128>(d.hi()) << 64) | d.lo();
}

// The usual number text (an optional minus, at most 19 digits, at most one point, no exponent) is
// exact in 64 bits and needs no rounding.
template <class Char>
bool parsePlain(std::basic_string_view<Char> text, ParsedDecimal& result) noexcept
{
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    i += negative ? 1 : 0;
    std::uint64_t magnitude = 0;
    int digits = 0;
    int fraction = -1; // digits after the point, once a point is seen
    for (; i < text.size(); ++i) {
        const Char c = text[i];
        if (c >= '0' && c <= '9') {
            if (++digits > 19) {
                return false;
            }
            magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
            fraction += fraction >= 0 ? 1 : 0;
        } else if (c == '.' && fraction < 0) {
            fraction = 0;
        } else {
            return false;
        }
    }
    if (digits == 0) {
        return false;
    }
    result.status = Decimal::Conversion::Ok;
    result.value = Decimal::fromParts(0, magnitude, static_cast<std::uint8_t>(std::max(fraction, 0)), negative);
    return true;
}

template <class Char>
ParsedDecimal parseText(std::basic_string_view<Char> text) noexcept
{
    ParsedDecimal result;
    if (parsePlain(text, result)) {
        return result;
    }
    return fit(scan(text));
}

} // namespace

ParsedDecimal Decimal::parse(std::u16string_view text) noexcept
{
    return parseText(text);
}

ParsedDecimal Decimal::parse(std::string_view text) noexcept
{
    return parseText(text);
}

std::optional<std::int64_t> Decimal::toInt64() const noexcept
{
    const u128 whole = divideRounded(magnitudeOf(*this), m_scale, false);
    const u128 limit = static_cast<u128>(1) << 63;
    if (m_negative) {
        if (whole > limit) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(whole));
    }
    if (whole >= limit) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(whole);
}

std::u16string Decimal::toString() const
{
    std::array<char16_t, 64> digits{};
    std::size_t n = 0;
    u128 m = magnitudeOf(*this);
    do {
        digits[n++] = static_cast<char16_t>(u'0' + static_cast<int>(m % 10));
        m /= 10;
    } while (m != 0);
    while (n <= m_scale) {
        digits[n++] = u'0'; // so that a fraction has its leading "0."
    }
    std::u16string text;
    text.reserve(n + 2);
    if (m_negative) {
        text += u'-';
    }
    for (std::size_t k = n; k-- > 0;) {
        text += digits[k];
        if (k == m_scale && k != 0) {
            text += u'.';
        }
    }
    return text;
}

std::u16string decimalText(std::int64_t value)
{
    return Decimal::fromInt64(value).toString();
}

bool operator==(const Decimal& a, const Decimal& b) noexcept
{
    if (a.isZero() || b.isZero()) {
        return a.isZero() && b.isZero();
    }
    if (a.m_negative != b.m_negative) {
        return false;
    }
    // Scale the one with fewer fraction digits up; a product beyond 96 bits cannot equal the other.
    const bool aFiner = a.m_scale > b.m_scale;
    const Decimal& fine = aFiner ? a : b;
    const Decimal& coarse = aFiner ? b : a;
    const u128 factor = pow10(fine.m_scale - coarse.m_scale);
    if (magnitudeOf(coarse) > (kMagnitudeLimit - 1) / factor) {
        return false;
    }
    return magnitudeOf(coarse) * factor == magnitudeOf(fine);
}

} // namespace json
