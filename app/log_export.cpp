#include "app/log_export.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace app {

QString joinLogLines(const QStringList& lines)
{
    return lines.join(QStringLiteral("\r\n"));
}

QString proposedLogPath(const QString& folder, const QDateTime& now)
{
    return proposedExportPath(folder, QStringLiteral("log-kirim-"), now, QStringLiteral(".txt"));
}

QString writeLogFile(const QString& path, const QStringList& lines)
{
    QString text;
    for (const QString& line : lines) {
        text += line + QStringLiteral("\r\n");
    }
    return writeExportFile(path, text.toUtf8());
}

QString exportFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString proposedExportPath(const QString& folder, const QString& prefix, const QDateTime& now, const QString& suffix)
{
    return folder + u'/' + prefix + now.toString(QStringLiteral("yyyyMMdd-HHmmss")) + suffix;
}

QString writeExportFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    file.write(bytes);
    if (!file.commit()) {
        return file.errorString();
    }
    return {};
}

} // namespace app
