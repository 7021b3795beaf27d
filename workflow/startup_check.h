#pragma once

#include "workflow/colors.h"
#include "workflow/run_record.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

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

// How the startup check tries again when it could not connect (never when the program is out of date):
// after each of `waits` in turn, the last one repeating, at most `retries` times, or without end (until
// an attempt gets through or the window closes) when that is nothing.
struct RetryPolicy {
    std::vector<std::chrono::milliseconds> waits{std::chrono::seconds(15), std::chrono::seconds(30),
                                                 std::chrono::seconds(60)};
    std::optional<int> retries = 0;

    // The wait before retry number `retry`, counted from 0.
    std::chrono::milliseconds waitBefore(int retry) const;
};

// The startup check: asks the regional server for the current version, then for the endpoint list.
// Why it did not get through, or that the program is out of date, is logged under the failing line and
// kept in the window's state (WindowState::checkFailure). A check that ends without getting through is
// kept in the send history once, however often it was tried.
class StartupCheck final {
public:
    StartupCheck(SyncView& view, client::Client& client, WindowState& state)
        : m_view(view), m_client(client), m_state(state)
    {
    }

    CheckOutcome CheckVersion();
    // CheckVersion, tried again as `policy` allows while it cannot connect. Each wait is announced in the
    // log ("[i] Mencoba lagi dalam 15 detik ...") and lets events run; the send button stays disabled
    // and the status "GAGAL TERHUBUNG" until an attempt gets through, which then ends as a first
    // successful check does. A window closed during a wait ends it, and the check, at once.
    CheckOutcome checkWithRetries(const RetryPolicy& policy);

    // The log line that announces a wait, in whole seconds (rounded up).
    static std::u16string retryLine(std::chrono::milliseconds wait);

private:
    // A retry leaves the status as the failed attempt left it.
    enum class Attempt { First, Retry };

    CheckOutcome ask(Attempt attempt);
    // SetStatus, remembering the status for the check's record.
    void setStatus(std::u16string_view text, Color color);
    // A check that did not get through ends the run it began (the console's) or keeps the window from
    // sending: either way it is kept in the history, with the last attempt's reason.
    CheckOutcome kept(CheckOutcome outcome);
    CheckOutcome failureEnding(std::u16string_view reply);
    CheckOutcome outOfDateEnding(std::u16string_view serverVersion);
    void logFailure(std::u16string_view line, std::u16string reason);

    SyncView& m_view;
    client::Client& m_client;
    WindowState& m_state;
    RunRecord m_record;
};

} // namespace workflow
