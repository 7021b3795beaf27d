#include "json/utf8.h"

#include <gtest/gtest.h>

using namespace json;

TEST(Utf8, wellFormedText_roundTrips)
{
    const std::u16string text = u"ASCII, caf\u00e9, \u4e00 and \U0001F600 plus a long run of plain letters";
    const std::string bytes = Utf16ToUtf8(text);
    EXPECT_EQ(bytes.size(), text.size() + 1 + 2 + 2);
    EXPECT_EQ(Utf8ToUtf16(bytes), text);
    EXPECT_EQ(utf16Length(bytes), text.size());
}

TEST(Utf8, illFormedSequences_giveOneReplacementPerMaximalSubpart)
{
    struct Case {
        std::string bytes;
        std::u16string text;
    };
    for (const Case& c : {
             Case{"\xFF", u"\ufffd"},
             Case{"a\x80"
                  "b",
                  u"a\ufffdb"},
             Case{"\xC0\xAF", u"\ufffd\ufffd"},           // overlong lead is never valid
             Case{"\xE0\x80\xAF", u"\ufffd\ufffd\ufffd"}, // second byte out of range
             Case{"\xE2\x82", u"\ufffd"},                 // truncated at the end: one subpart
             Case{"\xE2\x82x", u"\ufffdx"}, Case{"\xED\xA0\x80", u"\ufffd\ufffd\ufffd"}, // an encoded surrogate
             Case{"\xF4\x90\x80\x80", u"\ufffd\ufffd\ufffd\ufffd"},                      // beyond U+10FFFF
             Case{"\xF0\x9F\x98", u"\ufffd"}, Case{"\xEF\xBB\xBF{}", u"\ufeff{}"},       // a byte order mark is kept
         }) {
        EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text) << c.bytes.size();
        EXPECT_EQ(utf16Length(c.bytes), c.text.size()) << c.bytes.size();
    }
}

TEST(Utf8, unpairedSurrogates_becomeReplacementInUtf8)
{
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(u"a" + std::u16string(1, u'\xDC00') + u"b"), "a\xEF\xBF\xBD"
                                                                       "b");
}

TEST(Utf8, sequencesAtTheEdgesOfTheirRanges_decodeExactly)
{
    struct Case {
        std::string bytes;
        std::u16string text;
    };
    const std::string run(20, 'a');
    const std::u16string units(20, u'a');
    for (const Case& c : {
             Case{"\xC2\x80", u"\u0080"},
             Case{"\xDF\xBF", u"\u07ff"},
             Case{"\xE0\xA0\x80", u"\u0800"},
             Case{"\xE0\x9F\xBF", u"\ufffd\ufffd\ufffd"}, // overlong form of U+07FF
             Case{"\xED\x9F\xBF", u"\ud7ff"},
             Case{"\xEE\x80\x80", u"\ue000"},
             Case{"\xEF\xBF\xBF", u"\uffff"},
             Case{"\xC2" + run, u"\ufffd" + units},
             Case{run + "\xE4\xB8\x80" + run + run, units + u"\u4e00" + units + units},
             Case{run + "\xF0\x9F\x98\x80" + run.substr(3), units + u"\U0001F600" + units.substr(3)},
         }) {
        EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text) << c.bytes.size();
        EXPECT_EQ(utf16Length(c.bytes), c.text.size()) << c.bytes.size();
    }
}

TEST(IsWellFormedUtf8, agreesWithDecodingAndEncodingBack)
{
    for (const std::string& bytes : {
             std::string("plain ASCII that is longer than eight bytes"),
             std::string("caf\xC3\xA9 and \xF0\x9F\x98\x80"),
             std::string("\xEF\xBF\xBD written as such"),
             std::string("\xEF\xBB\xBF{}"),
             std::string("12345678\xFF"),
             std::string("\xC0\xAF"),
             std::string("\xED\xA0\x80"),
             std::string("\xE2\x82"),
             std::string("\xF4\x90\x80\x80"),
             std::string(""),
         }) {
        EXPECT_EQ(isWellFormedUtf8(bytes), Utf16ToUtf8(Utf8ToUtf16(bytes)) == bytes) << bytes;
    }
    EXPECT_TRUE(isWellFormedUtf8("caf\xC3\xA9"));
    EXPECT_FALSE(isWellFormedUtf8("caf\xE9"));
}
