#include "script/text_form.h"
#include "support/show.h"
#include "json/json.h"

#include <gtest/gtest.h>

using json::Decimal;
using json::JsonValue;
using script::textForm;

TEST(TextForm, scalars_readAsEvaluationGivesThem)
{
    struct Case {
        JsonValue value;
        const char16_t* text;
    };
    Case cases[] = {
        {JsonValue(), u""},
        {JsonValue::makeNull(), u"null"},
        {JsonValue::makeBoolean(true), u"true"},
        {JsonValue::makeBoolean(false), u"false"},
        {JsonValue::makeString(u"a \"quoted\"\n text"), u"a \"quoted\"\n text"},
        {JsonValue::makeNumber(Decimal::fromParts(0, 1250, 2, false)), u"12.50"},
        {JsonValue::makeNumber(Decimal::fromParts(0, 5, 1, true)), u"-0.5"},
        {JsonValue::makeNumber(Decimal::fromInt64(-100)), u"-100"},
        {JsonValue::makeNumber(Decimal::fromParts(0xFFFFFFFFu, ~std::uint64_t{0}, 28, false)),
         u"7.9228162514264337593543950335"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(show(textForm(c.value)), show(c.text));
    }
}

TEST(TextForm, parsedContainers_readAsCompactJson)
{
    struct Case {
        const char16_t* source;
        const char16_t* text;
    };
    const Case cases[] = {
        {u"{}", u"{}"},
        {u"[ ]", u"[]"},
        {u"{ a : 1 , 'b' : [ true , null , 'x' ] , \"c\" : { } }", uR"({"a":1,"b":[true,null,"x"],"c":{}})"},
        {u"[1.50, -2, 3e2, [[[]]]]", u"[1.50,-2,300,[[[]]]]"},
        {uR"(["q\"uote", "back\\slash", "tab\tline\nfeed\rbell\u0007\b\f", "\u00e9\ud83d\ude00"])",
         u"[\"q\\\"uote\",\"back\\\\slash\",\"tab\\u0009line\\u000afeed\\u000dbell\\u0007\\u0008\\u000c\",\"\u00e9\U0001F600\"]"},
    };
    for (const Case& c : cases) {
        const auto root = json::ParseJson(c.source);
        ASSERT_TRUE(root.has_value()) << show(c.source);
        ASSERT_EQ(json::LastParseErrors(), u"") << show(c.source);
        const std::u16string text = textForm(*root);
        EXPECT_EQ(show(text), show(c.text));
        // Compact JSON reads back as the same value.
        const auto again = json::ParseJson(text);
        ASSERT_TRUE(again.has_value()) << show(text);
        EXPECT_TRUE(*again == *root) << show(text);
    }
}

TEST(TextForm, memberNames_areEscapedLikeStrings)
{
    JsonValue object = JsonValue::makeObject();
    object.insert(u"na\"me\u001f", JsonValue::makeString(u"v"));
    EXPECT_EQ(show(textForm(object)), show(uR"({"na\"me\u001f":"v"})"));
}

TEST(TextForm, emptyValueInsideContainer_writesNothing)
{
    JsonValue array = JsonValue::makeArray();
    array.append(JsonValue());
    array.append(JsonValue::makeNumber(Decimal::fromInt64(1)));
    JsonValue object = JsonValue::makeObject();
    object.insert(u"e", JsonValue());
    object.insert(u"a", std::move(array));
    EXPECT_EQ(show(textForm(object)), show(uR"({"e":,"a":[,1]})"));
}
