#include "workflow_fixture.h"

#include "client/failure_description.h"
#include "workflow/send_history.h"
#include "workflow/start_sequence.h"
#include "workflow/startup_check.h"

#include <QFile>

using namespace testing_support;
using workflow::CheckOutcome;

namespace {

class StartupCheckTest : public WorkflowTest {
protected:
    CheckOutcome check() { return workflow::StartupCheck(view, *client, state).CheckVersion(); }

    std::size_t settingRequests() const { return server->requests(sandbox::Side::Regional).size(); }

    // The failure line of the check and its reason.
    static std::vector<std::u16string> failureLines(const std::u16string& reason)
    {
        return {u"[x] Gagal Cek Versi Aplikasi !", u"    Alasan: " + reason};
    }

    std::u16string dropped() const
    {
        return client::describeFailure(
            {{client::Service::RegionalServer, serverUrl("")}, {platform::FailureKind::ConnectionDropped}});
    }
};

} // namespace

TEST_F(StartupCheckTest, startSequence_upToDate_storesEndpointsAndIsReady)
{
    setScenario([](sandbox::Scenario& s) { s.endpoints = "getSekolah,getSiswa,getGuru"; });
    EXPECT_EQ(workflow::Form_Load(view, *client, state, dataDir.path()), CheckOutcome::Ready);
    EXPECT_EQ(view.log, lines({u"[i] Cek Versi Aplikasi ...", u"[v] Versi Aplikasi Terbaru",
                               u"---------------------------------------", u"[i] Silahkan Kirim Data !"}));
    ASSERT_TRUE(state.EndpointList.has_value());
    EXPECT_EQ(*state.EndpointList, lines({u"getSekolah", u"getSiswa", u"getGuru"}));
    EXPECT_EQ(view.statuses, (std::vector<StatusChange>{{u"MENUNGGU...", workflow::ColorWaiting},
                                                        {u"MENGHUBUNGKAN SERVER...", workflow::ColorBusy},
                                                        {u"SIAP", workflow::ColorReady}}));
    EXPECT_EQ(view.version, u"Versi 2.0");
    EXPECT_EQ(view.progress, std::vector<double>{0.0});
    EXPECT_TRUE(view.shown);
    EXPECT_TRUE(view.sendEnabled);
    EXPECT_TRUE(dialogs.shown.empty());
    const auto requests = server->requests(sandbox::Side::Regional);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/api_api/ambil_seting/versi");
    EXPECT_EQ(requests[1].target, "/api_api/ambil_seting/endpoint");
}

TEST_F(StartupCheckTest, endpointText_isSplitAtEveryCommaWithNothingTrimmed)
{
    struct Case {
        const char* msg;
        std::vector<std::u16string> names;
    };
    const Case cases[] = {
        {"getSekolah, getSiswa", {u"getSekolah", u" getSiswa"}},
        {"a,,b,", {u"a", u"", u"b", u""}},
        {"", {}},
        {"one", {u"one"}},
    };
    for (const Case& c : cases) {
        setScenario([&c](sandbox::Scenario& s) { s.endpoints = c.msg; });
        state = {};
        ASSERT_EQ(check(), CheckOutcome::Ready) << c.msg;
        ASSERT_TRUE(state.EndpointList.has_value()) << c.msg;
        EXPECT_EQ(*state.EndpointList, c.names) << c.msg;
        EXPECT_EQ(view.lastStatus(), u"SIAP");
    }
}

TEST_F(StartupCheckTest, anEmptyBox_turnsTheInvitationIntoWhatToFillIn)
{
    const std::u16string email = u"ops@sekolah.id";
    struct Case {
        const char* name;
        workflow::Credentials boxes;
        bool complete;
    };
    const Case cases[] = {
        {"every box filled", {token, npsn, email}, true},
        {"no token", {u"", npsn, email}, false},
        {"no NPSN", {token, u"", email}, false},
        {"no user name", {token, npsn, u""}, false},
        {"a first start", {}, false},
    };
    for (const Case& c : cases) {
        view.boxes = c.boxes;
        view.log.clear();
        EXPECT_EQ(check(), CheckOutcome::Ready) << c.name;
        EXPECT_EQ(view.log.back(), c.complete ? u"[i] Silahkan Kirim Data !"
                                              : u"[i] Lengkapi Token, NPSN dan Username, lalu tekan Kirim Data.")
            << c.name;
        EXPECT_EQ(view.statuses.back(), (StatusChange{u"SIAP", workflow::ColorReady})) << c.name;
        EXPECT_TRUE(view.sendEnabled) << c.name;
    }
}

TEST_F(StartupCheckTest, otherVersion_opensDownloadPageAndClosesWithoutAskingForEndpoints)
{
    for (const char* version : {"2.1", "1.9", "2.00", "", "2.0 "}) {
        setScenario([version](sandbox::Scenario& s) { s.version = version; });
        server->clearRequests();
        view.log.clear();
        view.pages.clear();
        view.closing = false;
        dialogs.shown.clear();
        EXPECT_EQ(check(), CheckOutcome::OutOfDate) << version;
        // Both versions, in the log and in the box; a server that names none is said to.
        const std::u16string theirs = *version ? u16(version) : u"(tidak disebutkan)";
        const std::u16string reason = u"versi program ini 2.0, versi terbaru di server " + theirs + u".";
        EXPECT_EQ(view.log,
                  (std::vector<std::u16string>{u"[!] Silahkan Download Versi Terbaru !", u"    Alasan: " + reason}))
            << version;
        EXPECT_EQ(state.checkFailure, reason);
        EXPECT_EQ(view.statuses.back(), (StatusChange{u"BUTUH UPDATE", workflow::ColorFail}));
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].text, u"Versi aplikasi Anda sudah usang. Anda akan diarahkan ke halaman unduhan.\r\n"
                                         u"\r\nVersi Anda: 2.0\r\nVersi terbaru: " +
                                             theirs);
        EXPECT_EQ(dialogs.shown[0].title, u"Update Tersedia");
        EXPECT_EQ(dialogs.shown[0].icon, platform::MessageIcon::Information);
        EXPECT_EQ(view.pages, std::vector<std::u16string>{serverUrl("/unduhan")});
        EXPECT_TRUE(view.closing);
        EXPECT_FALSE(view.sendEnabled);
        EXPECT_EQ(settingRequests(), 1u) << version;
        EXPECT_FALSE(state.EndpointList.has_value());
    }
}

TEST_F(StartupCheckTest, unansweredQuestion_failsToConnectAndKeepsListAbsent)
{
    struct Case {
        const char* name;
        std::string faultPath;
        bool error500;
        std::size_t requests;
        std::u16string reason;
    };
    const Case cases[] = {
        {"version refused with 500", "/api_api/ambil_seting/versi", true, 1, u"jawaban tidak dikenal, status HTTP 500"},
        {"endpoint refused with 500", "/api_api/ambil_seting/endpoint", true, 2,
         u"jawaban tidak dikenal, status HTTP 500"},
        {"connection dropped", "", false, 1, dropped()},
    };
    for (const Case& c : cases) {
        setScenario([&c](sandbox::Scenario& s) {
            s.faultPath = c.faultPath;
            s.error500 = c.error500;
            s.dropMidReply = !c.error500;
        });
        server->clearRequests();
        view.log.clear();
        state = {};
        EXPECT_EQ(check(), CheckOutcome::Unreachable) << c.name;
        EXPECT_EQ(view.log, failureLines(c.reason)) << c.name;
        EXPECT_EQ(state.checkFailure, c.reason) << c.name;
        EXPECT_EQ(view.statuses.back(), (StatusChange{u"GAGAL TERHUBUNG", workflow::ColorFail})) << c.name;
        EXPECT_FALSE(view.sendEnabled);
        EXPECT_FALSE(state.EndpointList.has_value()) << c.name;
        EXPECT_EQ(settingRequests(), c.requests) << c.name;
        EXPECT_TRUE(view.pages.empty());
    }
}

TEST_F(StartupCheckTest, serverGone_failsAfterOneQuestion)
{
    server->stop();
    EXPECT_EQ(check(), CheckOutcome::Unreachable);
    EXPECT_EQ(view.log, failureLines(client::describeFailure(
                            {{client::Service::RegionalServer, serverUrl("")}, {platform::FailureKind::Refused}})));
    EXPECT_FALSE(view.closing);
}

TEST_F(StartupCheckTest, retryWaits_are15Then30Then60SecondsThen60Again)
{
    const workflow::RetryPolicy policy;
    const char16_t* const announced[] = {
        u"[i] Mencoba lagi dalam 15 detik ...", u"[i] Mencoba lagi dalam 30 detik ...",
        u"[i] Mencoba lagi dalam 60 detik ...", u"[i] Mencoba lagi dalam 60 detik ...",
        u"[i] Mencoba lagi dalam 60 detik ...",
    };
    for (int retry = 0; retry < 5; ++retry) {
        EXPECT_EQ(workflow::StartupCheck::retryLine(policy.waitBefore(retry)), announced[retry]) << retry;
    }
    // A wait shorter than a second is announced as one.
    EXPECT_EQ(workflow::StartupCheck::retryLine(std::chrono::milliseconds(1)), u"[i] Mencoba lagi dalam 1 detik ...");
}

TEST_F(StartupCheckTest, failedCheck_triesAgainUntilItGetsThroughThenGoesOnAsAFirstSuccess)
{
    using std::chrono::milliseconds;
    setScenario([](sandbox::Scenario& s) {
        s.endpoints = "getSekolah,getSiswa";
        s.faultPath = "/api_api/ambil_seting/versi";
        s.error500 = true;
    });
    int failures = 0;
    view.onStatus = [&](std::u16string_view status) {
        if (status == u"GAGAL TERHUBUNG" && ++failures == 3) {
            setScenario([](sandbox::Scenario& s) { s.error500 = false; });
        }
        EXPECT_EQ(view.sendEnabled, status == u"SIAP") << u8(status);
    };
    const workflow::RetryPolicy policy{.waits = {milliseconds(1), milliseconds(2)}, .retries = std::nullopt};
    EXPECT_EQ(workflow::StartupCheck(view, *client, state).checkWithRetries(policy), CheckOutcome::Ready);

    const std::u16string reason = u"jawaban tidak dikenal, status HTTP 500";
    std::vector<std::u16string> expected;
    for (const milliseconds wait : {milliseconds(1), milliseconds(2), milliseconds(2)}) {
        const std::vector<std::u16string> failed = failureLines(reason);
        expected.insert(expected.end(), failed.begin(), failed.end());
        expected.push_back(workflow::StartupCheck::retryLine(wait));
    }
    expected.insert(expected.end(), {u"[v] Versi Aplikasi Terbaru", u"---------------------------------------",
                                     u"[i] Silahkan Kirim Data !"});
    EXPECT_EQ(view.log, expected);
    // The status stays "GAGAL TERHUBUNG" from the first failure until an attempt gets through.
    EXPECT_EQ(view.statuses, (std::vector<StatusChange>{{u"MENGHUBUNGKAN SERVER...", workflow::ColorBusy},
                                                        {u"GAGAL TERHUBUNG", workflow::ColorFail},
                                                        {u"GAGAL TERHUBUNG", workflow::ColorFail},
                                                        {u"GAGAL TERHUBUNG", workflow::ColorFail},
                                                        {u"SIAP", workflow::ColorReady}}));
    ASSERT_TRUE(state.EndpointList.has_value());
    EXPECT_EQ(*state.EndpointList, lines({u"getSekolah", u"getSiswa"}));
    EXPECT_TRUE(state.checkFailure.empty());
    EXPECT_EQ(settingRequests(), 5u); // the version four times, then the endpoints
}

TEST_F(StartupCheckTest, retries_endAfterTheLastAllowedAndNeverFollowAnOutOfDateProgram)
{
    struct Case {
        const char* name;
        std::function<void(sandbox::Scenario&)> change;
        std::optional<int> retries;
        CheckOutcome outcome;
        std::size_t attempts;
    };
    const Case cases[] = {
        {"unreachable, two retries allowed",
         [](sandbox::Scenario& s) {
             s.faultPath = "/api_api/ambil_seting/versi";
             s.error500 = true;
         },
         2, CheckOutcome::Unreachable, 3},
        {"unreachable, none allowed",
         [](sandbox::Scenario& s) {
             s.faultPath = "/api_api/ambil_seting/versi";
             s.error500 = true;
         },
         0, CheckOutcome::Unreachable, 1},
        {"out of date, retries without end", [](sandbox::Scenario& s) { s.version = "2.1"; }, std::nullopt,
         CheckOutcome::OutOfDate, 1},
    };
    // However often it was tried, a check that did not get through is one run of the history.
    workflow::SendHistory history(dataDir.path(), workflow::RunMode::Console);
    state.history = &history;
    const sandbox::Scenario base = server->scenario();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        sandbox::Scenario scenario = base;
        c.change(scenario);
        server->setScenario(scenario);
        server->clearRequests();
        view.log.clear();
        view.closing = false;
        const workflow::RetryPolicy policy{.waits = {std::chrono::milliseconds(1)}, .retries = c.retries};
        EXPECT_EQ(workflow::StartupCheck(view, *client, state).checkWithRetries(policy), c.outcome) << c.name;
        EXPECT_EQ(settingRequests(), c.attempts) << c.name;
        const auto waits = std::count(view.log.begin(), view.log.end(),
                                      workflow::StartupCheck::retryLine(std::chrono::milliseconds(1)));
        EXPECT_EQ(static_cast<std::size_t>(waits), c.attempts - 1) << c.name;
        EXPECT_FALSE(state.checkFailure.empty()) << c.name;
        const std::vector<workflow::RunRecord> runs = workflow::readHistory(dataDir.path()).runs;
        ASSERT_EQ(runs.size(), i + 1) << c.name;
        EXPECT_EQ(runs.back().reason, state.checkFailure) << c.name;
    }
}

// A credentials file far beyond one line is not read, only reported; it is left for the next send to
// replace.
TEST_F(StartupCheckTest, oversizedCredentialsFile_givesEmptyBoxesAndOneWarningAndStaysAsItIs)
{
    const QString path = workflow::credentialsFilePath(dataDir.path());
    const std::string line = workflow::formatCredentialsLine({token, npsn, u"ops@x"});
    const QByteArray bytes = QByteArray::fromStdString(line) + QByteArray(workflow::kCredentialsFileLimit, ' ');
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
    file.close();

    EXPECT_EQ(workflow::Form_Load(view, *client, state, dataDir.path()), CheckOutcome::Ready);
    EXPECT_EQ(view.boxes, workflow::Credentials{});
    EXPECT_EQ(view.log,
              lines({u"[!] Gagal Membaca Kredensial (Berkas Lebih Dari 64 KiB)", u"[i] Cek Versi Aplikasi ...",
                     u"[v] Versi Aplikasi Terbaru", u"---------------------------------------",
                     u"[i] Lengkapi Token, NPSN dan Username, lalu tekan Kirim Data."}));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == bytes);
}
