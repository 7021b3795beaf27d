#pragma once

#include "workflow/run_record.h"

#include <string_view>

namespace client {
class Client;
}

namespace workflow {

class SyncView;
struct WindowState;

enum class CheckOutcome {
    Ready,       // up to date, endpoint list stored, send button enabled
    Unreachable, // a question went unanswered: "GAGAL TERHUBUNG", the window stays open
    OutOfDate,   // another version: download page opened, window closed
};

// The startup check: asks the regional server for the current version, then for the endpoint list.
class StartupCheck final {
public:
    StartupCheck(SyncView& view, client::Client& client, WindowState& state)
        : m_view(view), m_client(client), m_state(state)
    {
    }

    CheckOutcome CheckVersion();

private:
    CheckOutcome failureEnding(std::u16string_view reply);
    CheckOutcome outOfDateEnding(std::u16string_view serverVersion);
    // SetStatus, remembering the status for the check's record.
    void setStatus(std::u16string_view text, Color color);
    // A failed check ends the run it began (the console's) or keeps the window from sending: either way
    // it is kept in the history.
    void keepRecord(CheckOutcome outcome, std::u16string_view reason);

    SyncView& m_view;
    client::Client& m_client;
    WindowState& m_state;
    RunRecord m_record;
};

} // namespace workflow
