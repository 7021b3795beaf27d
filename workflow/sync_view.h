#pragma once

// What the start sequence, the startup check and the send run see of the window: the narrow view they
// report through. The window implements it with its widgets, the console mode on the terminal, tests with
// a recorder. SetStatus, SetProgress and ScrollLog keep the names the operators' manual uses; each lets
// pending events run before it returns, which keeps the window responsive during long work.

#include "workflow/colors.h"
#include "workflow/credentials_file.h"

#include <cstdint>
#include <string_view>

namespace platform {
class Dialogs;
}

namespace workflow {

class SyncView {
public:
    virtual ~SyncView() = default;

    // The activity log. Appending does not scroll.
    virtual void appendLog(std::u16string_view line) = 0;
    virtual void clearLog() = 0;
    // Brings the last log line into view, with no line highlighted.
    virtual void ScrollLog() = 0;
    // Shows "Status: " + text in the colour.
    virtual void SetStatus(std::u16string_view text, Color color) = 0;
    // Fills current/total of the bar, in floating point; an empty bar when total < 1.
    virtual void SetProgress(std::int64_t current, std::int64_t total) = 0;

    // The send button: the caption label's enabled state and text, and the panel's fill.
    virtual void setSendEnabled(bool enabled) = 0;
    virtual bool isSendEnabled() const = 0;
    virtual void setSendCaption(std::u16string_view caption) = 0;
    virtual void setSendPanelColor(Color color) = 0;

    // The three credential boxes, read afresh at every use.
    virtual Credentials credentials() const = 0;
    virtual void setCredentials(const Credentials& credentials) = 0;
    // Read-only boxes keep what a run saved and sends from being changed under it.
    virtual void setCredentialsReadOnly(bool readOnly) = 0;

    // "Versi " + the version.
    virtual void setVersionText(std::u16string_view text) = 0;
    // Shows the window and lets it paint before any network work begins.
    virtual void showAndPaint() = 0;
    // Ends the program after the current procedure (the out-of-date path).
    virtual void closeWindow() = 0;
    // True once the operator has closed the window: work under way stops without further requests
    // or dialogs.
    virtual bool isClosing() const = 0;

    virtual platform::Dialogs& dialogs() = 0;
    // Opens a page of the regional server in the browser (the console prints it instead).
    virtual void openPage(std::u16string_view url) = 0;
};

} // namespace workflow
