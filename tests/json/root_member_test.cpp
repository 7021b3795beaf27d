#include "support/show.h"
#include "json/json.h"
#include "json/root_member.h"
#include "json/utf8.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace json;

namespace {

// The member the whole parse keeps under `name`, which RootMember must always give.
JsonValue memberOfWholeParse(std::u16string_view text, std::u16string_view name)
{
    const std::optional<JsonValue> root = ParseJson(text);
    return root ? (*root)[name].clone() : JsonValue();
}

// A value written as JSON text; none stands for the empty value.
JsonValue valueOf(const std::optional<std::u16string>& literal)
{
    if (!literal) {
        return JsonValue();
    }
    const std::optional<JsonValue> holder = ParseJson(u"[" + *literal + u"]");
    return holder->at(1).clone();
}

std::u16string deeplyNested(int depth)
{
    return std::u16string(static_cast<std::size_t>(depth), u'[') + std::u16string(static_cast<std::size_t>(depth), u']');
}

struct Case {
    const char* name;
    std::u16string text;
    std::optional<std::u16string> expected; // the root's "results" as JSON text; none for the empty value
};

class RootMemberCases : public ::testing::TestWithParam<Case> {};

TEST_P(RootMemberCases, rootMember_givesWhatTheWholeParseKeeps)
{
    const Case& c = GetParam();
    const JsonValue expected = valueOf(c.expected);
    ASSERT_EQ(memberOfWholeParse(c.text, u"results"), expected) << "the case itself is wrong: " << show(c.text);
    EXPECT_EQ(RootMember(c.text, u"results"), expected) << show(c.text);
    EXPECT_EQ(RootMemberUtf8(Utf16ToUtf8(c.text), u"results"), expected) << show(c.text);
}

INSTANTIATE_TEST_SUITE_P(
    RootMember, RootMemberCases,
    ::testing::Values(
        Case{"leading", u"{\"results\":5,\"rows\":[{\"a\":1}]}", u"5"},
        Case{"leadingNegative", u"{\"results\":-12}", u"-12"},
        Case{"leadingThenTextEnds", u"{\"results\":5", u"5"},
        Case{"leadingWithoutValue", u"{\"results\":", std::nullopt},
        Case{"last", u"{\"rows\":[],\"total\":2,\"results\":3}", u"3"},
        Case{"onlyNested", u"{\"rows\":[{\"results\":9}]}", std::nullopt},
        Case{"nestedBeforeTheRootOne", u"{\"meta\":{\"results\":9},\"results\":2}", u"2"},
        Case{"leadingContainerHoldingOne", u"{\"results\":{\"results\":9}}", u"{\"results\":9}"},
        Case{"duplicatedFirstKept", u"{\"results\":4,\"results\":7}", u"4"},
        Case{"duplicatedLaterFirstKept", u"{\"rows\":[],\"results\":4,\"results\":7}", u"4"},
        Case{"afterDuplicateName", u"{\"a\":1,\"a\":2,\"results\":3}", std::nullopt},
        Case{"afterNestedDuplicateName", u"{\"a\":{\"b\":1,\"b\":2},\"results\":3}", std::nullopt},
        Case{"afterNumberThatDoesNotConvert", u"{\"a\":1-,\"results\":3}", std::nullopt},
        Case{"afterInvalidArrayElement", u"{\"a\":[tru],\"results\":3}", std::nullopt},
        Case{"afterNestingLimit", u"{\"a\":" + deeplyNested(600) + u",\"results\":3}", std::nullopt},
        Case{"afterRecordedFailure", u"{\"a\" 1,\"results\":3}", u"3"},
        Case{"afterInvalidLiteralTakenAsName", u"{\"a\":tru,\"results\":3}", std::nullopt},
        Case{"leadingNestingLimitInside", u"{\"results\":" + deeplyNested(600) + u"}", deeplyNested(511)},
        Case{"stringOfDigits", u"{\"results\":\"12\"}", u"\"12\""},
        Case{"boolean", u"{\"results\":true}", u"true"},
        Case{"invalidLiteral", u"{\"results\":tru,\"rows\":[]}", u"false"},
        Case{"null", u"{\"results\":null}", u"null"},
        Case{"notANumber", u"{\"results\":1-2,\"rows\":[]}", std::nullopt},
        Case{"trailingLetters", u"{\"results\":12abc:1}", u"12"},
        Case{"beyondSixteenBits", u"{\"results\":40000}", u"40000"},
        Case{"beyondTheDecimal", u"{\"results\":123456789012345678901234567890123}", std::nullopt},
        Case{"fraction", u"{\"results\":2.5}", u"2.5"},
        Case{"unquotedName", u"{results:5}", u"5"},
        Case{"singleQuotedName", u"{'results':5}", u"5"},
        Case{"commentsAndParentheses", u" /* a */ ( // b\n{ \"results\" : 5 })", u"5"},
        Case{"leadingComma", u"{,\"results\":5}", u"5"},
        Case{"nameWithoutColon", u"{\"results\" 5}", u"5"},
        Case{"nameOtherCase", u"{\"Results\":5,\"results\":6}", u"6"},
        Case{"escapedNameIsNotDecoded", u"{\"res\\u0075lts\":5}", std::nullopt},
        Case{"rootArray", u"[{\"results\":5}]", std::nullopt},
        Case{"noRoot", u"results 5", std::nullopt},
        Case{"emptyText", u"", std::nullopt},
        Case{"emptyObject", u"{}", std::nullopt}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(RootMember, leadingMember_restOfTheTextIsNeverRead)
{
    // The tail would record lines and stop the whole parse; reading stops before it.
    const std::u16string text = u"{\"results\":5,\"a\":tru,\"b\":1x}";
    EXPECT_EQ(RootMember(text, u"results"), valueOf(u"5"));
    EXPECT_EQ(LastParseErrors(), u"");
    EXPECT_EQ(RootMemberUtf8(Utf16ToUtf8(text), u"results"), valueOf(u"5"));
    EXPECT_EQ(LastParseErrors(), u"");
    ParseJson(text);
    EXPECT_NE(LastParseErrors(), u"");
}

TEST(RootMember, bytesNotUtf8_readAsTheUtf8ParseReadsThem)
{
    struct BytesCase {
        std::string bytes;
        std::optional<std::u16string> expected;
    };
    for (const BytesCase& c : {
             BytesCase{"{\"results\":7,\"x\":\"\xff\xc0\x80\"}", u"7"},
             BytesCase{"{\"x\":\"\xed\xa0\x80\",\"results\":7}", u"7"},
             BytesCase{"{\"results\":\"\x80" "1\"}", u"\"\xfffd" "1\""},
             BytesCase{"\xef\xbb\xbf{\"results\":7}", std::nullopt},
             BytesCase{std::string("{\"results\":7\0}", 14), u"7"},
             BytesCase{"{\"results\":7,\"x\":\"\xe2\x82", u"7"},
         }) {
        const std::optional<JsonValue> root = ParseJsonUtf8(c.bytes);
        const JsonValue whole = root ? (*root)[u"results"].clone() : JsonValue();
        EXPECT_EQ(whole, valueOf(c.expected)) << "the case itself is wrong: " << c.bytes;
        EXPECT_EQ(RootMemberUtf8(c.bytes, u"results"), valueOf(c.expected)) << c.bytes;
    }
}

} // namespace
