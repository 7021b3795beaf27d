#include "support/show.h"
#include "json/json.h"

#include <gtest/gtest.h>

using json::GetJsonField;

TEST(GetJsonField, readsFirstQuotedValueByPlainSearch)
{
    struct Case {
        const char16_t* text;
        const char16_t* key;
        const char16_t* expected;
    };
    for (const Case& c : {
             Case{u"{\"success\":true,\"msg\":\"2.0\"}", u"msg", u"2.0"},
             Case{u"{\"msg\":\"getSekolah,getPesertaDidik,getGtk\"}", u"msg", u"getSekolah,getPesertaDidik,getGtk"},
             Case{u"{\"msg\": \"2.0\"}", u"msg", u""},
             Case{u"{\"msg\":\"\"}", u"msg", u""},
             Case{u"{\"Msg\":\"x\"}", u"msg", u""},
             Case{u"{\"count\":5}", u"count", u""},
             Case{u"{\"msg\":\"never closed", u"msg", u""},
             Case{u"{\"a\":{\"msg\":\"x\"},\"msg\":\"y\"}", u"msg", u"x"},
             Case{u"{\"msg\":\"say \\\"hi\\\"\"}", u"msg", u"say \\"},
             Case{u"{\"a\":\"1\",\"\":\"empty name\"}", u"", u"empty name"},
             Case{u"{'note':'\"msg\":\"inside\"','msg':'outside'}", u"msg", u"inside"},
             Case{u"{\"token\":\"abc\",\"npsn\":\"20100001\",\"email\":\"ops@sekolah.id\"}\r\n", u"email",
                  u"ops@sekolah.id"},
             Case{u"", u"msg", u""},
         }) {
        EXPECT_EQ(GetJsonField(c.text, c.key), c.expected) << show(c.text);
    }
}
