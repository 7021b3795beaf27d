#pragma once

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
    CheckOutcome failureEnding();
    CheckOutcome outOfDateEnding();

    SyncView& m_view;
    client::Client& m_client;
    WindowState& m_state;
};

} // namespace workflow
