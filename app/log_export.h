#pragma once

// The activity log and the send history as the operator keeps them: copied to the clipboard or saved
// to a file, with CR LF between lines (what Windows editors expect) and UTF-8 in files.

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

// Where a file to save is proposed: the documents folder, or the home folder on a desktop without one.
QString exportFolder();
// `folder` + "/" + `prefix` + "YYYYMMDD-HHMMSS" + `suffix`, from the local time `now`.
QString proposedExportPath(const QString& folder, const QString& prefix, const QDateTime& now, const QString& suffix);
// Replaces the file with `bytes`, only once all of them are written. Empty on success; otherwise why not.
QString writeExportFile(const QString& path, const QByteArray& bytes);

} // namespace app
