#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace json {

struct ParsedDecimal;

// An exact decimal number: a 96-bit unsigned magnitude, a sign and a power-of-ten scale from 0 to 28
// (value = ±magnitude / 10^scale). Whole numbers of up to 28 digits are exact; there is no binary
// floating point anywhere. Zero is never negative.
class Decimal final {
public:
    static constexpr std::uint8_t kMaxScale = 28;

    enum class Conversion { Ok, TypeMismatch, Overflow };

    constexpr Decimal() = default;
    // From parts as stored; the caller guarantees scale <= 28 and hi < 2^32.
    static constexpr Decimal fromParts(std::uint32_t hi, std::uint64_t lo, std::uint8_t scale, bool negative)
    {
        Decimal d;
        d.m_hi = hi;
        d.m_lo = lo;
        d.m_scale = scale;
        d.m_negative = negative && (hi != 0 || lo != 0);
        return d;
    }
    static constexpr Decimal fromInt64(std::int64_t value)
    {
        const bool negative = value < 0;
        const std::uint64_t magnitude =
            negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
        return fromParts(0, magnitude, 0, negative);
    }

    // Converts a number text: an optional sign, digits with at most one decimal point (at least one digit
    // in all), and an optional exponent "e" or "E" with an optional sign and at least one digit. Digits
    // beyond what the scale can hold are rounded half to even; a value too small for scale 28 rounds to
    // zero. TypeMismatch for any other text (empty, a lone sign, two signs, a dangling exponent, a
    // second point); Overflow when the whole part needs more than 96 bits.
    static ParsedDecimal parse(std::u16string_view text) noexcept;
    static ParsedDecimal parse(std::string_view text) noexcept;

    std::uint32_t hi() const noexcept { return m_hi; }
    std::uint64_t lo() const noexcept { return m_lo; }
    std::uint8_t scale() const noexcept { return m_scale; }
    bool isNegative() const noexcept { return m_negative; }
    bool isZero() const noexcept { return m_hi == 0 && m_lo == 0; }

    // The nearest whole number, halves rounded to even; nothing when that is outside the 64-bit range.
    std::optional<std::int64_t> toInt64() const noexcept;
    // Plain decimal text with "." as decimal point and exactly `scale` fraction digits ("12.50", "-0.5",
    // "100"), never an exponent.
    std::u16string toString() const;

    // Equal values compare equal whatever their scale (1.5 == 1.50).
    friend bool operator==(const Decimal& a, const Decimal& b) noexcept;

private:
    std::uint32_t m_hi = 0;
    std::uint64_t m_lo = 0;
    std::uint8_t m_scale = 0;
    bool m_negative = false;
};

struct ParsedDecimal {
    Decimal::Conversion status = Decimal::Conversion::TypeMismatch;
    Decimal value;
};

// A whole number in plain decimal digits, with "-" before a negative one ("42", "-7").
std::u16string decimalText(std::int64_t value);

} // namespace json
