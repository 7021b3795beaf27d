#include "support/show.h"
#include "json/json.h"
#include "json/readers.h"

#include <gtest/gtest.h>

using namespace json;

namespace {

class Readers : public ::testing::Test {
protected:
    void SetUp() override { ResetParseErrors(); }
};

} // namespace

TEST_F(Readers, skipFiller_stopsOnFirstTokenCharacter)
{
    struct Case {
        const char16_t* text;
        std::int32_t expected;
    };
    for (const Case& c : {
             Case{u" \t\r\n(){", 7}, Case{u"// note\n{", 9}, Case{u"/* note */{", 11}, Case{u"/{", 2}, Case{u"*{", 2},
             Case{u"{", 1}, Case{u"   ", 4}, Case{u"// a/b\n{", 6}, // a lone slash inside a line comment ends it
             Case{u"/* a\n b */{", 11},                             // line breaks do not end a block comment
             Case{u"**/x", 5},           // two stars open a block comment that the slash closes
             Case{u"/* a * b */ {", 14}, // a lone star arms, so the comment never closes
         }) {
        std::int32_t cursor = 1;
        SkipFiller(c.text, cursor);
        EXPECT_EQ(cursor, c.expected) << show(c.text);
    }
    EXPECT_EQ(LastParseErrors(), u"");
}

TEST_F(Readers, readKey_readsQuotedAndUnquotedNames)
{
    struct Case {
        const char16_t* text;
        const char16_t* name;
        std::int32_t cursorAfter;
    };
    for (const Case& c : {
             Case{u"\"name\":1", u"name", 8},
             Case{u"  \"name\"  :1", u"name", 12},
             Case{u"\"first name\":1", u"firstname", 14},
             Case{u"abc:1", u"abc", 5},
             Case{u"'abc':1", u"abc", 7},
             Case{u"\"a:b\":1", u"a:b", 7},
             Case{u"\"a\\b\":1", u"a\\b", 7},
             Case{u"\"it's\":1}", u"its:1}", 10}, // the single quote stays open to the end
             Case{u"\"caf\u00e9\":1", u"caf\u00e9", 8},
             Case{u"\"\":1", u"", 4},
             Case{u"", u"", 1},
             Case{u"abc", u"abc", 4},
         }) {
        std::int32_t cursor = 1;
        EXPECT_EQ(ReadKey(c.text, cursor), c.name) << show(c.text);
        EXPECT_EQ(cursor, c.cursorAfter) << show(c.text);
    }
    EXPECT_EQ(LastParseErrors(), u"");
}

TEST_F(Readers, readKey_withoutColon_recordsInvalidKeyAndStopsOnOffender)
{
    std::int32_t cursor = 1;
    EXPECT_EQ(ReadKey(u"\"a\" 1", cursor), u"a");
    EXPECT_EQ(cursor, 5);
    EXPECT_EQ(LastParseErrors(), u"Invalid Key at position 5 : a\r\n");

    ResetParseErrors();
    cursor = 1;
    EXPECT_EQ(ReadKey(u"\"ab\"", cursor), u"ab");
    EXPECT_EQ(LastParseErrors(), u"Invalid Key at position 5 : ab\r\n");
}

TEST_F(Readers, readString_decodesEscapes)
{
    struct Case {
        const char16_t* text;
        std::u16string value;
    };
    for (const Case& c : {
             Case{u"\"a\\nb\"", u"a\nb"},
             Case{u"\"\\/\"", u"/"},
             Case{u"\"\\u0041\"", u"A"},
             Case{u"\"\\u00e9\"", u"\u00e9"},
             Case{u"\"\\u00E9\"", u"\u00e9"},
             Case{u"\"\\x\"", u"x"},
             Case{u"\"\\uZZZZ!\"", std::u16string(u"\0!", 2)},
             Case{u"\"\\u12G4\"", u"\u0012"},
             Case{u"\"\\b\\f\\r\\t\\\\\\\"\\'\"", u"\b\f\r\t\\\"'"},
             Case{u"\"\\ud83d\\ude00\"", u"\U0001F600"},
             Case{u"'say \"hi\"'", u"say \"hi\""},
             Case{u"\"it's\"", u"it's"},
             Case{u"\"never closed", u"never closed"},
             Case{u"\"ends in \\", u"ends in "},
             Case{u"\"\\u00", std::u16string(1, u'\0')},
             Case{u"\"\"", u""},
         }) {
        std::int32_t cursor = 1;
        EXPECT_EQ(ReadString(c.text, cursor), c.value) << show(c.text);
    }
    EXPECT_EQ(LastParseErrors(), u"");
}

TEST_F(Readers, readString_leavesCursorAfterClosingQuote)
{
    std::int32_t cursor = 1;
    EXPECT_EQ(ReadString(u" \"ab\",", cursor), u"ab");
    EXPECT_EQ(cursor, 6);
    cursor = 1;
    EXPECT_EQ(ReadString(u"x", cursor), u"");
    EXPECT_EQ(cursor, 1);
}

TEST_F(Readers, readNumber_gathersNumberCharactersAndConverts)
{
    struct Case {
        const char16_t* text;
        const char16_t* shown;
        std::int32_t cursorAfter;
    };
    for (const Case& c :
         {Case{u"12,", u"12", 3}, Case{u"-15e2", u"-1500", 6}, Case{u"7", u"7", 2}, Case{u"  3.25]", u"3.25", 7}}) {
        std::int32_t cursor = 1;
        const JsonValue value = ReadNumber(c.text, cursor);
        ASSERT_TRUE(value.isNumber()) << show(c.shown);
        EXPECT_EQ(value.asNumber().toString(), c.shown);
        EXPECT_EQ(cursor, c.cursorAfter) << show(c.shown);
    }
    EXPECT_FALSE(PendingFailure());
}

TEST_F(Readers, readNumber_atEndGivesEmptyAndBadTextRaises)
{
    std::int32_t cursor = 1;
    EXPECT_TRUE(ReadNumber(u"   ", cursor).isEmpty());
    EXPECT_FALSE(PendingFailure());

    struct Case {
        const char16_t* text;
        const char16_t* failure;
        std::int32_t cursorAfter;
    };
    for (const Case& c : {Case{u"x", u"Type mismatch", 1}, Case{u"1-2,", u"Type mismatch", 4},
                          Case{u"1e", u"Type mismatch", 3}, Case{u"1e400}", u"Overflow", 6}}) {
        ResetParseErrors();
        cursor = 1;
        EXPECT_TRUE(ReadNumber(c.text, cursor).isEmpty());
        EXPECT_EQ(PendingFailure(), c.failure) << show(c.text);
        EXPECT_EQ(cursor, c.cursorAfter);
        EXPECT_EQ(LastParseErrors(), u""); // raised, not recorded
    }
}

TEST_F(Readers, readBooleanAndNull_matchLiteralsExactly)
{
    std::int32_t cursor = 1;
    JsonValue v = ReadBoolean(u"truex", cursor);
    EXPECT_TRUE(v.isBoolean() && v.asBoolean());
    EXPECT_EQ(cursor, 5);

    cursor = 1;
    v = ReadBoolean(u" false", cursor);
    EXPECT_TRUE(v.isBoolean() && !v.asBoolean());
    EXPECT_EQ(cursor, 7);

    cursor = 1;
    v = ReadNull(u"null", cursor);
    EXPECT_TRUE(v.isNull());
    EXPECT_EQ(cursor, 5);
    EXPECT_EQ(LastParseErrors(), u"");
}

TEST_F(Readers, invalidLiterals_recordRestOfTextAndDoNotMove)
{
    std::int32_t cursor = 1;
    JsonValue v = ReadBoolean(u"True]", cursor);
    EXPECT_TRUE(v.isBoolean() && !v.asBoolean());
    EXPECT_EQ(cursor, 1);

    cursor = 2;
    v = ReadNull(u"[nul", cursor);
    EXPECT_TRUE(v.isEmpty());
    EXPECT_EQ(cursor, 2);
    EXPECT_EQ(LastParseErrors(),
              u"Invalid Boolean at position 1 : True]\r\nInvalid null value at position 2 : nul\r\n");
}

TEST_F(Readers, invalidLiteral_inLongText_showsBoundedExcerpt)
{
    const std::u16string text = u"tru" + std::u16string(5000, u'x');
    std::int32_t cursor = 1;
    ReadBoolean(text, cursor);
    EXPECT_EQ(LastParseErrors(), u"Invalid Boolean at position 1 : " + text.substr(0, 1024) + u"\r\n");
}

TEST_F(Readers, cursorOutsideText_readsAsEndOfText)
{
    for (std::int32_t start : {0, -3, 4, 100}) {
        std::int32_t cursor = start;
        EXPECT_TRUE(ReadNumber(u"123", cursor).isEmpty()) << start;
        EXPECT_EQ(cursor, start);
        EXPECT_EQ(ReadKey(u"abc", cursor), u"") << start;
        EXPECT_EQ(cursor, start);
    }
    std::int32_t cursor = 0;
    ReadNull(u"nul", cursor);
    EXPECT_EQ(LastParseErrors(), u"Invalid null value at position 0 : \r\n");
}

TEST_F(Readers, readValue_dispatchesOnFirstCharacter)
{
    struct Case {
        const char16_t* text;
        JsonKind kind;
    };
    for (const Case& c : {Case{u"{}", JsonKind::Object}, Case{u"[]", JsonKind::Array}, Case{u"'x'", JsonKind::String},
                          Case{u"\"x\"", JsonKind::String}, Case{u"true", JsonKind::Boolean},
                          Case{u"fals", JsonKind::Boolean}, Case{u"null", JsonKind::Null},
                          Case{u"nil", JsonKind::Empty}, Case{u"-1", JsonKind::Number}, Case{u"", JsonKind::Empty}}) {
        std::int32_t cursor = 1;
        EXPECT_EQ(ReadValue(c.text, cursor).kind(), c.kind) << show(c.text);
    }
}

TEST_F(Readers, readValue_resultsOutliveTheReader)
{
    // A long string or a container read on its own owns its storage; reading it through the accessors
    // after the read is over would fail under AddressSanitizer otherwise.
    std::int32_t cursor = 1;
    const JsonValue text = ReadValue(u"\"a string longer than seven units\"", cursor);
    EXPECT_EQ(text.asString(), u"a string longer than seven units");
    cursor = 1;
    const JsonValue object = ReadValue(u"{\"rows\":[{\"name\":\"first of the rows\"}]}", cursor);
    EXPECT_EQ(object[u"rows"].at(1)[u"name"].asString(), u"first of the rows");
}

TEST_F(Readers, containerReaders_recordInvalidStart)
{
    std::int32_t cursor = 1;
    EXPECT_EQ(ReadObject(u"[1, 2, 3, 4, 5, 6, 7, 8, 9]", cursor).count(), 0u);
    cursor = 1;
    EXPECT_EQ(ReadArray(u"{\"a\":1, \"b\":2, \"c\":3}", cursor).count(), 0u);
    EXPECT_EQ(LastParseErrors(), u"Invalid Object at position 1 : [1, 2, 3, 4, 5, 6, 7, 8, 9]\r\n"
                                 u"Invalid Array at position 1 : {\"a\":1, \"b\":2, \"c\":3\r\n");
}
