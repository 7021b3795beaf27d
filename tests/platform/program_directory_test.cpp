#include "platform/program_directory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

#include <sys/stat.h>

namespace {

// The folder's mode bits where the system keeps them. On Windows Qt turns the requested permissions into
// an access list and the bits read back say nothing (and Wine, where these tests run, keeps no lists).
std::optional<unsigned> permissionBits(const QString& path)
{
#ifdef _WIN32
    Q_UNUSED(path);
    return std::nullopt;
#else
    struct stat info {};
    return stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
#endif
}

} // namespace

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

TEST(DataDirectory, programFolderWhenWritable_elseOwnerOnlyAppDataFolder)
{
    QTemporaryDir root;
    const QString plainFile = root.filePath(QStringLiteral("plain-file"));
    QFile(plainFile).open(QIODevice::WriteOnly);
    struct Case {
        const char* name;
        QString programDir;
        bool programDirChosen;
    };
    // /proc takes no new file even from root, whom folder permissions do not stop.
    for (const Case& c : {Case{"writable", root.path(), true}, Case{"a file, no folder", plainFile, false},
                          Case{"missing", root.filePath(QStringLiteral("missing")), false},
                          Case{"read-only file system", QStringLiteral("/proc"), false}}) {
        const QString appData = root.filePath(QStringLiteral("home/.local/share/mth-") + QString::fromLatin1(c.name));
        EXPECT_EQ(platform::chooseDataDirectory(c.programDir, appData), c.programDirChosen ? c.programDir : appData)
            << c.name;
        EXPECT_EQ(QFileInfo(appData).isDir(), !c.programDirChosen) << c.name;
        if (!c.programDirChosen) {
            if (const std::optional<unsigned> bits = permissionBits(appData)) {
                EXPECT_EQ(*bits, 0700u) << c.name;
            }
        }
    }
    EXPECT_EQ(QDir(root.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("plain-file")})
        << "the write test leaves nothing behind";
}

TEST(DataDirectory, existingAppDataFolder_keepsItsPermissions)
{
    QTemporaryDir root;
    const QString appData = root.filePath(QStringLiteral("app-data"));
    ASSERT_TRUE(QDir().mkdir(appData, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                          QFile::ExeGroup));
    EXPECT_EQ(platform::chooseDataDirectory(root.filePath(QStringLiteral("missing")), appData), appData);
    if (const std::optional<unsigned> bits = permissionBits(appData)) {
        EXPECT_EQ(*bits, 0750u);
    }
}
