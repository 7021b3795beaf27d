#include "platform/file_access.h"
#include "owner_only.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using testing_support::isOwnerOnly;

TEST(FileAccess, restrictToOwner_leavesTheOwnerAloneWithTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("secret.json"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{}");
    file.close();
    ASSERT_TRUE(QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOther | QFileDevice::ReadGroup));
    ASSERT_FALSE(isOwnerOnly(path));

    ASSERT_TRUE(platform::restrictToOwner(path));
    // Still the owner's to read and replace.
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    EXPECT_EQ(file.readAll(), QByteArray("{}"));
    if (!testing_support::accessListsKept()) {
        GTEST_SKIP() << "Wine keeps no access lists on files";
    }
    EXPECT_TRUE(isOwnerOnly(path));
}

TEST(FileAccess, restrictToOwner_missingFile_fails)
{
    QTemporaryDir dir;
    EXPECT_FALSE(platform::restrictToOwner(dir.filePath(QStringLiteral("missing.json"))));
}
