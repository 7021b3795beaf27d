#include "workflow/failure_reason.h"

#include "json/utf8.h"

#include <gtest/gtest.h>

namespace {

std::u16string repeated(char16_t unit, std::size_t count)
{
    return std::u16string(count, unit);
}

} // namespace

TEST(FailureReason, oneLine_collapsesBreaksAndCutsAtTwoHundredWithoutSplittingAPair)
{
    const std::u16string face = u"\U0001F600"; // two UTF-16 units
    struct Case {
        const char* name;
        std::u16string text;
        std::u16string line;
    };
    const Case cases[] = {
        {"line breaks and tabs", u"Gagal\r\nmenyimpan\n\tdata\u2028GURU", u"Gagal menyimpan data GURU"},
        {"blanks at either end", u" \r\n data \t", u"data"},
        {"only blanks", u"\r\n \t", u""},
        {"exactly the longest", repeated(u'x', 200), repeated(u'x', 200)},
        {"one unit more", repeated(u'x', 201), repeated(u'x', 199) + u"\u2026"},
        {"a pair across the cut", repeated(u'x', 198) + face + u"yyy", repeated(u'x', 198) + u"\u2026"},
        {"a pair before the cut", repeated(u'x', 197) + face + u"yyy", repeated(u'x', 197) + face + u"\u2026"},
        {"a blank before the cut", repeated(u'x', 198) + u"\n\n" + repeated(u'y', 10), repeated(u'x', 198) + u"\u2026"},
    };
    for (const Case& c : cases) {
        const std::u16string line = workflow::oneLine(c.text);
        EXPECT_EQ(line, c.line) << c.name;
        EXPECT_LE(line.size(), workflow::kLongestReason) << c.name;
    }
}

TEST(FailureReason, replyText_isATextMemberOfAJsonObjectOnly)
{
    struct Case {
        const char* name;
        std::u16string reply;
        std::optional<std::u16string> msg;
    };
    const Case cases[] = {
        {"refusal", u"{\"success\":false,\"msg\":\"Login ditolak\"}", u"Login ditolak"},
        {"escapes read", u"{\"msg\":\"Data \\\"GURU\\\" ditolak\"}", u"Data \"GURU\" ditolak"},
        {"blank", u"{\"msg\":\" \\n \"}", std::nullopt},
        {"not a text", u"{\"msg\":10}", std::nullopt},
        {"not JSON", u"Error: Server Tervalis tidak dapat dihubungi", std::nullopt},
        {"a page", u"<html><body>\"msg\":\"x\"</body></html>", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(workflow::replyText(c.reply, u"msg"), c.msg) << c.name;
    }
}
