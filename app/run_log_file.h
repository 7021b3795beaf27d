#pragma once

// The console mode's log file for scheduled runs (--log-file). Each run is appended: a first line with
// the local date and time (ISO 8601), the program version and both addresses; then every line the
// console prints; then a last line with the exit status and the run's duration. UTF-8 with CR LF line
// ends. A new file is created readable and writable by its owner only; an existing one is never
// truncated.

#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <string_view>

class QDateTime;

namespace app {

class RunLogFile final {
public:
    // Opens `path` for appending and writes the first line. When it cannot, error() says why and
    // every later write does nothing.
    RunLogFile(const QString& path, const QDateTime& start, const QString& serverBase, const QString& localBase);

    const QString& error() const { return m_error; }
    void writeLine(std::string_view utf8);
    void finish(int exitStatus);

    static QString firstLine(const QDateTime& start, const QString& serverBase, const QString& localBase);
    static QString lastLine(int exitStatus, qint64 milliseconds);

private:
    QFile m_file;
    QString m_error;
    QElapsedTimer m_clock;
};

} // namespace app
