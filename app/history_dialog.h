#pragma once

// "Riwayat Kiriman": the send history in the window. The runs, the newest first, with the date and
// time, the final status in its colour and the tables sent / in all; the chosen run's summary and
// tables below, with rows, state and reason. "Salin" copies the chosen run as text, "Simpan CSV..."
// saves every run as CSV. Above, the day's count of sends. Keyboard: the focus starts in the list of
// runs, Tab moves on to the tables and the buttons, Enter opens the current run (its tables take the
// focus), Esc closes.

#include "workflow/send_history.h"

#include <QDate>
#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace platform {
class Dialogs;
}

namespace app {

class HistoryDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryDialog)

public:
    // A CSV that cannot be saved is said through `dialogs`.
    explicit HistoryDialog(platform::Dialogs& dialogs, QWidget* parent = nullptr);

    // Shows `history` with the newest run chosen; the day's count is that of `today`.
    void setHistory(workflow::History history, const QDate& today);

    // Asks where to save the CSV, proposing a path; the empty text when the operator cancels. The
    // dialog asks with askSavePath (app/save_dialog.h) unless given another way.
    using SavePathChooser = std::function<QString(const QString& proposedPath)>;
    void setSavePathChooser(SavePathChooser chooser) { m_chooseSavePath = std::move(chooser); }

private:
    void buildControls();
    // The run shown in `row` of the list: the newest in row 0.
    const workflow::RunRecord* runAt(int row) const;
    void showRun(int row);
    void openRun();
    void copyRun();
    void saveCsv();

    platform::Dialogs& m_dialogs;
    workflow::History m_history;
    SavePathChooser m_chooseSavePath;

    QLabel* lblToday = nullptr;
    QTreeWidget* lstRuns = nullptr;
    QLabel* lblRun = nullptr;
    QTreeWidget* lstTables = nullptr;
    QLabel* lblSkipped = nullptr;
    QPushButton* btnCopy = nullptr;
    QPushButton* btnSaveCsv = nullptr;
    QPushButton* btnClose = nullptr;
};

} // namespace app
