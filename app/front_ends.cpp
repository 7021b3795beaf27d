#include "app/front_ends.h"

#include "app/console_view.h"
#include "app/main_window.h"
#include "app/run_log_file.h"
#include "app/terminal_progress.h"
#include "client/client.h"
#include "platform/console.h"
#include "platform/program_directory.h"
#include "platform/qt_text.h"
#include "workflow/refusal_box.h"
#include "workflow/start_sequence.h"
#include "workflow/sync_run.h"
#include "workflow/window_state.h"
#include "json/utf8.h"

#include <QApplication>
#include <QDateTime>

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

int consoleExit(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::Done:
        return kExitDone;
    case RunOutcome::FailedTables:
        return kExitFailedTables;
    case RunOutcome::NoEndpointList:
        return kExitUnreachable;
    case RunOutcome::StoppedAtGate:
    case RunOutcome::Ignored:
    case RunOutcome::Interrupted:
        break;
    }
    return kExitStopped;
}

// The startup check, then one send run; the exit status.
int runConsoleWorkflow(ConsoleView& view, client::Client& client, const QString& dataDir, const ProgramOptions& options)
{
    WindowState state;
    switch (Form_Load(view, client, state, dataDir, givenCredentials(options, dataDir))) {
    case CheckOutcome::Unreachable:
        return kExitUnreachable;
    case CheckOutcome::OutOfDate:
        return kExitOutOfDate;
    case CheckOutcome::Ready:
        break;
    }
    return consoleExit(SyncRun(view, client, state, dataDir).BtSync_Click());
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

int runWindow(int& argc, char** argv, const ProgramOptions& options)
{
    QApplication application(argc, argv);
    QApplication::setWindowIcon(applicationIcon());
    const QString dataDir = dataDirectory(options);
    Form1 window;
    workflow::RefusalBox refusals(window.dialogs());
    client::Client client(clientSettings(options), refusals);
    reportSetupError(client);
    WindowState state;
    SyncRun run(window, client, state, dataDir);
    wireWindow(window, client, run);

    Form_Load(window, client, state, dataDir, givenCredentials(options, dataDir));
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

} // namespace app
