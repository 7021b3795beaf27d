#include "app/history_dialog.h"

#include "app/form_controls.h"
#include "app/history_text.h"
#include "app/log_export.h"
#include "app/save_dialog.h"
#include "platform/dialogs.h"
#include "platform/qt_text.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace app {
namespace {

using platform::toQString;

QTreeWidget* makeList(QWidget* parent, const char* name, const QStringList& columns)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QLatin1StringView(name));
    list->setHeaderLabels(columns);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setAccessibleName(columns.front());
    return list;
}

// A button that Enter never presses on its own: Enter in the list of runs opens a run.
QPushButton* makeButton(QWidget* parent, const char* name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1StringView(name));
    button->setAutoDefault(false);
    return button;
}

QLabel* makeLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1StringView(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QColor statusColor(workflow::Color color)
{
    return {workflow::redOf(color), workflow::greenOf(color), workflow::blueOf(color)};
}

} // namespace

HistoryDialog::HistoryDialog(platform::Dialogs& dialogs, QWidget* parent) : QDialog(parent), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("HistoryDialog"));
    setWindowTitle(QStringLiteral("Riwayat Kiriman"));
    setFont(uiFont(9));
    resize(640, 460);
    buildControls();
    m_chooseSavePath = [this](const QString& proposed) {
        return askSavePath(this, QStringLiteral("Simpan CSV"), proposed, QStringLiteral("File CSV (*.csv)"));
    };
}

void HistoryDialog::buildControls()
{
    lblToday = makeLabel(this, "lblToday");
    lstRuns =
        makeList(this, "lstRuns",
                 {QStringLiteral("Waktu"), QStringLiteral("Status"), QStringLiteral("Tabel"), QStringLiteral("Mode")});
    lblRun = makeLabel(this, "lblRun");
    lstTables = makeList(
        this, "lstTables",
        {QStringLiteral("Tabel"), QStringLiteral("Baris"), QStringLiteral("Keadaan"), QStringLiteral("Alasan")});
    lblSkipped = makeLabel(this, "lblSkipped");
    btnCopy = makeButton(this, "btnCopy", QStringLiteral("Salin"));
    btnSaveCsv = makeButton(this, "btnSaveCsv", QStringLiteral("Simpan CSV..."));
    btnClose = makeButton(this, "btnClose", QStringLiteral("Tutup"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblSkipped, 1);
    buttons->addWidget(btnCopy);
    buttons->addWidget(btnSaveCsv);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblToday);
    layout->addWidget(lstRuns, 3);
    layout->addWidget(lblRun);
    layout->addWidget(lstTables, 2);
    layout->addLayout(buttons);

    setTabOrder(lstRuns, lstTables);
    setTabOrder(lstTables, btnCopy);
    setTabOrder(btnCopy, btnSaveCsv);
    setTabOrder(btnSaveCsv, btnClose);

    connect(lstRuns, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { showRun(lstRuns->indexOfTopLevelItem(item)); });
    connect(lstRuns, &QTreeWidget::activated, this, &HistoryDialog::openRun);
    connect(btnCopy, &QPushButton::clicked, this, &HistoryDialog::copyRun);
    connect(btnSaveCsv, &QPushButton::clicked, this, &HistoryDialog::saveCsv);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::close);
}

void HistoryDialog::setHistory(workflow::History history, const QDate& today)
{
    m_history = std::move(history);
    lblToday->setText(todaySummary(m_history.runs, today));
    lblSkipped->setText(skippedLinesText(m_history.skipped));
    lstRuns->clear();
    for (auto run = m_history.runs.rbegin(); run != m_history.runs.rend(); ++run) {
        auto* item = new QTreeWidgetItem(
            lstRuns, {localMinute(run->start), toQString(run->status), tablesSentText(*run), modeText(run->mode)});
        item->setForeground(1, statusColor(run->statusColor));
    }
    for (int column = 0; column < lstRuns->columnCount(); ++column) {
        lstRuns->resizeColumnToContents(column);
    }
    btnCopy->setEnabled(!m_history.runs.empty());
    btnSaveCsv->setEnabled(!m_history.runs.empty());
    lstRuns->setCurrentItem(lstRuns->topLevelItem(0));
    showRun(lstRuns->currentIndex().row());
    lstRuns->setFocus();
}

const workflow::RunRecord* HistoryDialog::runAt(int row) const
{
    const auto count = static_cast<int>(m_history.runs.size());
    return row >= 0 && row < count ? &m_history.runs[static_cast<std::size_t>(count - 1 - row)] : nullptr;
}

void HistoryDialog::showRun(int row)
{
    lstTables->clear();
    const workflow::RunRecord* run = runAt(row);
    if (run == nullptr) {
        lblRun->setText(QStringLiteral("Belum ada riwayat kiriman."));
        return;
    }
    lblRun->setText(runSummaryLines(*run).join(u'\n'));
    for (const workflow::TableRecord& table : run->tables) {
        auto* item = new QTreeWidgetItem(lstTables, {toQString(table.name), QString::number(table.rows),
                                                     tableState(table), toQString(table.reason)});
        item->setToolTip(3, toQString(table.reason));
    }
    for (int column = 0; column < lstTables->columnCount() - 1; ++column) {
        lstTables->resizeColumnToContents(column);
    }
}

void HistoryDialog::openRun()
{
    showRun(lstRuns->currentIndex().row());
    lstTables->setCurrentItem(lstTables->topLevelItem(0));
    lstTables->setFocus();
}

void HistoryDialog::copyRun()
{
    if (const workflow::RunRecord* run = runAt(lstRuns->currentIndex().row())) {
        QGuiApplication::clipboard()->setText(runText(*run));
    }
}

void HistoryDialog::saveCsv()
{
    const QString path = m_chooseSavePath(proposedExportPath(exportFolder(), QStringLiteral("riwayat-kiriman-"),
                                                             QDateTime::currentDateTime(), QStringLiteral(".csv")));
    if (path.isEmpty()) {
        return;
    }
    if (const QString error = writeExportFile(path, historyCsv(m_history.runs)); !error.isEmpty()) {
        m_dialogs.messageBox(
            platform::toU16(QStringLiteral("CSV tidak dapat disimpan ke ") + path + QStringLiteral(": ") + error),
            u"Error", platform::MessageIcon::Error);
    }
}

} // namespace app
