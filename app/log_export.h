#pragma once

// The activity log as the operator keeps it: copied to the clipboard or saved to a text file, with
// CR LF between lines (what Windows editors expect) and UTF-8 in files.

#include <QString>
#include <QStringList>

class QDateTime;

namespace app {

// The lines joined with CR LF, none after the last.
QString joinLogLines(const QStringList& lines);
// `folder` + "/log-kirim-YYYYMMDD-HHMMSS.txt", from the local time `now`.
QString proposedLogPath(const QString& folder, const QDateTime& now);
// Writes every line followed by CR LF, in UTF-8, replacing the file. Empty on success; otherwise why not.
QString writeLogFile(const QString& path, const QStringList& lines);

} // namespace app
