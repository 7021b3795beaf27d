#include "app/run_log_file.h"

#include "app/window_state.h"
#include "platform/qt_text.h"

#include <QDateTime>

namespace app {

RunLogFile::RunLogFile(const QString& path, const QDateTime& start, const QString& serverBase, const QString& localBase)
    : m_file(path)
{
    m_clock.start();
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        m_error = QStringLiteral("Log tidak dapat ditulis ke ") + path + QStringLiteral(": ") + m_file.errorString();
        return;
    }
    writeLine(firstLine(start, serverBase, localBase).toStdString());
}

QString RunLogFile::firstLine(const QDateTime& start, const QString& serverBase, const QString& localBase)
{
    // The local time with its offset from UTC, so that runs logged across a clock change still sort.
    const QDateTime local = start.toOffsetFromUtc(start.offsetFromUtc());
    return QStringLiteral("=== ") + local.toString(Qt::ISODate) + QStringLiteral(" Murenta Tervalis Helper ") +
           platform::toQString(AppVersion) + QStringLiteral(", server ") + serverBase +
           QStringLiteral(", layanan lokal ") + localBase;
}

QString RunLogFile::lastLine(int exitStatus, qint64 milliseconds)
{
    const QString seconds = QString::number(static_cast<double>(milliseconds) / 1000.0, 'f', 1).replace(u'.', u',');
    return QStringLiteral("=== Selesai: kode keluar ") + QString::number(exitStatus) + QStringLiteral(", durasi ") +
           seconds + QStringLiteral(" detik");
}

void RunLogFile::writeLine(std::string_view utf8)
{
    if (!m_file.isOpen()) {
        return;
    }
    m_file.write(utf8.data(), static_cast<qint64>(utf8.size()));
    m_file.write("\r\n", 2);
    m_file.flush();
}

void RunLogFile::finish(int exitStatus)
{
    writeLine(lastLine(exitStatus, m_clock.elapsed()).toStdString());
    m_file.close();
}

} // namespace app
