// The window wired to the workflow, closed while a request waits; and the console mode run as a process.

#include "recording_browser.h"
#include "workflow_fixture.h"

#include "app/front_ends.h"
#include "app/main_window.h"
#include "client/failure_description.h"
#include "platform/single_window_lock.h"
#include "workflow/send_history.h"
#include "workflow/start_sequence.h"
#include "workflow/sync_run.h"

#include "mth_version.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
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

// The window waits 15 s before trying the check again: the panel starts no run meanwhile, and closing
// the window ends the wait at once, with no further attempt.
TEST_F(WindowClosingTest, closedDuringARetryWait_endsItWithoutAnotherAttempt)
{
    setScenario([](sandbox::Scenario& s) {
        s.faultPath = "/api_api/ambil_seting/versi";
        s.error500 = true;
    });
    auto* list = window.findChild<QListWidget*>(QStringLiteral("List1"));
    std::optional<workflow::RunOutcome> panelClick;
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [&] {
        if (list->count() > 0 && list->item(list->count() - 1)->text().startsWith(QStringLiteral("[i] Mencoba lagi"))) {
            poll->stop();
            panelClick = run->picBtnSync_Click();
            window.close();
        }
    });
    poll->start(5);
    EXPECT_EQ(workflow::Form_Load(window, *client, state, dataDir.path(), std::nullopt,
                                  workflow::RetryPolicy{.retries = std::nullopt}),
              workflow::CheckOutcome::Unreachable);
    EXPECT_EQ(panelClick, workflow::RunOutcome::Ignored);
    EXPECT_EQ(list->item(list->count() - 1)->text(), QStringLiteral("[i] Mencoba lagi dalam 15 detik ..."));
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("lblMainStatus"))->text(),
              QStringLiteral("Status: GAGAL TERHUBUNG"));
    EXPECT_EQ(server->requests().size(), 1u);
    EXPECT_TRUE(windowDialogs.shown.empty());
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

// Whether `lines` are `a` and `b` interleaved, each in its own order.
bool interleaves(const QStringList& lines, const QStringList& a, const QStringList& b)
{
    if (lines.size() != a.size() + b.size()) {
        return false;
    }
    // reached[j]: the first i + j lines can be the first i of `a` and the first j of `b`.
    std::vector<bool> reached(static_cast<std::size_t>(b.size()) + 1, false);
    for (qsizetype i = 0; i <= a.size(); ++i) {
        for (qsizetype j = 0; j <= b.size(); ++j) {
            const auto at = static_cast<std::size_t>(j);
            if (i == 0 && j == 0) {
                reached[at] = true;
                continue;
            }
            const QString& line = lines[i + j - 1];
            const bool fromA = i > 0 && reached[at] && a[i - 1] == line;
            const bool fromB = j > 0 && reached[at - 1] && b[j - 1] == line;
            reached[at] = fromA || fromB;
        }
    }
    return reached.back();
}

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

    // Every line printed on stdout and on stderr, in the order each stream printed it.
    ASSERT_EQ(result.out.back(), QString());
    ASSERT_EQ(result.err.back(), QString());
    EXPECT_TRUE(interleaves(logged.mid(1, logged.size() - 2), result.out.mid(0, result.out.size() - 1),
                            result.err.mid(0, result.err.size() - 1)))
        << logged.join(u'\n').toStdString();
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
                                       QStringLiteral("[i] Kiriman hari ini: ke-1 dari 10"),
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
    const std::u16string reason = client::describeFailure(
        {{client::Service::RegionalServer, u16(server->serverUrl())}, {platform::FailureKind::Refused}});
    EXPECT_EQ(result.out, (QStringList{QStringLiteral("[i] Cek Versi Aplikasi ..."),
                                       QStringLiteral("[x] Gagal Cek Versi Aplikasi !"),
                                       QStringLiteral("    Alasan: ") + QString::fromStdU16String(reason), QString()}));
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

// --tables takes endpoint names and display names in any letter case, and refuses a name the server
// does not list once the startup check has the list.
TEST_F(ConsoleModeTest, tables_sendOnlyTheNamedOnesOrRefuseAnUnknownName)
{
    struct Case {
        const char* tables;
        int exitCode;
        std::vector<std::string> sent;
    };
    const Case cases[] = {
        {"getSiswa,guru", app::kExitDone, {"getSiswa", "getGuru"}},
        {"KELAS", app::kExitDone, {"getKelas"}},
        {"SISWA,nilai,getNilai", app::kExitUsage, {}},
    };
    const std::string upload = "/api_api/kirim_data/" + school.npsn + "/";
    for (const Case& c : cases) {
        server->clearRequests();
        const ProcessResult result = runConsole(serverArguments() + credentialArguments() +
                                                QStringList{QStringLiteral("--tables"), QLatin1StringView(c.tables)});
        EXPECT_EQ(result.exitCode, c.exitCode) << c.tables;
        std::vector<std::string> sent;
        for (const sandbox::RecordedRequest& r : server->requests()) {
            if (r.target.starts_with(upload)) {
                sent.push_back(r.target.substr(upload.size()));
            }
        }
        EXPECT_EQ(sent, c.sent) << c.tables;
    }
    const ProcessResult refused = runConsole(serverArguments() + credentialArguments() +
                                             QStringList{QStringLiteral("--tables"), QStringLiteral("SISWA,nilai")});
    EXPECT_TRUE(refused.err.contains(QStringLiteral(
        "Tabel tidak dikenal: nilai. Tabel yang ada: getSekolah (SEKOLAH), getSiswa (SISWA), getGuru (GURU), "
        "getKelas (KELAS).")))
        << refused.err.join(u'\n').toStdString();
    EXPECT_FALSE(refused.out.contains(QStringLiteral("[i] Cek Email ...")));
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

namespace {

// The program's window as a process: drawn offscreen on Linux, and under Wine on Windows' own platform,
// which needs no display there. Killed at the end when it is still open.
class WindowProcess {
public:
    explicit WindowProcess(const QStringList& arguments)
    {
        QProcessEnvironment environment = withoutDisplay();
#ifndef Q_OS_WIN
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
#endif
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(MTH_PROGRAM), arguments);
    }
    ~WindowProcess()
    {
        process.kill();
        process.waitForFinished();
    }

    QProcess process;
};

// Whichever of the two ends first (nullptr when neither has within a minute).
QProcess* firstToEnd(QProcess& a, QProcess& b)
{
    const QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        for (QProcess* process : {&a, &b}) {
            if (process->waitForFinished(50) || process->state() == QProcess::NotRunning) {
                return process;
            }
        }
    }
    return nullptr;
}

} // namespace

// Two window starts at once for one data folder: one keeps its window, the other hands over to it and ends
// with 0; a console run goes on beside the window. A killed window leaves its lock, which the next
// starts take over.
TEST_F(ConsoleModeTest, windowStartsForOneDataFolder_oneKeepsTheWindow)
{
    const QString lockFile = platform::SingleWindowLock::lockFilePath(dataDir.path());
    for (const char* round : {"first starts", "starts after the window was killed"}) {
        WindowProcess a(serverArguments());
        WindowProcess b(serverArguments());
        QProcess* handedOver = firstToEnd(a.process, b.process);
        ASSERT_NE(handedOver, nullptr) << round;
        EXPECT_EQ(handedOver->exitStatus(), QProcess::NormalExit) << round;
        EXPECT_EQ(handedOver->exitCode(), 0) << round;
        QProcess& window = handedOver == &a.process ? b.process : a.process;
        // Its start may not have been noticed yet: the test runs no event loop.
        window.waitForStarted();
        EXPECT_EQ(window.state(), QProcess::Running) << round;
        EXPECT_EQ(runConsole({QStringLiteral("--server"), QStringLiteral("http://127.0.0.1:9"),
                              QStringLiteral("--data-dir"), dataDir.path()})
                      .exitCode,
                  app::kExitUnreachable)
            << round;
        window.kill();
        window.waitForFinished();
        EXPECT_TRUE(QFileInfo::exists(lockFile)) << round;
    }
}

TEST(SingleWindow, laterStart_bringsTheMinimisedWindowBack)
{
    QTemporaryDir dataDir;
    platform::SingleWindowLock lock(dataDir.path());
    ASSERT_EQ(lock.claim(), platform::SingleWindowLock::Claim::Owner);
    QWidget window;
    app::bringToFrontOnRequest(window, lock);
    window.showMinimized();
    ASSERT_TRUE(window.isMinimized());

    QEventLoop loop;
    QObject::connect(&lock, &platform::SingleWindowLock::showRequested, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    EXPECT_EQ(platform::SingleWindowLock(dataDir.path()).claim(), platform::SingleWindowLock::Claim::HandedOver);
    loop.exec();
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isVisible());
}

// --history reads the runs the history keeps, the newest first, and asks no server anything.
TEST_F(ConsoleModeTest, history_printsTheNewestRunsFirstWithoutContactingAnyServer)
{
    workflow::SendHistory history(dataDir.path(), workflow::RunMode::Console);
    RecordingDialogs noDialogs;
    RecordingView quiet(noDialogs);
    for (int i = 0; i < 12; ++i) {
        const QDateTime start(QDate(2024, 5, 14), QTime(8 + i, 5));
        history.keep({.start = start,
                      .end = start.addSecs(40),
                      .status = i % 2 ? u"SELESAI!" : u"GAGAL TERHUBUNG",
                      .tables = {{u"SEKOLAH", 3, i % 2 == 1, i % 2 == 1, u""}, {u"SISWA", 0, false, false, u""}}},
                     quiet);
    }
    QFile file(workflow::historyFilePath(dataDir.path()));
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("terpotong");
    file.close();

    const QByteArray dir = dataDir.path().toUtf8();
    const ProcessResult two = runWithBytes({"--history", "2", "--data-dir", dir});
    EXPECT_EQ(two.exitCode, 0);
    EXPECT_EQ(two.out,
              (QStringList{QStringLiteral("2024-05-14 19:05  SELESAI!             1/2 tabel  konsol"),
                           QStringLiteral("2024-05-14 18:05  GAGAL TERHUBUNG      0/2 tabel  konsol"), QString()}));
    EXPECT_EQ(two.err, (QStringList{QStringLiteral("[!] 1 baris riwayat tidak terbaca dan dilewati"), QString()}));

    const ProcessResult byDefault = runWithBytes({"--data-dir=" + dir, "--history"});
    EXPECT_EQ(byDefault.exitCode, 0);
    ASSERT_EQ(byDefault.out.size(), 11); // ten runs and the end of the last line
    EXPECT_TRUE(byDefault.out[9].startsWith(QStringLiteral("2024-05-14 10:05  ")));
    EXPECT_TRUE(server->requests().empty());
}
