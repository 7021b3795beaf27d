// The window wired to the workflow, closed while a request waits; and the console mode run as a process.

#include "recording_browser.h"
#include "workflow_fixture.h"

#include "app/front_ends.h"
#include "app/main_window.h"
#include "workflow/start_sequence.h"
#include "workflow/sync_run.h"

#include "mth_version.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <vector>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

using namespace testing_support;

namespace {

class WindowClosingTest : public WorkflowTest {
protected:
    void SetUp() override
    {
        // The real receive time-out: only cancelling can end a held request quickly.
        client::ClientSettings settings;
        settings.timeouts.receive = std::chrono::seconds(30);
        startSandbox({}, settings);
        client = std::make_unique<client::Client>(clientSettingsFor(settings), windowRefusals);
        run = std::make_unique<workflow::SyncRun>(window, *client, state, dataDir.path());
        app::wireWindow(window, *client, *run);
    }

    client::ClientSettings clientSettingsFor(client::ClientSettings settings) const
    {
        settings.serverBase = serverUrl("");
        settings.localBase = u16(server->localUrl());
        return settings;
    }

    // Closes the window as soon as the sandbox holds a request to `path`.
    void closeWhenHeld(const std::string& path)
    {
        auto* poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, &window, [this, poll, path] {
            for (const sandbox::RecordedRequest& r : server->requests()) {
                if (r.target.rfind(path, 0) == 0) {
                    poll->stop();
                    window.close();
                }
            }
        });
        poll->start(5);
    }

    RecordingDialogs windowDialogs;
    RecordingBrowser browser;
    app::Form1 window{&windowDialogs, &browser};
    workflow::RefusalBox windowRefusals{window.dialogs()};
    std::unique_ptr<workflow::SyncRun> run;
};

} // namespace

TEST_F(WindowClosingTest, whileCheckWaits_windowShowsItsStartState)
{
    // The version answer comes late; the window is inspected while it waits.
    setScenario([](sandbox::Scenario& s) {
        s.faultPath = "/api_api/ambil_seting/versi";
        s.delay = std::chrono::seconds(3);
    });
    bool inspected = false;
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [&] {
        if (server->requests().empty()) {
            return;
        }
        poll->stop();
        inspected = true;
        EXPECT_TRUE(window.isVisible());
        EXPECT_FALSE(window.isSendEnabled());
        EXPECT_EQ(window.findChild<QListWidget*>(QStringLiteral("List1"))->count(), 1);
        EXPECT_EQ(window.findChild<QListWidget*>(QStringLiteral("List1"))->item(0)->text(),
                  QStringLiteral("[i] Cek Versi Aplikasi ..."));
        EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("Label6"))->text(), QStringLiteral("Versi " MTH_VERSION));
        EXPECT_EQ(window.progressBarWidth(), 0.0);
        EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("lblMainStatus"))->text(),
                  QStringLiteral("Status: MENGHUBUNGKAN SERVER..."));
    });
    poll->start(5);
    EXPECT_EQ(workflow::Form_Load(window, *client, state, dataDir.path()), workflow::CheckOutcome::Ready);
    EXPECT_TRUE(inspected);
    EXPECT_TRUE(window.isSendEnabled());
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("lblMainStatus"))->text(), QStringLiteral("Status: SIAP"));
}

TEST_F(WindowClosingTest, closedDuringStartupCheck_endsAtOnceWithoutBoxOrRequest)
{
    setScenario([](sandbox::Scenario& s) {
        s.faultPath = "/api_api/ambil_seting/versi";
        s.neverReply = true;
    });
    closeWhenHeld("/api_api/ambil_seting/versi");
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(workflow::Form_Load(window, *client, state, dataDir.path()), workflow::CheckOutcome::Unreachable);
    EXPECT_LT(clock.elapsed(), 15000); // well before the 30 s receive time-out
    EXPECT_TRUE(window.isClosing());
    EXPECT_TRUE(client->isCancelled());
    EXPECT_TRUE(windowDialogs.shown.empty());
    EXPECT_TRUE(browser.opened.empty());
    EXPECT_EQ(server->requests().size(), 1u);
    setScenario([](sandbox::Scenario&) {}); // releases the held request
}

TEST_F(WindowClosingTest, closedDuringSendRun_stopsTheRunAndMakesNoFurtherRequest)
{
    setScenario([](sandbox::Scenario& s) {
        s.endpoints = "getSekolah,getSiswa";
        s.faultPath = "/api_api/kirim_data/";
        s.neverReply = true;
    });
    ASSERT_EQ(workflow::StartupCheck(window, *client, state).CheckVersion(), workflow::CheckOutcome::Ready);
    window.setCredentials({token, npsn, u16(school.users.front().username)});
    closeWhenHeld("/api_api/kirim_data/");
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(run->BtSync_Click(), workflow::RunOutcome::Interrupted);
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_TRUE(windowDialogs.shown.empty());
    EXPECT_TRUE(browser.opened.empty());
    EXPECT_EQ(server->requests().back().target, "/api_api/kirim_data/" + school.npsn + "/getSekolah");
    EXPECT_FALSE(state.SyncBusy);
    setScenario([](sandbox::Scenario&) {});
}

// Without a browser the window shows each page's address in a box: after a complete send, and on the
// out-of-date path before it closes.
TEST_F(WindowClosingTest, noBrowser_showsEachPageAddressInABox)
{
    browser.result = false;
    const std::u16string box = u"Buka alamat ini di browser: ";
    setScenario([](sandbox::Scenario& s) { s.endpoints = "getSekolah"; });
    ASSERT_EQ(workflow::StartupCheck(window, *client, state).CheckVersion(), workflow::CheckOutcome::Ready);
    window.setCredentials({token, npsn, u16(school.users.front().username)});
    EXPECT_EQ(run->BtSync_Click(), workflow::RunOutcome::Done);
    ASSERT_EQ(windowDialogs.shown.size(), 2u);
    EXPECT_EQ(windowDialogs.shown[0].text, u"Proses Kirim Data Selesai Sepenuhnya");
    EXPECT_EQ(windowDialogs.shown[1].text, box + serverUrl("/progres_data"));
    EXPECT_EQ(windowDialogs.shown[1].title, u"Murenta Tervalis Helper");

    windowDialogs.shown.clear();
    setScenario([](sandbox::Scenario& s) { s.version = "2.1"; });
    EXPECT_EQ(workflow::StartupCheck(window, *client, state).CheckVersion(), workflow::CheckOutcome::OutOfDate);
    EXPECT_TRUE(window.isClosing());
    // A closing window shows no box, so this one came before.
    ASSERT_EQ(windowDialogs.shown.size(), 2u);
    EXPECT_EQ(windowDialogs.shown[1].text, box + serverUrl("/unduhan"));
    EXPECT_EQ(browser.opened, (std::vector<std::u16string>{serverUrl("/progres_data"), serverUrl("/unduhan")}));
}

namespace {

// The same window, wired to the workflow, for what the operator does with it.
using WiredWindowTest = WindowClosingTest;

// A key pressed and released on `widget`, as the keyboard delivers it.
void pressKey(QWidget* widget, Qt::Key key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QCoreApplication::sendEvent(widget, &release);
}

} // namespace

TEST_F(WiredWindowTest, keyboardOnly_tabFromTheTokenReachesTheButtonAndSpaceSends)
{
    setScenario([](sandbox::Scenario& s) { s.endpoints = "getSekolah"; });
    ASSERT_EQ(workflow::Form_Load(window, *client, state, dataDir.path()), workflow::CheckOutcome::Ready);
    window.setCredentials({token, npsn, u16(school.users.front().username)});
    window.findChild<QWidget*>(QStringLiteral("txtToken"))->setFocus();
    for (const char* next : {"txtNPSN", "user_OPS", "picBtnSync"}) {
        pressKey(window.focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(window.focusWidget()->objectName(), QLatin1StringView(next));
    }
    pressKey(window.focusWidget(), Qt::Key_Space);
    const auto* log = window.findChild<QListWidget*>(QStringLiteral("List1"));
    EXPECT_EQ(log->item(log->count() - 1)->text(), QStringLiteral("[v] Seluruh Proses Selesai"));
    ASSERT_EQ(windowDialogs.shown.size(), 1u);
    EXPECT_EQ(windowDialogs.shown[0].text, u"Proses Kirim Data Selesai Sepenuhnya");
    EXPECT_TRUE(window.isSendEnabled());
}

namespace {

struct ProcessResult {
    int exitCode = -1;
    QStringList out;
    QStringList err;
};

// A Windows program's text streams end their lines with CR LF; a lone CR (a progress line) is kept.
QStringList linesOf(const QByteArray& output)
{
    QString text = QString::fromUtf8(output);
#ifdef _WIN32
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
#endif
    return text.split(u'\n');
}

// Nothing to show a window on: the console mode needs none, and a window could not open.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    return environment;
}

ProcessResult finished(QProcess& process)
{
    EXPECT_TRUE(process.waitForFinished(120000));
    ProcessResult result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = linesOf(process.readAllStandardOutput());
    result.err = linesOf(process.readAllStandardError());
    return result;
}

ProcessResult runConsole(const QStringList& arguments)
{
    QProcess process;
    process.setProcessEnvironment(withoutDisplay());
    process.start(QStringLiteral(MTH_PROGRAM), QStringList{QStringLiteral("--cli")} + arguments);
    return finished(process);
}

#ifndef Q_OS_WIN
// A null-terminated array of the texts, as execve takes them.
std::vector<char*> cStrings(QByteArrayList& texts)
{
    std::vector<char*> pointers;
    for (QByteArray& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}
#endif

// The program with arguments that are bytes, not necessarily UTF-8. QProcess passes its arguments as
// text, so elsewhere than on Windows (where arguments are text) its child starts the program itself.
ProcessResult runWithBytes(const QByteArrayList& arguments)
{
    QProcess process;
    process.setProcessEnvironment(withoutDisplay());
#ifdef Q_OS_WIN
    QStringList text;
    for (const QByteArray& argument : arguments) {
        text << QString::fromUtf8(argument);
    }
    process.start(QStringLiteral(MTH_PROGRAM), text);
#else
    QByteArrayList argvTexts = QByteArrayList{MTH_PROGRAM} + arguments;
    QByteArrayList environment;
    for (const QString& variable : withoutDisplay().toStringList()) {
        environment << variable.toUtf8();
    }
    const std::vector<char*> argv = cStrings(argvTexts);
    const std::vector<char*> envp = cStrings(environment);
    process.setChildProcessModifier([&argv, &envp] { ::execve(argv.front(), argv.data(), envp.data()); });
    process.start(QStringLiteral(MTH_PROGRAM), {});
#endif
    return finished(process);
}

class ConsoleModeTest : public WorkflowTest {
protected:
    QStringList serverArguments() const
    {
        return {QStringLiteral("--server"),   QString::fromStdString(server->serverUrl()),
                QStringLiteral("--local"),    QString::fromStdString(server->localUrl()),
                QStringLiteral("--data-dir"), dataDir.path()};
    }

    QStringList credentialArguments() const
    {
        return {QStringLiteral("--token"), QString::fromStdString(school.token),
                QStringLiteral("--npsn"),  QString::fromStdString(school.npsn),
                QStringLiteral("--user"),  QString::fromStdString(school.users.front().username)};
    }
};

// One run in the log file: a first line, stdout's and stderr's lines as printed, a last line.
void expectLoggedRun(const QStringList& logged, const ProcessResult& result, const QString& serverUrl,
                     const QString& localUrl)
{
    ASSERT_GE(logged.size(), 2);
    const QRegularExpression first(
        QStringLiteral(
            "^=== \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(Z|[+-]\\d\\d:\\d\\d) Murenta Tervalis Helper 2\\.0, "
            "server ") +
        QRegularExpression::escape(serverUrl) + QStringLiteral(", layanan lokal ") +
        QRegularExpression::escape(localUrl) + QStringLiteral("$"));
    EXPECT_TRUE(first.match(logged.front()).hasMatch()) << logged.front().toStdString();
    const QRegularExpression last(
        QStringLiteral("^=== Selesai: kode keluar %1, durasi \\d+,\\d detik$").arg(result.exitCode));
    EXPECT_TRUE(last.match(logged.back()).hasMatch()) << logged.back().toStdString();

    // Log lines open with a marker, four spaces or the rule, or are empty; status and box lines go to stderr.
    QStringList out;
    QStringList err;
    for (const QString& line : logged.mid(1, logged.size() - 2)) {
        const bool logLine = line.isEmpty() || line.startsWith(u'[') || line.startsWith(u' ') || line.startsWith(u'-');
        (logLine ? out : err) << line;
    }
    EXPECT_EQ(out + QStringList{QString()}, result.out);
    EXPECT_EQ(err + QStringList{QString()}, result.err);
}

} // namespace

TEST_F(ConsoleModeTest, completeSend_printsLogAndExitsZero)
{
    setScenario([](sandbox::Scenario& s) {
        s.endpoints = "getSekolah";
        s.setTable("getSekolah", sandbox::generateTable("getSekolah", 4));
    });
    const ProcessResult result =
        runConsole(serverArguments() + QStringList{QStringLiteral("--token"), QString::fromStdString(school.token),
                                                   QStringLiteral("--npsn"), QString::fromStdString(school.npsn),
                                                   QStringLiteral("--user"),
                                                   QString::fromStdString(school.users.front().username)});
    EXPECT_EQ(result.exitCode, app::kExitDone) << result.err.join(u'\n').toStdString();
    EXPECT_EQ(result.out, (QStringList{QStringLiteral("[i] Cek Versi Aplikasi ..."),
                                       QStringLiteral("[v] Versi Aplikasi Terbaru"),
                                       QStringLiteral("---------------------------------------"),
                                       QStringLiteral("[i] Silahkan Kirim Data !"),
                                       QStringLiteral("[i] Cek Email ..."),
                                       QStringLiteral("[v] Email Valid"),
                                       QStringLiteral("---------------------------------------"),
                                       QStringLiteral("[i] Login Pengguna ..."),
                                       QStringLiteral("[v] Login Pengguna Sukses"),
                                       QStringLiteral("---------------------------------------"),
                                       QStringLiteral("[>] Mengirim Data SEKOLAH ..."),
                                       QStringLiteral("    [v] Kirim Data Sukses (4 baris)"),
                                       QStringLiteral("    [>] Proses Data di Tervalis ..."),
                                       QStringLiteral("    [v] Proses Data Sukses"),
                                       QString(),
                                       QStringLiteral("---------------------------------------"),
                                       QStringLiteral("    [>] Membuat Rekap Data di Server ..."),
                                       QStringLiteral("    [v] Rekap Data Sukses"),
                                       QStringLiteral("---------------------------------------"),
                                       QStringLiteral("[v] Seluruh Proses Selesai"),
                                       QString()}));
    EXPECT_TRUE(result.err.contains(QStringLiteral("Status: SELESAI!")));
    EXPECT_TRUE(result.err.contains(QStringLiteral("Info: Proses Kirim Data Selesai Sepenuhnya")));
    // Not a terminal: no live progress line.
    EXPECT_FALSE(result.err.join(u'\n').contains(u'\r'));
    EXPECT_TRUE(result.err.contains(QStringLiteral("Buka: ") + QString::fromStdString(server->serverUrl()) +
                                    QStringLiteral("/progres_data")));
    // The credentials given on the command line were saved, as the window saves its boxes.
    EXPECT_EQ(workflow::readCredentialsFile(workflow::credentialsFilePath(dataDir.path()))->npsn, npsn);
}

TEST_F(ConsoleModeTest, unreachableServer_exitsTwo)
{
    QStringList arguments = serverArguments();
    server->stop();
    const ProcessResult result = runConsole(arguments);
    EXPECT_EQ(result.exitCode, app::kExitUnreachable);
    EXPECT_EQ(result.out, (QStringList{QStringLiteral("[i] Cek Versi Aplikasi ..."),
                                       QStringLiteral("[x] Gagal Cek Versi Aplikasi !"), QString()}));
    EXPECT_TRUE(result.err.contains(QStringLiteral("Status: GAGAL TERHUBUNG")));
}

TEST_F(ConsoleModeTest, outOfDateAndStoppedRuns_haveTheirExitCodes)
{
    setScenario([](sandbox::Scenario& s) { s.version = "2.1"; });
    EXPECT_EQ(runConsole(serverArguments()).exitCode, app::kExitOutOfDate);
    setScenario([](sandbox::Scenario& s) { s.version = MTH_VERSION; });
    // No credentials at all: the e-mail check refuses.
    EXPECT_EQ(runConsole(serverArguments()).exitCode, app::kExitStopped);
    EXPECT_EQ(runConsole({QStringLiteral("--bogus")}).exitCode, app::kExitUsage);
}

TEST_F(ConsoleModeTest, logFile_appendsEachRunBetweenAFirstAndALastLine)
{
    setScenario([](sandbox::Scenario& s) { s.endpoints = "getSekolah"; });
    const QString logPath = dataDir.filePath(QStringLiteral("kirim.log"));
    const QStringList arguments =
        serverArguments() + credentialArguments() + QStringList{QStringLiteral("--log-file"), logPath};
    const QString serverUrl = QString::fromStdString(server->serverUrl());
    const QString localUrl = QString::fromStdString(server->localUrl());

    const ProcessResult complete = runConsole(arguments);
    ASSERT_EQ(complete.exitCode, app::kExitDone);
    QFile file(logPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray firstRun = file.readAll();
    file.close();
    ASSERT_TRUE(firstRun.endsWith("\r\n"));
    expectLoggedRun(QString::fromUtf8(firstRun.chopped(2)).split(QStringLiteral("\r\n")), complete, serverUrl,
                    localUrl);
#ifndef Q_OS_WIN // Windows reports its access lists as these bits only in part
    EXPECT_EQ(QFileInfo(logPath).permissions() &
                  ~(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser),
              QFileDevice::Permissions());
#endif

    setScenario([](sandbox::Scenario& s) { s.version = "2.1"; });
    const ProcessResult outOfDate = runConsole(arguments);
    ASSERT_EQ(outOfDate.exitCode, app::kExitOutOfDate);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray both = file.readAll();
    ASSERT_TRUE(both.startsWith(firstRun)); // appended, never truncated
    expectLoggedRun(QString::fromUtf8(both.mid(firstRun.size()).chopped(2)).split(QStringLiteral("\r\n")), outOfDate,
                    serverUrl, localUrl);
}

TEST_F(ConsoleModeTest, unwritableLogFile_isReportedOnceAndTheRunGoesOn)
{
    setScenario([](sandbox::Scenario& s) { s.endpoints = "getSekolah"; });
    // A folder cannot be opened as the log file; the always-full device opens and refuses every write.
    QStringList logFiles{dataDir.path()};
    if (QFileInfo::exists(QStringLiteral("/dev/full"))) {
        logFiles << QStringLiteral("/dev/full");
    }
    for (const QString& logFile : logFiles) {
        const ProcessResult result =
            runConsole(serverArguments() + credentialArguments() + QStringList{QStringLiteral("--log-file"), logFile});
        EXPECT_EQ(result.exitCode, app::kExitDone) << logFile.toStdString();
        const QStringList said = result.err.filter(QStringLiteral("Log tidak dapat ditulis"));
        ASSERT_EQ(said.size(), 1) << logFile.toStdString();
        EXPECT_TRUE(
            said.front().startsWith(QStringLiteral("Log tidak dapat ditulis ke ") + logFile + QStringLiteral(": ")))
            << said.front().toStdString();
        EXPECT_TRUE(result.out.contains(QStringLiteral("[v] Seluruh Proses Selesai"))) << logFile.toStdString();
    }
}

TEST_F(ConsoleModeTest, refusedArgument_endsWithStatusOneInBothModesBeforeAnyRequest)
{
    const QString logPath = dataDir.filePath(QStringLiteral("kirim.log"));
    QByteArrayList valid;
    for (const QString& argument :
         serverArguments() + credentialArguments() + QStringList{QStringLiteral("--log-file"), logPath}) {
        valid << argument.toUtf8();
    }
    const auto withPassword = [](const std::string& url) {
        return QByteArray::fromStdString(url).replace("http://", "http://operator:rahasia@");
    };
    const QByteArrayList refusedArguments[] = {
        {"--server", withPassword(server->serverUrl())},
        {"--local=" + withPassword(server->localUrl())},
#ifndef Q_OS_WIN // arguments are text there
        {"--token", QByteArray::fromStdString(school.token) + "\xFF"},
        {"--data-dir", dataDir.path().toUtf8() + "\xFF"},
#endif
    };
    for (const QByteArrayList& refused : refusedArguments) {
        const QString error = app::parseProgramOptions(refused).error;
        ASSERT_FALSE(error.isEmpty()) << refused.join(' ').toStdString();
        for (const QByteArrayList& mode : {QByteArrayList{"--cli"}, QByteArrayList{}}) {
            const ProcessResult result = runWithBytes(mode + valid + refused);
            EXPECT_EQ(result.exitCode, app::kExitUsage) << refused.join(' ').toStdString();
            EXPECT_EQ(result.err.front(), error);
            EXPECT_FALSE((result.out + result.err).join(u'\n').contains(QStringLiteral("rahasia")));
        }
    }
    EXPECT_TRUE(server->requests().empty());
    EXPECT_FALSE(QFileInfo::exists(logPath));
}
