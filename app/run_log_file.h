#pragma once

// The console mode's log file for scheduled runs (--log-file). Each run is appended: a first line with
// the local date and time (ISO 8601), the program version and both addresses; then every line the
// console prints; then a last line with the exit status and the run's duration. UTF-8 with CR LF line
// ends. A new file is created readable and writable by its owner only; an existing one is never
// truncated. Each line reaches the file in one write at its end, so runs that share the file keep every
// line whole.

#include <QElapsedTimer>
#include <QString>

#include "platform/direct_file.h"

#include <string_view>

class QDateTime;

namespace app {

class RunLogFile final {
public:
    // Opens `path` for appending and writes the first line. The first failure, to open or to write,
    // is said once on standard error ("Log tidak dapat ditulis ke " + path + ": " + the reason); the
    // file then takes no further lines and the run goes on without it.
    RunLogFile(const QString& path, const QDateTime& start, const QString& serverBase, const QString& localBase);

    void writeLine(std::string_view utf8);
    void finish(int exitStatus);

    static QString firstLine(const QDateTime& start, const QString& serverBase, const QString& localBase);
    static QString lastLine(int exitStatus, qint64 milliseconds);

private:
    void reportFailure();

    platform::DirectFile m_file;
    QString m_path;
    QElapsedTimer m_clock;
};

} // namespace app
