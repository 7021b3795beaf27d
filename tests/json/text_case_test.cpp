#include "json/text_case.h"

#include <gtest/gtest.h>

using namespace json;

TEST(TextCase, mapsLettersOneUnitAtATime)
{
    EXPECT_EQ(toLower(u"ABC xyz 09"), u"abc xyz 09");
    EXPECT_EQ(toUpper(u"abc XYZ 09"), u"ABC XYZ 09");
    EXPECT_EQ(toLower(u"CAF\u00c9 \u0100\u0102 \u0391\u03a9 \u0410\u042f"),
              u"caf\u00e9 \u0101\u0103 \u03b1\u03c9 \u0430\u044f");
    EXPECT_EQ(toUpper(u"caf\u00e9 \u0101\u0103 \u03b1\u03c9 \u0430\u044f"),
              u"CAF\u00c9 \u0100\u0102 \u0391\u03a9 \u0410\u042f");
    EXPECT_EQ(toUpper(u"\u00df"), u"\u00df"); // sharp s would need two letters: left alone
    EXPECT_EQ(toLower(u"\u00d7"), u"\u00d7"); // the multiplication sign is no letter
}
