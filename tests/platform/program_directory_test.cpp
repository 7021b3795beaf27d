#include "platform/program_directory.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

TEST(ProgramDirectory, overrideAndReturnToTheProgramsOwn)
{
    const QString own = QCoreApplication::applicationDirPath();
    ASSERT_FALSE(own.isEmpty());
    EXPECT_EQ(platform::programDirectory(), own);
    platform::overrideProgramDirectory(QStringLiteral("/tmp/demo-data"));
    EXPECT_EQ(platform::programDirectory(), QStringLiteral("/tmp/demo-data"));
    platform::overrideProgramDirectory({});
    EXPECT_EQ(platform::programDirectory(), own);
}
