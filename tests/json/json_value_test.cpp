#include "json/json.h"

#include <gtest/gtest.h>

#include <type_traits>

using namespace json;

TEST(JsonValue, defaultValue_isEmptyAndAccessorsFallBack)
{
    const JsonValue v;
    EXPECT_TRUE(v.isEmpty());
    EXPECT_FALSE(v.asBoolean());
    EXPECT_TRUE(v.asNumber().isZero());
    EXPECT_EQ(v.asString(), u"");
    EXPECT_EQ(v.count(), 0u);
    EXPECT_TRUE(v[u"x"].isEmpty());
    EXPECT_TRUE(v.at(1).isEmpty());
    EXPECT_TRUE(v.members().empty());
    EXPECT_TRUE(v.elements().empty());
}

TEST(JsonValue, accessorsOfOtherKinds_giveTheirFallbacks)
{
    const JsonValue text = JsonValue::makeString(u"true");
    EXPECT_FALSE(text.asBoolean());
    EXPECT_TRUE(text.asNumber().isZero());
    EXPECT_EQ(text.count(), 0u);
    const JsonValue number = JsonValue::makeNumber(Decimal::fromInt64(7));
    EXPECT_EQ(number.asString(), u"");
    JsonValue array = JsonValue::makeArray();
    EXPECT_FALSE(array.insert(u"a", JsonValue::makeNull()));
    JsonValue object = JsonValue::makeObject();
    EXPECT_FALSE(object.append(JsonValue::makeNull()));
    EXPECT_TRUE(object.at(1).isEmpty());
}

TEST(JsonValue, strings_ofEveryLengthRoundTrip)
{
    for (std::size_t n : {0u, 1u, 7u, 8u, 100u}) {
        std::u16string text(n, u'\u00e9');
        const JsonValue v = JsonValue::makeString(text);
        EXPECT_EQ(v.asString(), text) << n;
        const JsonValue moved(JsonValue::makeString(text));
        EXPECT_EQ(moved.asString(), text) << n;
    }
}

TEST(JsonValue, numbers_keepSignAndScale)
{
    const Decimal d = Decimal::parse(std::string_view("-79228162514264337593543950.335")).value;
    const JsonValue v = JsonValue::makeNumber(d);
    EXPECT_EQ(v.asNumber().toString(), u"-79228162514264337593543950.335");
    EXPECT_EQ(v.asNumber().scale(), 3);
}

TEST(JsonValue, insert_keepsOrderAndRefusesDuplicateKeepingFirst)
{
    JsonValue object = JsonValue::makeObject();
    EXPECT_TRUE(object.insert(u"b", JsonValue::makeBoolean(true)));
    EXPECT_TRUE(object.insert(u"a", JsonValue::makeNull()));
    EXPECT_TRUE(object.insert(u"", JsonValue::makeString(u"empty name")));
    EXPECT_TRUE(object.insert(u"B", JsonValue::makeString(u"other case")));
    EXPECT_FALSE(object.insert(u"b", JsonValue::makeBoolean(false)));
    ASSERT_EQ(object.count(), 4u);
    EXPECT_EQ(object.members()[0].name(), u"b");
    EXPECT_EQ(object.members()[1].name(), u"a");
    EXPECT_TRUE(object[u"b"].asBoolean());
    EXPECT_EQ(object[u""].asString(), u"empty name");
    EXPECT_EQ(object[u"B"].asString(), u"other case");
}

TEST(JsonValue, largeObject_staysFindableAcrossIndexGrowth)
{
    JsonValue object = JsonValue::makeObject();
    for (int i = 0; i < 5000; ++i) {
        const std::string name = "m" + std::to_string(i);
        ASSERT_TRUE(
            object.insert(std::u16string(name.begin(), name.end()), JsonValue::makeNumber(Decimal::fromInt64(i))));
    }
    EXPECT_FALSE(object.insert(u"m4999", JsonValue::makeNull()));
    for (int i = 0; i < 5000; i += 37) {
        const std::string name = "m" + std::to_string(i);
        EXPECT_EQ(object[std::u16string(name.begin(), name.end())].asNumber().toInt64(), i);
    }
    EXPECT_TRUE(object[u"m5000"].isEmpty());
    const JsonValue copy = object.clone();
    EXPECT_TRUE(copy == object);
    EXPECT_EQ(copy[u"m1234"].asNumber().toInt64(), 1234);
}

TEST(JsonValue, clone_isDeepAndIndependent)
{
    auto root = ParseJson(u"{\"a\":[1,{\"b\":\"long enough text\"}],\"c\":2.50}");
    ASSERT_TRUE(root.has_value());
    JsonValue copy = root->clone();
    EXPECT_TRUE(copy == *root);
    root.reset(); // the copy shares nothing that the original frees
    EXPECT_EQ(copy[u"a"].at(2)[u"b"].asString(), u"long enough text");
    EXPECT_EQ(copy[u"c"].asNumber().toString(), u"2.50");
}

TEST(JsonValue, parsedRoot_canGrowAndBeMovedIntoAnotherTree)
{
    auto root = ParseJson(u"{\"rows\":[{\"name\":\"long enough text\"}]}");
    ASSERT_TRUE(root.has_value());
    EXPECT_TRUE(root->insert(u"added", JsonValue::makeString(u"another long text")));
    EXPECT_FALSE(root->insert(u"rows", JsonValue::makeNull()));
    JsonValue holder = JsonValue::makeArray();
    ASSERT_TRUE(holder.append(std::move(*root)));
    root.reset(); // the moved tree, and everything below it, now belongs to the holder alone
    EXPECT_EQ(holder.at(1)[u"rows"].at(1)[u"name"].asString(), u"long enough text");
    EXPECT_EQ(holder.at(1)[u"added"].asString(), u"another long text");
    JsonValue copy = holder.at(1)[u"rows"].clone();
    holder = JsonValue();
    EXPECT_EQ(copy.at(1)[u"name"].asString(), u"long enough text");
    EXPECT_TRUE(copy.append(JsonValue::makeNull()));
    EXPECT_EQ(copy.count(), 2u);
}

TEST(JsonValue, equality_comparesDeeply)
{
    const auto parse = [](const char16_t* text) { return *ParseJson(text); };
    EXPECT_TRUE(parse(u"{\"a\":[1.0,null,true]}") == parse(u"{a:[1, null, true]}"));
    EXPECT_FALSE(parse(u"{\"a\":1,\"b\":2}") == parse(u"{\"b\":2,\"a\":1}")); // order matters
    EXPECT_FALSE(parse(u"[1,2]") == parse(u"[1,2,3]"));
    EXPECT_FALSE(parse(u"[\"1\"]") == parse(u"[1]"));
}

TEST(JsonValue, moves_leaveSourceEmptyAndCopiesAreRefused)
{
    static_assert(!std::is_copy_constructible_v<JsonValue>);
    static_assert(std::is_nothrow_move_constructible_v<JsonValue>);
    JsonValue a = JsonValue::makeString(u"a string longer than seven");
    JsonValue b = std::move(a);
    EXPECT_TRUE(a.isEmpty()); // NOLINT: checking the moved-from state on purpose
    EXPECT_EQ(b.asString(), u"a string longer than seven");
    b = JsonValue::makeArray();
    EXPECT_TRUE(b.isArray());
}
