#pragma once

#include "workflow/colors.h"
#include "workflow/run_record.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace client {
class Client;
}

namespace workflow {

class SyncView;
struct WindowState;

enum class RunOutcome {
    Done,           // every table sent and processed: "SELESAI!"
    FailedTables,   // some table failed: "SELESAI (ADA ERROR)"
    StoppedAtGate,  // the e-mail check, the login or the daily limit stopped the run
    NoEndpointList, // the startup check never obtained the list: nothing was sent
    Ignored,        // a run was under way, or the button was disabled: nothing happened
    Interrupted,    // the window was closed during the run
};

// What became of one table of a run.
struct TableReport {
    std::u16string endpoint;
    std::int64_t rows = 0;   // as counted when it was fetched
    bool sent = false;       // fetched and accepted by the server
    bool processed = false;  // and processed there
    std::u16string reason{}; // why it was not sent or not processed, as logged; empty when it went through
};

// What a run did, as its log tells it.
struct RunReport {
    RunOutcome outcome = RunOutcome::Ignored;
    // The server's count of today's sends, read at the login; nothing when the run did not read it.
    std::optional<std::int64_t> sendsToday{};
    std::u16string stopReason{}; // why a gate stopped the run, as logged; empty when none did
    std::vector<TableReport> tables{};
    std::u16string summaryReason{}; // why the summary failed, as logged; empty when it was rebuilt or never asked for

    // The endpoints of the tables that did not go through, in the order they were sent.
    std::vector<std::u16string> failedEndpoints() const;
};

// The endpoints that the names given to send only some tables ask for, and the names that ask for none.
struct TableSelection {
    std::vector<std::u16string> endpoints;
    std::vector<std::u16string> unknown;
};

// The send run: saves the credentials, confirms the operator, logs in, respects the daily limit, then
// sends and processes every table of the endpoint list and rebuilds the server's summary. Each failing
// step is followed in the log by its reason ("Alasan: ..."), and the run's report keeps them. When some
// tables failed, the closing box offers to send just those again ("Kirim Ulang yang Gagal"); a run that
// sends them follows at once, as a click would start it. Every run is kept in the send history, when the
// window's state has one.
class SyncRun final {
public:
    // The credentials file lives in `dataDir`.
    SyncRun(SyncView& view, client::Client& client, WindowState& state, QString dataDir)
        : m_view(view), m_client(client), m_state(state), m_dataDir(std::move(dataDir))
    {
    }

    // The send button's label was clicked.
    RunOutcome BtSync_Click();
    // The panel around the label was clicked: the same, but only while the label is enabled.
    RunOutcome picBtnSync_Click();
    // A run as BtSync_Click starts it that sends only these endpoints (see selectTables), in this order;
    // the summary is rebuilt when all of them went through.
    RunOutcome sendOnly(std::vector<std::u16string> endpoints);

    // The report of the run that ended last (of the resent tables' run, after a resend).
    const RunReport& lastRun() const { return m_report; }

    // The name shown for an endpoint: every lowercase "get" removed, then capitals.
    static std::u16string displayName(std::u16string_view endpoint);
    // The daily send count of a login reply's "msg": a whole number, or nothing.
    static std::optional<std::int64_t> sendsToday(std::u16string_view msg);
    // The endpoints of `list`, in its order, that `names` ask for: a name asks for the endpoint of exactly
    // that name, and for those whose display name it is in any letter case.
    static TableSelection selectTables(const std::vector<std::u16string>& list,
                                       const std::vector<std::u16string>& names);

private:
    RunOutcome start(std::optional<std::vector<std::u16string>> only);
    RunOutcome runSteps(const std::optional<std::vector<std::u16string>>& only);
    // Logs a failing line and, right under it, why.
    void logFailure(std::u16string_view line, std::u16string_view reason);
    // Logs the line of a gate that stopped the run and its reason, which the report keeps.
    void stopAtGate(std::u16string_view line, std::u16string reason);
    RunOutcome sendTables(const std::vector<std::u16string>& names, const std::u16string& npsn,
                          const std::u16string& token);
    // Logs a table's failing line and, under it, why: the reason of `result`, which the table keeps.
    void tableFailed(TableReport& table, std::u16string_view line, std::u16string_view result);
    RunOutcome finish(bool failed);
    void commonEnding();
    void log(std::u16string_view line);
    // SetStatus, remembering the status for the run's record.
    void setStatus(std::u16string_view text, Color color);
    // Keeps the run that just ended in the history: its report, and every table it was to send.
    void keepRecord(const std::vector<std::u16string>& tables);

    SyncView& m_view;
    client::Client& m_client;
    WindowState& m_state;
    QString m_dataDir;
    RunReport m_report;
    // The run's start, and the status line as it left it.
    RunRecord m_record;
    // The tables the operator chose to send again from the closing box.
    std::optional<std::vector<std::u16string>> m_resend;
};

} // namespace workflow
