#include "app/front_ends.h"

#include "app/console_view.h"
#include "app/history_text.h"
#include "app/main_window.h"
#include "app/qt_dialogs.h"
#include "app/run_log_file.h"
#include "app/terminal_progress.h"
#include "client/client.h"
#include "platform/console.h"
#include "platform/program_directory.h"
#include "platform/qt_text.h"
#include "platform/single_window_lock.h"
#include "workflow/refusal_box.h"
#include "workflow/send_history.h"
#include "workflow/start_sequence.h"
#include "workflow/sync_run.h"
#include "workflow/window_state.h"
#include "json/utf8.h"

#include <QApplication>
#include <QDateTime>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace app {

using workflow::CheckOutcome;
using workflow::Credentials;
using workflow::Form_Load;
using workflow::RunOutcome;
using workflow::SyncRun;
using workflow::WindowState;

namespace {

using platform::toU16;

client::ClientSettings clientSettings(const ProgramOptions& options)
{
    client::ClientSettings settings;
    if (!options.server.isEmpty()) {
        settings.serverBase = toU16(options.server);
    }
    if (!options.local.isEmpty()) {
        settings.localBase = toU16(options.local);
    }
    settings.caFile = toU16(options.caFile);
    return settings;
}

QString dataDirectory(const ProgramOptions& options)
{
    return options.dataDir.isEmpty() ? platform::dataDirectory() : options.dataDir;
}

// The credentials the command line names, over those of the file.
std::optional<Credentials> givenCredentials(const ProgramOptions& options, const QString& dataDir)
{
    if (!options.token && !options.npsn && !options.user) {
        return std::nullopt;
    }
    Credentials credentials =
        workflow::readCredentialsFile(workflow::credentialsFilePath(dataDir)).value_or(Credentials{});
    if (options.token) {
        credentials.token = toU16(*options.token);
    }
    if (options.npsn) {
        credentials.npsn = toU16(*options.npsn);
    }
    if (options.user) {
        credentials.email = toU16(*options.user);
    }
    return credentials;
}

void reportSetupError(const client::Client& client)
{
    if (!client.setupError().empty()) {
        platform::writeText(stderr, json::Utf16ToUtf8(client.setupError()) + '\n');
    }
}

// Why --tables cannot be sent: the names it gave that the list lacks, and the names the list has.
std::u16string unknownTables(const std::vector<std::u16string>& unknown, const std::vector<std::u16string>& list)
{
    std::u16string text = u"Tabel tidak dikenal: ";
    for (std::size_t i = 0; i < unknown.size(); ++i) {
        text += (i == 0 ? u"" : u", ") + unknown[i];
    }
    text += u". Tabel yang ada:";
    for (std::size_t i = 0; i < list.size(); ++i) {
        text += (i == 0 ? u" " : u", ") + list[i] + u" (" + SyncRun::displayName(list[i]) + u")";
    }
    return text + (list.empty() ? u" (tidak ada)." : u".");
}

// The startup check (tried again as --retry allows), then one send run of every table or of those
// --tables names, each kept in the history as it ends; the exit status.
int runConsoleWorkflow(ConsoleView& view, client::Client& client, const QString& dataDir, const ProgramOptions& options)
{
    workflow::SendHistory history(dataDir, workflow::RunMode::Console);
    WindowState state;
    state.history = &history;
    const CheckOutcome check = Form_Load(view, client, state, dataDir, givenCredentials(options, dataDir),
                                         workflow::RetryPolicy{.retries = options.retry});
    if (check != CheckOutcome::Ready) {
        return workflow::exitStatusOf(check);
    }
    SyncRun run(view, client, state, dataDir);
    if (options.tables.isEmpty()) {
        return workflow::exitStatusOf(run.BtSync_Click());
    }
    std::vector<std::u16string> names;
    for (const QString& table : options.tables) {
        names.push_back(toU16(table));
    }
    const workflow::TableSelection selection = SyncRun::selectTables(*state.EndpointList, names);
    if (!selection.unknown.empty()) {
        view.printError(unknownTables(selection.unknown, *state.EndpointList));
        return kExitUsage;
    }
    return workflow::exitStatusOf(run.sendOnly(selection.endpoints));
}

} // namespace

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 20, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/murenta-tervalis-helper-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

void wireWindow(Form1& window, client::Client& client, SyncRun& run)
{
    QObject::connect(&window, &Form1::closing, &window, [&client] { client.cancelAll(); });
    QObject::connect(&window, &Form1::sendLabelClicked, &window, [&run] { run.BtSync_Click(); });
    QObject::connect(&window, &Form1::sendPanelClicked, &window, [&run] { run.picBtnSync_Click(); });
}

void bringToFrontOnRequest(QWidget& window, platform::SingleWindowLock& lock)
{
    QObject::connect(&lock, &platform::SingleWindowLock::showRequested, &window, [&window] {
        window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        window.show();
        window.raise();
        window.activateWindow();
    });
}

int runWindow(int& argc, char** argv, const ProgramOptions& options)
{
    QApplication application(argc, argv);
    QApplication::setWindowIcon(applicationIcon());
    const QString dataDir = dataDirectory(options);
    platform::SingleWindowLock windowLock(dataDir);
    switch (windowLock.claim()) {
    case platform::SingleWindowLock::Claim::Owner:
        break;
    case platform::SingleWindowLock::Claim::HandedOver:
        return 0;
    case platform::SingleWindowLock::Claim::Unanswered:
        QtDialogs().messageBox(u"Murenta Tervalis Helper sudah terbuka, tetapi jendelanya tidak menjawab.",
                               std::nullopt, platform::MessageIcon::Warning);
        return 1;
    }
    Form1 window;
    bringToFrontOnRequest(window, windowLock);
    workflow::RefusalBox refusals(window.dialogs());
    client::Client client(clientSettings(options), refusals);
    reportSetupError(client);
    workflow::SendHistory history(dataDir, workflow::RunMode::Window);
    WindowState state;
    state.history = &history;
    SyncRun run(window, client, state, dataDir);
    wireWindow(window, client, run);
    window.setHistorySource([dataDir] { return workflow::readHistory(dataDir); });

    // The window tries the startup check again until it gets through or the operator closes it.
    Form_Load(window, client, state, dataDir, givenCredentials(options, dataDir),
              workflow::RetryPolicy{.retries = std::nullopt});
    if (window.isClosing()) {
        return 0; // closed during the check, or out of date: the event loop never starts
    }
    return QApplication::exec();
}

int runConsole(int& argc, char** argv, const ProgramOptions& options)
{
    QCoreApplication application(argc, argv);
    const QString dataDir = dataDirectory(options);
    ConsoleView view;
    workflow::RefusalBox refusals(view.dialogs());
    client::Client client(clientSettings(options), refusals);

    std::optional<RunLogFile> logFile;
    if (!options.logFile.isEmpty()) {
        logFile.emplace(options.logFile, QDateTime::currentDateTime(), platform::toQString(client.serverBase()),
                        platform::toQString(client.localBase()));
        view.setLogFile(&*logFile);
    }
    TerminalProgress progress(stderr, platform::isTerminal(stderr));
    view.setProgress(&progress);
    client.setProgressObserver(
        [&progress](const client::TransferProgress& p) { progress.update(p.url, p.received, p.sent); });

    if (!client.setupError().empty()) {
        view.printError(client.setupError());
    }
    const int status = runConsoleWorkflow(view, client, dataDir, options);
    progress.erase();
    if (logFile) {
        logFile->finish(status);
    }
    return status;
}

int runHistory(int& argc, char** argv, const ProgramOptions& options)
{
    const QCoreApplication application(argc, argv);
    const workflow::History history = workflow::readHistory(dataDirectory(options));
    std::string lines;
    const std::size_t shown = std::min(history.runs.size(), options.historyCount);
    for (auto run = history.runs.rbegin(); run != history.runs.rbegin() + static_cast<std::ptrdiff_t>(shown); ++run) {
        lines += historyLine(*run).toStdString() + '\n';
    }
    platform::writeText(stdout, history.runs.empty() ? std::string("Belum ada riwayat kiriman.\n") : lines);
    if (history.skipped > 0) {
        platform::writeText(stderr, "[!] " + skippedLinesText(history.skipped).toStdString() + '\n');
    }
    return kExitDone;
}

} // namespace app
