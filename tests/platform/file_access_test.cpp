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

#ifdef _WIN32
// The access list names the user by these bytes: they must be one whole, valid SID.
TEST(FileAccess, currentUserSid_isOneWholeValidSid)
{
    std::vector<unsigned char> sid = platform::currentUserSid();
    ASSERT_FALSE(sid.empty());
    EXPECT_TRUE(IsValidSid(sid.data()));
    EXPECT_EQ(GetLengthSid(sid.data()), sid.size());
}
#endif
