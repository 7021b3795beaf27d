#include "client/request_text.h"

#include "json/utf8.h"

#include <gtest/gtest.h>

using namespace client;

TEST(PercentEncode, onlyUnreservedCharactersStayAsTheyAre)
{
    struct Case {
        std::u16string text;
        std::u16string expected;
    };
    for (const Case& c : {
             Case{u"20500123", u"20500123"},
             Case{u"getPesertaDidik", u"getPesertaDidik"},
             Case{u"versi", u"versi"},
             Case{u"A-Z_a.z~09", u"A-Z_a.z~09"},
             Case{u"a/b", u"a%2Fb"},
             Case{u"a?b=c&d", u"a%3Fb%3Dc%26d"},
             Case{u"#frag", u"%23frag"},
             Case{u"100%", u"100%25"},
             Case{u"dua kata", u"dua%20kata"},
             Case{u"+", u"%2B"},
             Case{u"..", u".."},
             Case{u"caf\u00e9", u"caf%C3%A9"},
             Case{u"\U0001F600", u"%F0%9F%98%80"},
             Case{std::u16string(1, u'\xD800'), u"%EF%BF%BD"},
             Case{u"\r\n", u"%0D%0A"},
             Case{u"", u""},
         }) {
        EXPECT_EQ(percentEncode(c.text), c.expected) << json::Utf16ToUtf8(c.text);
    }
}
