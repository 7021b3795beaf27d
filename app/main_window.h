#pragma once

// The program's one window, Form1: the three credential boxes, the send button, the status line, the
// progress bar, the activity log and the version label, with the link to the send history beside it,
// laid out in twips (15 twips make one pixel at 96 dots per inch; Qt scales on high-density screens).
// It is the view of the start sequence and the send run; the window itself holds no workflow.

#include "workflow/send_history.h"
#include "workflow/sync_view.h"

#include <QWidget>

#include <functional>
#include <memory>

class QColor;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace platform {
class Browser;
}

namespace app {

class FramedList;
class HistoryDialog;
class RoundedFrame;
class SendButton;

class Form1 final : public QWidget, public workflow::SyncView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form1)

public:
    // Message and input boxes go to `dialogs` and pages to `browser`; without them the window uses Qt's
    // dialogs over itself and the desktop's browser. A page the browser cannot open is shown as its
    // address in a message box. Once the window is closing, no box is shown and no page opened.
    explicit Form1(platform::Dialogs* dialogs = nullptr, platform::Browser* browser = nullptr,
                   QWidget* parent = nullptr);
    ~Form1() override;

    // SyncView
    void appendLog(std::u16string_view line) override;
    void clearLog() override;
    void ScrollLog() override;
    void SetStatus(std::u16string_view text, workflow::Color color) override;
    void SetProgress(std::int64_t current, std::int64_t total) override;
    void setSendEnabled(bool enabled) override;
    bool isSendEnabled() const override;
    void setSendCaption(std::u16string_view caption) override;
    void setSendPanelColor(workflow::Color color) override;
    workflow::Credentials credentials() const override;
    void setCredentials(const workflow::Credentials& credentials) override;
    void setCredentialsReadOnly(bool readOnly) override;
    void setVersionText(std::u16string_view text) override;
    void showAndPaint() override;
    void closeWindow() override;
    bool isClosing() const override { return m_closing; }
    platform::Dialogs& dialogs() override;
    void openPage(std::u16string_view url) override;

    // The width of lblProgressBar in twips, as SetProgress computed it (the widget itself is drawn in
    // whole pixels).
    double progressBarWidth() const { return m_progressBarWidth; }

    // Asks where to save the log, proposing a path; the empty text when the operator cancels. The
    // window asks with askSavePath (app/save_dialog.h) unless given another way.
    using SavePathChooser = std::function<QString(const QString& proposedPath)>;
    void setSavePathChooser(SavePathChooser chooser) { m_chooseSavePath = std::move(chooser); }
    // The activity log's context menu: "Salin Semua" (every line to the clipboard) and "Simpan Log..."
    // (proposes log-kirim-YYYYMMDD-HHMMSS.txt in the documents folder, the home folder when there is none).
    QMenu* logMenu() const { return m_logMenu; }

    // Where the link "Riwayat Kiriman" reads the send history each time it opens the history view;
    // without one the view is empty.
    using HistorySource = std::function<workflow::History()>;
    void setHistorySource(HistorySource source) { m_historySource = std::move(source); }

signals:
    // The send button was pressed on its caption or from the keyboard (BtSync_Click), or on the bare panel
    // around the caption (picBtnSync_Click). Enter in a credential box counts as the panel's press while
    // the button is enabled.
    void sendLabelClicked();
    void sendPanelClicked();
    // The operator closed the window.
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class ClosingAwareDialogs;

    void buildControls();
    void buildCredentialRows();
    void buildSendButton();
    void buildLogMenu();
    void buildHistoryLink();
    void showNpsnNote();
    void showStatus(const QString& text, const QColor& color);
    void copyLogLines(bool selectedOnly);
    void saveLog();
    QStringList logLines(bool selectedOnly) const;
    // Opens the history view (one, reread at every opening); it does not keep the window from working.
    void showHistory();

    std::unique_ptr<platform::Dialogs> m_ownDialogs;
    std::unique_ptr<platform::Browser> m_ownBrowser;
    platform::Browser* m_browser;
    std::unique_ptr<ClosingAwareDialogs> m_dialogs;
    double m_progressBarWidth = 0;
    bool m_closing = false;
    bool m_shownOnce = false;
    SavePathChooser m_chooseSavePath;
    QMenu* m_logMenu = nullptr;
    HistorySource m_historySource;
    HistoryDialog* m_historyDialog = nullptr;

    // The controls keep the names the operators' manual and the layout table use.
    QWidget* picHeader = nullptr;
    QLabel* lblAppTitle = nullptr;
    QLabel* lblAuth = nullptr;
    QLabel* Label1 = nullptr;
    RoundedFrame* shpToken = nullptr;
    QLineEdit* txtToken = nullptr;
    QLabel* Label2 = nullptr;
    RoundedFrame* shpNpsn = nullptr;
    QLineEdit* txtNPSN = nullptr;
    QLabel* Label3 = nullptr;
    RoundedFrame* shpUser = nullptr;
    QLineEdit* user_OPS = nullptr;
    QLabel* lblNpsnNote = nullptr;
    // The send button: the panel picBtnSync with its caption BtSync drawn on it.
    SendButton* picBtnSync = nullptr;
    QLabel* lblMainStatus = nullptr;
    QLabel* lblProgressBG = nullptr;
    QLabel* lblProgressBar = nullptr;
    FramedList* List1 = nullptr;
    QLabel* Label6 = nullptr;
    QPushButton* btnHistory = nullptr;
};

} // namespace app
