#pragma once

// The send history: every run of the window and of the console mode, whatever its end, kept in
// "riwayat.jsonl" in the data folder beside data.json, one line per run (workflow/run_record.h), the
// oldest first.
//
// A run is appended in one write at the file's end (on Windows with append-only access), so that a
// window and a scheduled console run ending together keep every line whole; a new file is its owner's
// only. Past kHistoryRewriteAt lines, the newest kHistoryRuns runs replace the file atomically
// (platform::writeFileAtomically). Appending and that rewrite take turns through a lock file beside it
// (riwayat.jsonl.lock, removed when released), so that a run another program appends while the file is
// rewritten never goes with the old file.

#include "workflow/run_record.h"

#include <QString>

#include <vector>

namespace workflow {

class SyncView;

// The runs the history keeps.
inline constexpr std::size_t kHistoryRuns = 2000;
// The lines that start a rewrite down to kHistoryRuns: with this margin the file is rewritten once in
// two hundred runs, not at every run.
inline constexpr qsizetype kHistoryRewriteAt = 2200;
// The end of the file that is read: far more than kHistoryRuns runs take, so that a broken or hostile
// file of any size costs no more memory than this.
inline constexpr qint64 kHistoryReadLimit = qint64(16) << 20;
// A longer line is no run of this program's and is skipped unread.
inline constexpr qsizetype kHistoryLineLimit = qsizetype(256) << 10;

QString historyFilePath(const QString& dataDir);

struct History {
    std::vector<RunRecord> runs; // the newest kHistoryRuns at most, the oldest first
    int skipped = 0;             // lines that were cut, were not JSON or held no run
};

// The runs in the last kHistoryReadLimit bytes of the file (a first line cut by that bound is not
// counted as skipped); no runs when there is no file or it cannot be read.
History readHistory(const QString& dataDir);

class SendHistory final {
public:
    SendHistory(const QString& dataDir, RunMode mode);

    // Appends `record` as a run of this front end's mode. A file that cannot be written is said once in
    // the log ("[!] Riwayat tidak dapat disimpan", at the first failure only); the work goes on. A last
    // line cut short before (a full disk, a killed program) is ended first, so that it cannot swallow
    // this one.
    void keep(RunRecord record, SyncView& view);

private:
    QString m_path;
    RunMode m_mode;
    bool m_failureSaid = false;
};

} // namespace workflow
