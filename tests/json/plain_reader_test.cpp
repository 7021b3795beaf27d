#include "json/json.h"
#include "json/plain_reader.h"
#include "json/utf8.h"

#include <gtest/gtest.h>

using namespace json;

namespace {

std::string nested(int depth)
{
    return std::string(static_cast<std::size_t>(depth), '[') + std::string(static_cast<std::size_t>(depth), ']');
}

// An object whose members are named m0, m1, ..., each holding its position, then `extra`.
std::string wideObject(int members, const std::string& extra = {})
{
    std::string text = "{";
    for (int i = 0; i < members; ++i) {
        text += "\"m" + std::to_string(i) + "\":" + std::to_string(i) + ",";
    }
    return text + extra + "\"last\":0}";
}

// The lenient reader's root and recorded lines for the same bytes.
struct Lenient {
    std::optional<JsonValue> root;
    std::u16string errors;
};

Lenient readLeniently(std::string_view bytes)
{
    Lenient lenient;
    lenient.root = ParseJson(Utf8ToUtf16(bytes));
    lenient.errors = LastParseErrors();
    return lenient;
}

} // namespace

TEST(PlainReader, plainJson_givesTheLenientReadersTree)
{
    const std::string cases[] = {
        "{}",
        "[]",
        " \r\n\t{ } trailing text is not read",
        R"({"a":[1,2,{"b":null}],"c":{"d":true,"e":false},"f":"text"})",
        "{\n    \"a\" : [ 1 , 2 ] ,\n    \"b\" :\t{ }\n}\n",
        R"(["", "short", "a string longer than seven units", "tab	and	controls"])",
        R"(["\"\\\/\'\b\f\n\r\t", "x\u0041y\u00e9\uD83D\uDE00", "\u004a\u004B", "é after escape \n é"])",
        "[\"caf\xC3\xA9\", \"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E text\", \"\xF0\x9F\x98\x80\"]",
        "[\"bad \xFF byte\", \"cut \xE6\x97\", \"overlong \xE0\x80\xAF\", \"surrogate \xED\xA0\x80\"]",
        "{\"n\xC3\xA4me\":1, \"bad\xFF\":2, \"a\\\\b\":3, \"\":4}",
        R"([0, -0, 7, -12, 3.25, -0.5, 007, .5, 5., 1234567890123456789, -9999999999999999999])",
        R"([12345678901234567890, 1e3, 2.5E-2, +1, 1.000000000000000000000000001, 0.1e-40])",
        R"({"rows":[{"a":1,"b":2},{"a":3,"b":4},{"b":5,"a":6},{"a":7,"c":8,"b":9},{"a":1}]})",
        R"([{"x":{"a":1}},{"x":{"a":2,"b":3}},{"y":{"b":4,"a":5}}])",
        R"({"x":{"x":1},"y":{"x":{"x":{"m":1,"x":2},"y":3}}})",
        wideObject(50),
        wideObject(70),
        nested(512),
    };
    for (const std::string& bytes : cases) {
        const std::optional<JsonValue> plain = detail::readPlainUtf8(bytes);
        const Lenient lenient = readLeniently(bytes);
        ASSERT_TRUE(plain.has_value()) << bytes;
        ASSERT_TRUE(lenient.root.has_value()) << bytes;
        EXPECT_EQ(lenient.errors, u"") << bytes;
        EXPECT_TRUE(*plain == *lenient.root) << bytes;
    }
}

TEST(PlainReader, plainJson_keepsValuesExactly)
{
    const auto root = *detail::readPlainUtf8(R"({"s":"a\u00e9\n","n":[-0.50,1234567890123456789,1e2],"t":true})");
    EXPECT_EQ(root[u"s"].asString(), u"a\u00e9\n");
    EXPECT_EQ(root[u"n"].at(1).asNumber().toString(), u"-0.50");
    EXPECT_EQ(root[u"n"].at(2).asNumber().toString(), u"1234567890123456789");
    EXPECT_EQ(root[u"n"].at(3).asNumber().toString(), u"100");
    EXPECT_TRUE(root[u"t"].asBoolean());
    EXPECT_EQ(root.members()[1].name(), u"n");
}

TEST(PlainReader, anythingElse_isHandedToTheLenientReader)
{
    const std::string cases[] = {
        "",
        "   ",
        "\"text\"",
        "12",
        "\xEF\xBB\xBF{}",
        "({})",
        "/* c */ {}",
        R"({"a":1 /* c */})",
        R"({'a':1})",
        R"({a:1})",
        R"({"a b":1})",
        R"({"a" "b":1})",
        R"({"a":1 "b":2})",
        R"({"a":1,})",
        R"({,"a":1})",
        R"([1,])",
        R"([1,,2])",
        R"([1 2])",
        R"(['x'])",
        R"({"a":1,"a":2})",
        R"([{"a":1,"b":2},{"a":1,"a":2}])",
        R"([{"a":1,"b":2},{"b":1,"a":2,"b":3}])",
        // The names an object expects must not come from an object inside it stored under the same name.
        R"({"x":{"x":1},"y":{"x":{"x":{"m":1,"x":2},"x":3}}})",
        wideObject(70, "\"m3\":1,"),
        R"(["\x"])",
        R"(["\u12"])",
        R"(["\u12g4"])",
        R"(["\é"])",
        R"(["open)",
        R"(["open\)",
        R"({"a":[1,2)",
        R"({"a")",
        R"({"a":)",
        R"([123456789012345678901234567890])",
        R"([1e])",
        R"([1..2])",
        R"([-])",
        R"([1-2])",
        R"([tru])",
        R"([nul])",
        R"([falsy])",
        R"([truex])",
        R"([x])",
        nested(513),
    };
    for (const std::string& bytes : cases) {
        EXPECT_FALSE(detail::readPlainUtf8(bytes).has_value()) << bytes;
    }
}

TEST(ParseJsonUtf8, textThatIsNotPlain_isReadLeniently)
{
    for (const std::string& bytes :
         {std::string(R"({"a":1,"a":2})"), std::string(R"({"a":[1,2)"), std::string(R"({a:1, 'b':'x' /* c */})"),
          nested(600)}) {
        const std::optional<JsonValue> root = ParseJsonUtf8(bytes);
        const std::u16string errors = LastParseErrors();
        const Lenient lenient = readLeniently(bytes);
        ASSERT_EQ(root.has_value(), lenient.root.has_value()) << bytes;
        EXPECT_TRUE(*root == *lenient.root) << bytes;
        EXPECT_EQ(errors, lenient.errors) << bytes;
    }
}

TEST(ParseJsonUtf8, plainText_leavesNoLinesOfAnEarlierParse)
{
    ASSERT_TRUE(ParseJsonUtf8(R"({"a":[1,2)").has_value());
    ASSERT_NE(LastParseErrors(), u"");
    ASSERT_TRUE(ParseJsonUtf8(R"({"a":1})").has_value());
    EXPECT_EQ(LastParseErrors(), u"");
}
