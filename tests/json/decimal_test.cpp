#include "json/decimal.h"

#include <gtest/gtest.h>

using json::Decimal;
using Conversion = json::Decimal::Conversion;

namespace {

std::u16string widen(const char* s)
{
    return std::u16string(s, s + std::char_traits<char>::length(s));
}

} // namespace

TEST(Decimal, parse_convertsNumberTextsExactly)
{
    struct Case {
        const char* text;
        const char* shown;
    };
    for (const Case& c : {
             Case{"0", "0"},
             Case{"12", "12"},
             Case{"-15e2", "-1500"},
             Case{"+7", "7"},
             Case{"12.50", "12.50"},
             Case{".5", "0.5"},
             Case{"5.", "5"},
             Case{"-0.05", "-0.05"},
             Case{"-0", "0"},
             Case{"0.000", "0.000"},
             Case{"1E3", "1000"},
             Case{"1.5e-3", "0.0015"},
             Case{"123.456e2", "12345.6"},
             Case{"00012", "12"},
             Case{"9223372036854775807", "9223372036854775807"},
             Case{"79228162514264337593543950335", "79228162514264337593543950335"},
             Case{"-79228162514264337593543950335", "-79228162514264337593543950335"},
             Case{"1.0e+28", "10000000000000000000000000000"},
             Case{"-1.0e+28", "-10000000000000000000000000000"},
             Case{"0.0000000000000000000000000001", "0.0000000000000000000000000001"},
             // Digits beyond what fits are rounded half to even.
             Case{"0.00000000000000000000000000015", "0.0000000000000000000000000002"},
             Case{"0.00000000000000000000000000025", "0.0000000000000000000000000002"},
             Case{"0.000000000000000000000000000250001", "0.0000000000000000000000000003"},
             Case{"7.92281625142643375935439503356", "7.922816251426433759354395034"},
             Case{"7922816251426433759354395033.46", "7922816251426433759354395033.5"},
             Case{"7922816251426433759354395033.56", "7922816251426433759354395034"}, // .6 would pass 2^96
             Case{"79228162514264337593543950334.5", "79228162514264337593543950334"},
             Case{"-65.613616999999977", "-65.613616999999977"},
             // Below what scale 28 can show: zero.
             Case{"1e-29", "0.0000000000000000000000000000"},
             Case{"-0.000000000000000000000000000000000000000000000000000000000000000000000000000001",
                  "0.0000000000000000000000000000"},
             Case{"0e99999999999", "0"},
             Case{"123456789012345678901234567890123456789012e-20", "1234567890123456789012.3456789"},
         }) {
        const json::ParsedDecimal parsed = Decimal::parse(std::string_view(c.text));
        ASSERT_EQ(parsed.status, Conversion::Ok) << c.text;
        EXPECT_EQ(parsed.value.toString(), widen(c.shown)) << c.text;
        const json::ParsedDecimal wide = Decimal::parse(widen(c.text));
        EXPECT_EQ(wide.status, Conversion::Ok) << c.text;
        EXPECT_EQ(wide.value.toString(), widen(c.shown)) << c.text;
    }
}

TEST(Decimal, parse_refusesTextsThatAreNoNumber)
{
    for (const char* text : {"", "+", "-", "+-1", "--1", ".", "1e", "1e+", "e5", "1.2.3", "1e5.5", "1-", "1+2", "1e5e5",
                             "0x10", "1 ", "Infinity", "1,5"}) {
        EXPECT_EQ(Decimal::parse(std::string_view(text)).status, Conversion::TypeMismatch) << text;
    }
}

TEST(Decimal, parse_reportsOverflowBeyond96Bits)
{
    for (const char* text : {"79228162514264337593543950336", "-79228162514264337593543950336", "123e65", "123e45",
                             "123.456e78", "1e29", "99999999999999999999999999999.5", "1e99999999999999"}) {
        EXPECT_EQ(Decimal::parse(std::string_view(text)).status, Conversion::Overflow) << text;
    }
}

TEST(Decimal, toInt64_roundsHalfToEvenWithinRange)
{
    struct Case {
        const char* text;
        std::optional<std::int64_t> expected;
    };
    for (const Case& c : {Case{"40000", 40000}, Case{"2.5", 2}, Case{"3.5", 4}, Case{"-2.5", -2}, Case{"-3.5", -4},
                          Case{"2.51", 3}, Case{"0.4999", 0}, Case{"12.50", 12}, Case{"1e3", 1000},
                          Case{"9223372036854775807", INT64_MAX}, Case{"-9223372036854775808", INT64_MIN},
                          Case{"9223372036854775807.5", std::nullopt}, Case{"9223372036854775808", std::nullopt},
                          Case{"-9223372036854775809", std::nullopt}, Case{"1e20", std::nullopt}}) {
        const json::ParsedDecimal parsed = Decimal::parse(std::string_view(c.text));
        ASSERT_EQ(parsed.status, Conversion::Ok) << c.text;
        EXPECT_EQ(parsed.value.toInt64(), c.expected) << c.text;
    }
}

TEST(Decimal, equality_comparesValuesWhateverTheScale)
{
    const auto d = [](const char* text) { return Decimal::parse(std::string_view(text)).value; };
    EXPECT_EQ(d("1.5"), d("1.50"));
    EXPECT_EQ(d("0"), d("-0.000"));
    EXPECT_EQ(d("100"), d("1e2"));
    EXPECT_FALSE(d("1.5") == d("-1.5"));
    EXPECT_FALSE(d("1.5") == d("1.51"));
    EXPECT_FALSE(d("79228162514264337593543950335") == d("7.9228162514264337593543950335"));
    EXPECT_EQ(Decimal::fromInt64(-42), d("-42.0"));
}

TEST(DecimalText, wholeNumbers_inPlainDigits)
{
    struct Case {
        std::int64_t value;
        std::u16string expected;
    };
    for (const Case& c : {Case{0, u"0"}, Case{7, u"7"}, Case{-42, u"-42"}, Case{32768, u"32768"},
                          Case{INT64_MAX, u"9223372036854775807"}, Case{INT64_MIN, u"-9223372036854775808"}}) {
        EXPECT_EQ(json::decimalText(c.value), c.expected) << c.value;
    }
}
