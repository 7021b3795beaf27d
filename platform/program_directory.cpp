#include "platform/program_directory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace platform {

namespace {

QString& overridden()
{
    static QString directory;
    return directory;
}

// Asking the folder itself is the only sure test: permission bits say nothing of access lists, and
// nothing of a read-only mount.
bool canCreateFilesIn(const QString& directory)
{
    if (!QFileInfo(directory).isDir()) {
        return false;
    }
    QTemporaryFile probe(QDir(directory).filePath(QStringLiteral(".write-test-XXXXXX")));
    return probe.open();
}

void createOwnerOnly(const QString& directory)
{
    const QFileInfo folder(directory);
    if (folder.exists()) {
        return;
    }
    QDir().mkpath(folder.absolutePath());
    QDir().mkdir(folder.absoluteFilePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

QString programDirectory()
{
    return overridden().isEmpty() ? QCoreApplication::applicationDirPath() : overridden();
}

void overrideProgramDirectory(const QString& directory)
{
    overridden() = directory;
}

QString chooseDataDirectory(const QString& programDir, const QString& appDataDir)
{
    if (canCreateFilesIn(programDir)) {
        return programDir;
    }
    createOwnerOnly(appDataDir);
    return appDataDir;
}

QString dataDirectory()
{
    return chooseDataDirectory(programDirectory(), QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

} // namespace platform
