#pragma once

// The send history as the operator reads it: a line per run for the console, a run as text for the
// clipboard, every run as CSV for a spreadsheet, and the day's count of sends.

#include "workflow/run_record.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

class QDate;

namespace app {

// The local date and time, to the minute: "YYYY-MM-DD HH:MM".
QString localMinute(const QDateTime& time);
// "jendela" or "konsol".
QString modeText(workflow::RunMode mode);
// "terkirim dan diproses", "terkirim, gagal diproses", "gagal dikirim" (with a reason) or "tidak
// dicoba" (a table the run never reached).
QString tableState(const workflow::TableRecord& table);
// The tables sent and in all: "2/3".
QString tablesSentText(const workflow::RunRecord& run);

// One line: local date and time to the minute, the final status, the tables sent / in all, the mode,
// and the run's reason when it has one:
// "2024-05-14 14:00  SELESAI (ADA ERROR)   2/3 tabel  konsol".
QString historyLine(const workflow::RunRecord& run);
// The run without its tables: start and end, mode, status and exit status, tables sent, the server's
// count of today's sends when the run read it, and its reason when it has one; a line each.
QStringList runSummaryLines(const workflow::RunRecord& run);
// The summary, then each table on a line of its own (name, rows, state, reason), joined with CR LF.
QString runText(const workflow::RunRecord& run);
// Every run in the order given (the history's: the oldest first), a row for each table (a run without tables has one
// row): UTF-8 with a byte order mark and CR LF, every field that holds a comma, a double quote or a line break quoted,
// and text that a spreadsheet would take for a formula (starting with =, +, -, @, a tab or a CR) led by an apostrophe.
QByteArray historyCsv(const std::vector<workflow::RunRecord>& runs);

// How many runs of `today` (local) sent at least one table, beside the server's own count as the
// newest run of the day that logged in read it.
QString todaySummary(const std::vector<workflow::RunRecord>& runs, const QDate& today);
// What the reader of the history says of the lines it skipped; empty when it skipped none.
QString skippedLinesText(int skipped);

} // namespace app
