#include "support/show.h"
#include "json/json.h"
#include "json/local_parse_errors.h"
#include "json/utf8.h"

#include <gtest/gtest.h>

using namespace json;

namespace {

std::u16string last20(std::u16string_view text)
{
    return std::u16string(text.substr(text.size() - std::min<std::size_t>(20, text.size())));
}

// Parses the text both as UTF-16 and as UTF-8 bytes, expects the same tree and the same lines from
// both, and returns the UTF-16 result.
std::optional<JsonValue> parseBoth(std::u16string_view text)
{
    std::optional<JsonValue> fromBytes = ParseJsonUtf8(Utf16ToUtf8(text));
    const std::u16string bytesErrors = LastParseErrors();
    std::optional<JsonValue> root = ParseJson(text);
    EXPECT_EQ(LastParseErrors(), bytesErrors) << show(text);
    EXPECT_EQ(root.has_value(), fromBytes.has_value()) << show(text);
    if (root && fromBytes) {
        EXPECT_TRUE(*root == *fromBytes) << show(text);
    }
    return root;
}

} // namespace

TEST(ParseJson, rootThatIsNoContainer_givesNothingAndInvalidJson)
{
    for (const char16_t* text : {u"", u"   ", u"\"text\"", u"12", u"true", u"null", u"x{}", u"\ufeff{}"}) {
        EXPECT_FALSE(parseBoth(text).has_value()) << show(text);
        EXPECT_EQ(LastParseErrors(), u"Invalid JSON") << show(text);
    }
}

TEST(ParseJson, emptyContainers_parseClean)
{
    for (const char16_t* text : {u"{}", u"[]", u" ( {} ) ", u"// head\n[ /* none */ ]", u"{} trailing ] garbage"}) {
        const auto root = parseBoth(text);
        ASSERT_TRUE(root.has_value()) << show(text);
        EXPECT_EQ(root->count(), 0u);
        EXPECT_EQ(LastParseErrors(), u"") << show(text);
    }
}

TEST(ParseJson, values_keepKindsOrderAndPositions)
{
    const auto root = parseBoth(u"{\"s\":\"a\\u00e9\",\"n\":-12.50,\"t\":true,\"f\":false,\"z\":null,"
                                u"\"o\":{\"x\":1},\"a\":[1,\"two\",[3]],\"long\":\"0123456789abcdef\"}");
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(LastParseErrors(), u"");
    ASSERT_EQ(root->count(), 8u);
    const char16_t* names[] = {u"s", u"n", u"t", u"f", u"z", u"o", u"a", u"long"};
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(root->members()[i].name(), names[i]);
    }
    EXPECT_EQ((*root)[u"s"].asString(), u"a\u00e9");
    EXPECT_EQ((*root)[u"n"].asNumber().toString(), u"-12.50");
    EXPECT_TRUE((*root)[u"t"].asBoolean());
    EXPECT_TRUE((*root)[u"f"].isBoolean());
    EXPECT_TRUE((*root)[u"z"].isNull());
    EXPECT_EQ((*root)[u"o"][u"x"].asNumber().toInt64(), 1);
    const JsonValue& a = (*root)[u"a"];
    ASSERT_EQ(a.count(), 3u);
    EXPECT_EQ(a.at(1).asNumber().toInt64(), 1);
    EXPECT_EQ(a.at(2).asString(), u"two");
    EXPECT_EQ(a.at(3).at(1).asNumber().toInt64(), 3);
    EXPECT_TRUE(a.at(0).isEmpty());
    EXPECT_TRUE(a.at(4).isEmpty());
    EXPECT_EQ((*root)[u"long"].asString(), u"0123456789abcdef");
    EXPECT_TRUE((*root)[u"S"].isEmpty()); // names are case-sensitive
}

TEST(ParseJson, userListReply_isWalkedInOrderAndAbsentMemberIsEmpty)
{
    const auto root = parseBoth(
        u"{\"rows\":[{\"username\":\"ops@sekolah.id\",\"peran_id_str\":\"Operator Sekolah\",\"password\":\"p1\"},"
        u"{\"username\":\"guru@sekolah.id\",\"peran_id_str\":\"Guru\",\"password\":\"p2\"}]}");
    ASSERT_TRUE(root.has_value());
    const JsonValue& rows = (*root)[u"rows"];
    ASSERT_EQ(rows.count(), 2u);
    EXPECT_EQ(rows.elements()[0][u"peran_id_str"].asString(), u"Operator Sekolah");
    EXPECT_EQ(rows.elements()[1][u"password"].asString(), u"p2");
    EXPECT_TRUE((*root)[u"results"].isEmpty());
    EXPECT_EQ((*root)[u"results"].asNumber().toInt64(), 0);
}

TEST(ParseJson, lenientSyntax_isAccepted)
{
    const auto root = parseBoth(u"({unquoted: 'single', 'name': \"v\" two: 2 /* c */ three:3, // c\n four//c\n:4})");
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ((*root)[u"unquoted"].asString(), u"single");
    EXPECT_EQ((*root)[u"name"].asString(), u"v");
    EXPECT_EQ((*root)[u"two"].asNumber().toInt64(), 2);
    EXPECT_EQ((*root)[u"three"].asNumber().toInt64(), 3);
    EXPECT_EQ((*root)[u"four//c"].asNumber().toInt64(), 4); // no comments inside an unquoted name
}

TEST(ParseJson, recordedFailures_giveExactLines)
{
    struct Case {
        const char16_t* name;
        const char16_t* text;
        const char16_t* tree; // the tree, re-parsed from a clean text (none: checked elsewhere)
        std::u16string errors;
    };
    const std::u16string cut = u"{\"a\":[1,2";
    for (const Case& c : {
             Case{u"empty element", u"[1,,2]", u"[1]", u"Type mismatch: ,2]\r\n"},
             Case{u"trailing comma in array", u"[1,2,]", u"[1,2]", u"Type mismatch: ]\r\n"},
             Case{u"trailing comma in object", u"{\"a\":1,}", nullptr,
                  u"Missing '}': " + last20(u"{\"a\":1,}") + u"\r\n"},
             Case{u"cut inside array in object", cut.c_str(), u"{\"a\":[1,2]}",
                  u"Missing ']': " + cut + u"\r\nMissing '}': " + cut + u"\r\n"},
             Case{u"invalid boolean member", u"{\"a\":tru,\"b\":1}", u"{\"a\":false,\"tru,b\":1}",
                  u"Invalid Boolean at position 6 : tru,\"b\":1}\r\n"},
             Case{u"key without colon", u"{\"a\" 1}", u"{\"a\":1}", u"Invalid Key at position 6 : a\r\n"},
             Case{u"overflow in array", u"[1,123e45,3]", u"[1]", u"Overflow: ,3]\r\n"},
         }) {
        const auto root = parseBoth(c.text);
        ASSERT_TRUE(root.has_value()) << show(c.name);
        EXPECT_EQ(LastParseErrors(), c.errors) << show(c.name);
        if (c.tree == nullptr) {
            continue;
        }
        const auto expected = ParseJson(c.tree);
        ASSERT_EQ(LastParseErrors(), u"") << show(c.name);
        EXPECT_TRUE(*root == *expected) << show(c.name);
    }
}

TEST(ParseJson, trailingCommaInObject_storesMemberNamedClosingBrace)
{
    const auto root = ParseJson(u"{\"a\":1,}");
    ASSERT_TRUE(root.has_value());
    ASSERT_EQ(root->count(), 2u);
    EXPECT_EQ(root->members()[1].name(), u"}");
    EXPECT_TRUE(root->members()[1].value().isEmpty());
}

TEST(ParseJson, duplicateName_stopsWholeParseAndKeepsFirstValue)
{
    const auto root = parseBoth(u"{\"a\":{\"b\":1,\"b\":2},\"c\":3}");
    ASSERT_TRUE(root.has_value());
    const std::u16string duplicate = u"This key is already associated with an element of this collection";
    EXPECT_EQ(LastParseErrors(), duplicate + u": b\r\n" + duplicate + u": a\r\n");
    EXPECT_EQ(root->count(), 1u);
    EXPECT_EQ((*root)[u"a"].count(), 1u);
    EXPECT_EQ((*root)[u"a"][u"b"].asNumber().toInt64(), 1);
    EXPECT_TRUE((*root)[u"c"].isEmpty());
}

TEST(ParseJson, duplicateName_isFoundAfterObjectsWithTheSameNames)
{
    // Objects that repeat the names of the one before in the same order are read faster; a duplicate
    // must still stop them wherever it comes.
    // "k0:1,k1:1,..." with `count` members: past the count below which names are checked by a scan.
    const auto members = [](int count) {
        std::u16string text;
        for (int i = 0; i < count; ++i) {
            const std::string name = (i == 0 ? "k" : ",k") + std::to_string(i);
            text += std::u16string(name.begin(), name.end()) + u":1";
        }
        return text;
    };
    struct Case {
        std::u16string objects; // the last one holds the duplicate
        std::u16string name;
        std::size_t storedInLast;
    };
    const Case cases[] = {
        {u"{a:1,b:2},{a:1,a:2}", u"a", 1},
        {u"{a:1,b:2},{a:1,b:2,a:3}", u"a", 2},
        {u"{a:1,b:2,c:3},{a:1,c:2,c:3}", u"c", 2},
        {u"{a:1,b:2,c:3},{x:1},{x:1,b:2,x:3}", u"x", 2},
        {u"{\"a\":1,\"b\":2},{\"a\":1,\"b\":2,\"b\":3}", u"b", 2},
        {u"{" + members(70) + u"},{" + members(70) + u",k3:2}", u"k3", 70},
        {u"{" + members(70) + u"},{" + members(69) + u",k0:2}", u"k0", 69},
    };
    const std::u16string duplicate = u"This key is already associated with an element of this collection";
    for (const Case& c : cases) {
        const std::u16string text = u"{\"rows\":[" + c.objects + u"]}";
        const auto root = parseBoth(text);
        ASSERT_TRUE(root.has_value()) << show(text);
        const std::u16string errors = LastParseErrors();
        EXPECT_EQ(errors.substr(0, errors.find(u'\r')), duplicate + u": " + c.name) << show(text);
        const JsonValue& rows = (*root)[u"rows"];
        EXPECT_EQ(rows.at(rows.count()).count(), c.storedInLast) << show(text);
    }
}

TEST(ParseJson, runsOfEveryLengthAroundSpecialCharacters_readAlike)
{
    // Strings, names and blanks are scanned many units at a time: a quote, an escape or a character
    // beyond ASCII must be found wherever it falls within or across those steps.
    const std::u16string specials[] = {u"\\\"", u"\\n", u"\\u00e9", u"\u00e9", u"\u20ac", u"\U0001F600", u"'"};
    const std::u16string decoded[] = {u"\"", u"\n", u"\u00e9", u"\u00e9", u"\u20ac", u"\U0001F600", u"'"};
    for (std::size_t length = 0; length <= 40; ++length) {
        for (std::size_t k = 0; k < std::size(specials); ++k) {
            const std::size_t at = length / 2;
            const std::u16string plain(length, u'x');
            const std::u16string text = plain.substr(0, at) + specials[k] + plain.substr(at);
            const std::u16string expected = plain.substr(0, at) + decoded[k] + plain.substr(at);
            const std::u16string blanks(length, u' ');
            const std::u16string name = u"n" + plain;
            const std::u16string json =
                u"{" + blanks + u"\"" + name + u"\"" + blanks + u":" + blanks + u"\"" + text + u"\"" + blanks + u"}";
            const auto root = parseBoth(json);
            ASSERT_TRUE(root.has_value()) << show(json);
            EXPECT_EQ(LastParseErrors(), u"") << show(json);
            ASSERT_EQ(root->count(), 1u) << show(json);
            EXPECT_EQ(root->members()[0].name(), name) << show(json);
            EXPECT_EQ(root->members()[0].value().asString(), expected) << show(json);
        }
    }
}

TEST(ParseJson, raisedFailureInNestedArray_recordsOneLinePerContainer)
{
    const auto root = parseBoth(u"{\"rows\":[{\"n\":1},{\"n\":--2}],\"msg\":\"x\"}");
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(LastParseErrors(), u"Type mismatch: n\r\nType mismatch: }],\"msg\":\"x\"}\r\nType mismatch: rows\r\n");
    ASSERT_EQ((*root)[u"rows"].count(), 2u);
    EXPECT_EQ((*root)[u"rows"].at(2).count(), 0u);
    EXPECT_FALSE(root->find(u"msg"));
}

TEST(ParseJson, invalidLiteralInArray_endsParseInsteadOfLooping)
{
    struct Case {
        const char16_t* text;
        std::size_t elements;
        const char16_t* errors;
    };
    for (const Case& c : {
             Case{u"[tru", 0, u"Invalid Boolean at position 2 : tru\r\n"},
             Case{u"[1, fals", 1, u"Invalid Boolean at position 5 : fals\r\n"},
             Case{u"[nul]", 0, u"Invalid null value at position 2 : nul]\r\n"},
             Case{u"[[1,nope],2]", 1,
                  u"Invalid null value at position 5 : nope],2]\r\nInvalid null value: nope],2]\r\n"},
         }) {
        const auto root = parseBoth(c.text);
        ASSERT_TRUE(root.has_value()) << show(c.text);
        EXPECT_EQ(root->count(), c.elements) << show(c.text);
        EXPECT_EQ(LastParseErrors(), c.errors) << show(c.text);
    }
    const auto root = parseBoth(u"{\"a\":[t]}");
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(LastParseErrors(), u"Invalid Boolean at position 7 : t]}\r\nInvalid Boolean: a\r\n");
}

TEST(ParseJson, nesting_worksTo512AndStopsBeyond)
{
    for (int depth : {45, 512}) {
        const std::u16string text = std::u16string(depth, u'[') + u"1" + std::u16string(depth, u']');
        const auto root = ParseJson(text);
        ASSERT_TRUE(root.has_value());
        EXPECT_EQ(LastParseErrors(), u"") << depth;
        const JsonValue* v = &*root;
        for (int i = 1; i < depth; ++i) {
            v = &v->at(1);
        }
        EXPECT_EQ(v->at(1).asNumber().toInt64(), 1) << depth;
    }
    const std::u16string deep = std::u16string(513, u'[') + u"1" + std::u16string(513, u']');
    const auto root = parseBoth(deep);
    ASSERT_TRUE(root.has_value());
    const std::u16string errors = LastParseErrors();
    EXPECT_EQ(errors.substr(0, 22), u"Nesting too deep: [1]]");
    std::size_t lines = 0;
    for (std::size_t at = errors.find(u"\r\n"); at != std::u16string::npos; at = errors.find(u"\r\n", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, 512u);
}

TEST(ParseJson, hundredThousandLevels_stopWithoutExhaustingStack)
{
    const auto arrays = parseBoth(std::u16string(100000, u'['));
    ASSERT_TRUE(arrays.has_value());
    std::u16string objects;
    for (int i = 0; i < 50000; ++i) {
        objects += u"[{\"\":";
    }
    const auto mixed = parseBoth(objects);
    ASSERT_TRUE(mixed.has_value());
    EXPECT_EQ(LastParseErrors().substr(0, 18), u"Nesting too deep: ");
}

TEST(ParseJson, largeObject_isBuiltAndLookedUpByName)
{
    std::u16string text = u"{";
    for (int i = 0; i < 100000; ++i) {
        const std::string name = "k" + std::to_string(i);
        text += u"\"" + std::u16string(name.begin(), name.end()) + u"\":" +
                std::u16string(name.begin() + 1, name.end()) + u",";
    }
    text += u"\"k5\":0}";
    const auto root = ParseJson(text);
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(root->count(), 100000u);
    EXPECT_EQ((*root)[u"k99999"].asNumber().toInt64(), 99999);
    EXPECT_EQ((*root)[u"k5"].asNumber().toInt64(), 5);
    EXPECT_EQ(LastParseErrors(), u"This key is already associated with an element of this collection: k5\r\n");
}

TEST(ParseJson, manyInvalidLiteralsInObject_keepRecordedLinesBounded)
{
    // Each invalid literal records the rest of the text; unbounded, that grows with the square of the length.
    std::u16string text = u"{";
    for (int i = 0; i < 5000; ++i) {
        const std::string name = "k" + std::to_string(i);
        text += std::u16string(name.begin(), name.end()) + u":t ";
    }
    const auto root = ParseJson(text);
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(root->count(), 5001u); // the last literal is read as a name with nothing after it
    EXPECT_TRUE((*root)[u"tk4999"].isBoolean());
    EXPECT_TRUE((*root)[u"t"].isEmpty());
    const std::u16string errors = LastParseErrors();
    EXPECT_LE(errors.size(), std::size_t{1} << 20);
    EXPECT_EQ(errors.substr(0, errors.find(u"\r\n")), u"Invalid Boolean at position 5 : " + text.substr(4, 1024));
}

TEST(ParseJson, lastParseErrors_reportsOnlyTheLastParse)
{
    ParseJson(u"[1,,2]");
    EXPECT_NE(LastParseErrors(), u"");
    ParseJson(u"[1,2]");
    EXPECT_EQ(LastParseErrors(), u"");
    ParseJson(u"[tru");
    EXPECT_EQ(LastParseErrors(), u"Invalid Boolean at position 2 : tru\r\n");
}

TEST(LocalParseErrors, keepsWhatParsesRecordWhileItExists_thenTheEnclosingStateIsBack)
{
    ParseJson(u"x");
    const std::u16string threadErrors = LastParseErrors();
    {
        LocalParseErrors outer;
        EXPECT_EQ(LastParseErrors(), u"");
        ParseJson(u"[tru");
        const std::u16string outerErrors = LastParseErrors();
        EXPECT_NE(outerErrors, u"");
        EXPECT_NE(outerErrors, threadErrors);
        {
            LocalParseErrors inner;
            EXPECT_EQ(LastParseErrors(), u"");
            ParseJson(u"[1,,2]");
            EXPECT_NE(LastParseErrors(), u"");
        }
        EXPECT_EQ(LastParseErrors(), outerErrors);
    }
    EXPECT_EQ(LastParseErrors(), threadErrors);
}

TEST(ParseJsonUtf8, positionsCountUtf16UnitsAndBadBytesReadAsReplacement)
{
    // "é" is two bytes, the emoji four bytes and two units: the literal stands at UTF-16 position 9.
    const std::string bytes = "[\"\xC3\xA9\xF0\x9F\x98\x80\", tru]";
    ASSERT_TRUE(ParseJsonUtf8(bytes).has_value());
    EXPECT_EQ(LastParseErrors(), u"Invalid Boolean at position 9 : tru]\r\n");

    const auto root = ParseJsonUtf8("{\"a\xFF\":\"\xE0\x80x\",\"\xF0\x9F\x98\x80\":1}");
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ((*root)[u"a\ufffd"].asString(), u"\ufffd\ufffdx");
    EXPECT_EQ((*root)[u"\U0001F600"].asNumber().toInt64(), 1);
    EXPECT_EQ(LastParseErrors(), u"");
}

TEST(ParseJsonUtf8, excerptsNearSurrogatePairsMatchUtf16)
{
    // Missing-bracket lines quote the last 20 units, which here start inside a pair of units.
    std::u16string text = u"[\"";
    for (int i = 0; i < 12; ++i) {
        text += u"\U0001F600";
    }
    for (const std::u16string& t : {text, text + u"x", text + u"\",tru"}) {
        parseBoth(t);
    }
}
