#include "json/json.h"
#include "json/json_escape.h"
#include "json/utf8.h"

#include <gtest/gtest.h>

TEST(JsonEscape, quoteBackslashAndControlsEscaped)
{
    struct Case {
        std::u16string text;
        std::u16string expected;
    };
    for (const Case& c : {
             Case{u"ops@sekolah.sch.id", u"ops@sekolah.sch.id"},
             Case{u"a\"b", u"a\\\"b"},
             Case{u"a\\b", u"a\\\\b"},
             Case{u"\b\f\n\r\t", u"\\u0008\\u000c\\u000a\\u000d\\u0009"},
             Case{std::u16string(u"\0\x01\x1f", 3), u"\\u0000\\u0001\\u001f"},
             Case{u"/ \u007f \u00e9 \u2028", u"/ \u007f \u00e9 \u2028"},
             Case{u"", u""},
         }) {
        EXPECT_EQ(json::jsonEscaped(c.text), c.expected) << json::Utf16ToUtf8(c.text);
    }
}

TEST(JsonEscape, escapedValue_parsesBackToItself)
{
    const std::u16string nasty = u"x\",\"npsn\":\"99\\\u0001\u00e9\U0001F600";
    const auto root = json::ParseJson(u"{\"v\":\"" + json::jsonEscaped(nasty) + u"\"}");
    ASSERT_TRUE(root);
    EXPECT_TRUE(json::LastParseErrors().empty());
    EXPECT_EQ(root->count(), 1u);
    EXPECT_EQ((*root)[u"v"].asString(), nasty);
}

TEST(ReadStrictEscape, theStrictGrammarsEscapesOnly)
{
    struct Case {
        std::u16string_view text; // what follows the backslash
        std::optional<char16_t> unit;
        std::size_t length;
    };
    for (const Case& c : {
             Case{u"\"x", u'"', 1},
             Case{u"/", u'/', 1},
             Case{u"n", u'\n', 1},
             Case{u"u00e9!", u'\u00e9', 5},
             Case{u"uD83D", u'\xD83D', 5},
             Case{u"'", std::nullopt, 0},
             Case{u"x", std::nullopt, 0},
             Case{u"u00e", std::nullopt, 0},
             Case{u"u00g9", std::nullopt, 0},
             Case{u"", std::nullopt, 0},
         }) {
        const auto escape = json::readStrictEscape(c.text, 0);
        ASSERT_EQ(escape.has_value(), c.unit.has_value()) << json::Utf16ToUtf8(c.text);
        if (escape) {
            EXPECT_EQ(escape->unit, *c.unit) << json::Utf16ToUtf8(c.text);
            EXPECT_EQ(escape->length, c.length) << json::Utf16ToUtf8(c.text);
        }
    }
}
