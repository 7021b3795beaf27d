#include "platform/atomic_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <csignal>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

void writeBytes(const QString& path, const QByteArray& bytes, const QDateTime& modified = {})
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.flush(); // a later write would change the time set below
    if (modified.isValid()) {
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
}

} // namespace

#ifndef _WIN32
// A full disk, made without root: a file size limit makes every write beyond it fail (EFBIG), in a child
// process so that the limit binds nothing else.
TEST(AtomicFile, writeFailingOnAFullDisk_keepsTheOldFileByteForByte)
{
    const QByteArray old = "{\"token\":\"old\",\"npsn\":\"1\",\"email\":\"e\"}\r\n";
    const std::string replacement(4096, 'n');
    for (const rlim_t limit : {rlim_t{0}, rlim_t{1000}}) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.json"));
        writeBytes(path, old);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit size{limit, limit};
            const bool written =
                setrlimit(RLIMIT_FSIZE, &size) == 0 && platform::writeFileAtomically(path, replacement);
            _exit(written ? 1 : 0);
        }
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the save reported success, limit " << limit;
        EXPECT_EQ(readAll(path).toStdString(), old.toStdString()) << "limit " << limit;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("data.json")})
            << "limit " << limit;
    }
}
#endif

// A save killed half-way leaves its new file, holding the secret; the next save removes it, and only
// files it can tell for such leftovers.
TEST(AtomicFile, nextSave_removesLeftoversOfEarlierRunsOnly)
{
    struct Case {
        const char* name;
        bool old;
        bool removed;
    };
    const Case cases[] = {
        {"data.json.saving-0123abcd", true, true},   {"data.json.saving-89ABCDEF", true, true},
        {"data.json.saving-0123abce", false, false}, // a save of a run that is still going on
        {"data.json.saving-backup12", true, false},  {"data.json.saving-0123abc", true, false},
        {"data.json.backup", true, false},           {"other.json.saving-0123abcd", true, false},
    };
    QTemporaryDir dir;
    const QDateTime anHourAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const Case& c : cases) {
        writeBytes(dir.filePath(QString::fromLatin1(c.name)), "token", c.old ? anHourAgo : QDateTime());
    }
    const QString path = dir.filePath(QStringLiteral("data.json"));
    ASSERT_TRUE(platform::writeFileAtomically(path, "new"));
    EXPECT_EQ(readAll(path), QByteArray("new"));
    for (const Case& c : cases) {
        EXPECT_EQ(QFile::exists(dir.filePath(QString::fromLatin1(c.name))), !c.removed) << c.name;
    }
}
