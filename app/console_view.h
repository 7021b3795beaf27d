#pragma once

// The console mode's view: no window and no display. Log lines go to standard output, one per line in
// UTF-8, flushed as they come (clearing the log prints nothing); status changes, message boxes and pages
// that would open go to standard error as "Status: " + text, title + ": " + text (the application's name
// when a box has no title) and "Buka: " + address. Input boxes answer with the empty text, and a box
// that offers a choice is printed as any other and answered OK. Every
// printed line can also go to a log file, and a live progress line is erased before each of them.

#include "platform/dialogs.h"
#include "workflow/sync_view.h"

#include <cstdio>

namespace app {

class RunLogFile;
class TerminalProgress;

class ConsoleView final : public workflow::SyncView, private platform::Dialogs {
public:
    explicit ConsoleView(std::FILE* out = stdout, std::FILE* err = stderr) : m_out(out), m_err(err) {}

    // Every printed line also goes to `file`; null for none.
    void setLogFile(RunLogFile* file) { m_logFile = file; }
    // The live progress line to erase before each printed line; null for none.
    void setProgress(TerminalProgress* progress) { m_progress = progress; }
    // A line of the program's own on standard error (not a status or a box).
    void printError(std::u16string_view text) { writeLine(m_err, text); }

    void appendLog(std::u16string_view line) override;
    void clearLog() override {}
    void ScrollLog() override;
    void SetStatus(std::u16string_view text, workflow::Color color) override;
    void SetProgress(std::int64_t current, std::int64_t total) override;
    void setSendEnabled(bool enabled) override { m_sendEnabled = enabled; }
    bool isSendEnabled() const override { return m_sendEnabled; }
    void setSendCaption(std::u16string_view) override {}
    void setSendPanelColor(workflow::Color) override {}
    workflow::Credentials credentials() const override { return m_credentials; }
    void setCredentials(const workflow::Credentials& credentials) override { m_credentials = credentials; }
    void setCredentialsReadOnly(bool) override {}
    void setVersionText(std::u16string_view) override {}
    void showAndPaint() override;
    void closeWindow() override { m_closed = true; }
    bool isClosing() const override { return m_closed; }
    platform::Dialogs& dialogs() override { return *this; }
    void openPage(std::u16string_view url) override;

private:
    void messageBox(std::u16string_view text, std::optional<std::u16string_view> title,
                    platform::MessageIcon icon) override;
    bool choiceBox(std::u16string_view text, std::optional<std::u16string_view> title, platform::MessageIcon icon,
                   std::u16string_view choice) override;
    std::u16string inputBox(std::u16string_view prompt, std::u16string_view title,
                            std::u16string_view defaultText) override;
    void writeLine(std::FILE* stream, std::u16string_view text);

    std::FILE* m_out;
    std::FILE* m_err;
    RunLogFile* m_logFile = nullptr;
    TerminalProgress* m_progress = nullptr;
    workflow::Credentials m_credentials;
    bool m_sendEnabled = false;
    bool m_closed = false;
};

} // namespace app
