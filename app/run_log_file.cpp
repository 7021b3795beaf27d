#include "app/run_log_file.h"

#include "platform/console.h"
#include "platform/qt_text.h"
#include "workflow/window_state.h"

#include <QDateTime>

#include <cstdio>
#include <string>

namespace app {

RunLogFile::RunLogFile(const QString& path, const QDateTime& start, const QString& serverBase, const QString& localBase)
    : m_path(path)
{
    m_clock.start();
    if (!m_file.open(path, platform::DirectFile::OpenMode::Append)) {
        reportFailure();
        return;
    }
    writeLine(firstLine(start, serverBase, localBase).toStdString());
}

QString RunLogFile::firstLine(const QDateTime& start, const QString& serverBase, const QString& localBase)
{
    // The local time with its offset from UTC, so that runs logged across a clock change still sort.
    const QDateTime local = start.toOffsetFromUtc(start.offsetFromUtc());
    return QStringLiteral("=== ") + local.toString(Qt::ISODate) + QStringLiteral(" Murenta Tervalis Helper ") +
           platform::toQString(workflow::AppVersion) + QStringLiteral(", server ") + serverBase +
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
    // One write for the whole line: another run appending to the same file cannot come in between. A
    // box's text breaks lines of its own, which end in CR LF as every other line of the file.
    std::string line;
    for (const char c : utf8) {
        if (c == '\n') {
            line += '\r';
        }
        line += c;
    }
    line += "\r\n";
    if (!m_file.write(line)) {
        reportFailure();
    }
}

void RunLogFile::finish(int exitStatus)
{
    writeLine(lastLine(exitStatus, m_clock.elapsed()).toStdString());
    if (!m_file.close()) {
        reportFailure();
    }
}

void RunLogFile::reportFailure()
{
    const QString text =
        QStringLiteral("Log tidak dapat ditulis ke ") + m_path + QStringLiteral(": ") + m_file.errorString();
    // The run matters more than its record: it goes on without the file.
    m_file.close();
    platform::writeText(stderr, text.toStdString() + '\n');
}

} // namespace app
