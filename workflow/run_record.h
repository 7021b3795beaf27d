#pragma once

// What the send history keeps of one run, and its line in the history file: one JSON object in UTF-8,
// followed by a line feed, for example
// {"start":"2024-05-14T14:00:03+07:00","end":"2024-05-14T14:00:41+07:00","mode":"console",
//  "status":"SELESAI (ADA ERROR)","color":2105599,"exit":5,"sendsToday":3,"reason":"",
//  "tables":[{"name":"SISWA","rows":0,"sent":false,"processed":false,"reason":"..."}]}
// (on one line). Times are local with their offset from UTC, to the second.

#include "workflow/colors.h"

#include <QDateTime>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace workflow {

enum class RunMode {
    Window,  // "window"
    Console, // "console"
};

struct TableRecord {
    std::u16string name{}; // as the log shows it (SyncRun::displayName)
    std::int64_t rows = 0;
    bool sent = false;
    bool processed = false;
    // Why it was not sent or not processed; empty when it went through, or was never tried.
    std::u16string reason{};

    friend bool operator==(const TableRecord&, const TableRecord&) = default;
};

struct RunRecord {
    QDateTime start{};
    QDateTime end{};
    RunMode mode = RunMode::Window;
    // The last status the status line showed, and its colour.
    std::u16string status{};
    Color statusColor = ColorFail;
    int exitStatus = 0; // the console's exit status for this end (workflow/exit_status.h)
    // The server's count of today's sends, read at the login; nothing when the run did not read it.
    std::optional<std::int64_t> sendsToday{};
    // Why the run stopped before its tables: a check, a gate, the window closed; empty otherwise.
    std::u16string reason{};
    // Every table of the endpoint list, in its order; none when the list was never obtained.
    std::vector<TableRecord> tables{};

    std::size_t tablesSent() const;

    friend bool operator==(const RunRecord&, const RunRecord&) = default;
};

// The record as its line, line feed included.
std::string formatRecordLine(const RunRecord& record);
// The record a line holds (without its line feed); nothing when the line is cut, is not JSON, or lacks a
// valid start time, a status or a known mode. Absent or mistyped other members take their defaults.
std::optional<RunRecord> parseRecordLine(std::string_view line);

} // namespace workflow
