#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

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

// The send run: saves the credentials, confirms the operator, logs in, respects the daily limit, then
// sends and processes every table of the endpoint list and rebuilds the server's summary.
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

    // The name shown for an endpoint: every lowercase "get" removed, then capitals.
    static std::u16string displayName(std::u16string_view endpoint);
    // The daily send count of a login reply's "msg": a whole number, or nothing.
    static std::optional<std::int64_t> sendsToday(std::u16string_view msg);

private:
    RunOutcome runSteps();
    RunOutcome sendTables(const std::vector<std::u16string>& names, const std::u16string& npsn,
                          const std::u16string& token);
    RunOutcome finish(bool failed);
    void commonEnding();
    void log(std::u16string_view line);

    SyncView& m_view;
    client::Client& m_client;
    WindowState& m_state;
    QString m_dataDir;
};

} // namespace workflow
