#include "app/log_export.h"

#include <QDateTime>
#include <QSaveFile>

namespace app {

QString joinLogLines(const QStringList& lines)
{
    return lines.join(QStringLiteral("\r\n"));
}

QString proposedLogPath(const QString& folder, const QDateTime& now)
{
    return folder + QStringLiteral("/log-kirim-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
           QStringLiteral(".txt");
}

QString writeLogFile(const QString& path, const QStringList& lines)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    for (const QString& line : lines) {
        file.write((line + QStringLiteral("\r\n")).toUtf8());
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return {};
}

} // namespace app
