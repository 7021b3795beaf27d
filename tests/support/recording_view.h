#pragma once

// A view for workflow tests: keeps the log as the window would show it and records every status,
// progress value, button change, dialog and page, with no pixels involved.

#include "recording_dialogs.h"
#include "workflow/sync_view.h"

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

struct StatusChange {
    std::u16string text;
    workflow::Color color;
    friend bool operator==(const StatusChange&, const StatusChange&) = default;
};

class RecordingView final : public workflow::SyncView {
public:
    // Dialogs go to `dialogs`, which the client may share so that its boxes land in the same record.
    explicit RecordingView(RecordingDialogs& dialogs) : dialogsShown(dialogs) {}

    void appendLog(std::u16string_view line) override { log.emplace_back(line); }
    void clearLog() override { log.clear(); }
    void ScrollLog() override { ++scrolls; }
    void SetStatus(std::u16string_view text, workflow::Color color) override
    {
        statuses.push_back({std::u16string(text), color});
        if (onStatus) {
            onStatus(text);
        }
    }
    void SetProgress(std::int64_t current, std::int64_t total) override
    {
        progress.push_back(total < 1 ? 0.0 : static_cast<double>(current) / static_cast<double>(total));
    }
    void setSendEnabled(bool enabled) override { sendEnabled = enabled; }
    bool isSendEnabled() const override { return sendEnabled; }
    void setSendCaption(std::u16string_view text) override { caption = text; }
    void setSendPanelColor(workflow::Color color) override { panel = color; }
    workflow::Credentials credentials() const override { return boxes; }
    void setCredentials(const workflow::Credentials& credentials) override { boxes = credentials; }
    void setCredentialsReadOnly(bool readOnly) override { boxesReadOnly = readOnly; }
    void setVersionText(std::u16string_view text) override { version = text; }
    void showAndPaint() override { shown = true; }
    void closeWindow() override { closing = true; }
    bool isClosing() const override { return closing; }
    platform::Dialogs& dialogs() override { return dialogsShown; }
    void openPage(std::u16string_view url) override { pages.emplace_back(url); }

    std::u16string lastStatus() const { return statuses.empty() ? std::u16string() : statuses.back().text; }

    std::vector<std::u16string> log;
    std::vector<StatusChange> statuses;
    std::vector<double> progress;
    std::vector<std::u16string> pages;
    RecordingDialogs& dialogsShown;
    workflow::Credentials boxes;
    std::u16string caption = u"Kirim Data";
    std::u16string version;
    workflow::Color panel = workflow::ColorButton;
    bool sendEnabled = false;
    bool boxesReadOnly = false;
    bool shown = false;
    bool closing = false;
    int scrolls = 0;
    // Runs at every status change, inside the work under way (to click again, to close the window).
    std::function<void(std::u16string_view)> onStatus;
};

} // namespace testing_support
