#include "workflow_fixture.h"

#include "client/failure_description.h"
#include "workflow/credentials_file.h"
#include "workflow/sync_run.h"

#include <QDir>

using namespace testing_support;
using workflow::RunOutcome;

namespace {

const std::u16string kRule = u"---------------------------------------";

class SyncRunTest : public WorkflowTest {
protected:
    void SetUp() override
    {
        WorkflowTest::SetUp();
        // Three small tables, one of them with more rows than 16 bits can count.
        setScenario([](sandbox::Scenario& s) {
            s.endpoints = "getSekolah,getSiswa,getGuru";
            s.setTable("getSekolah", sandbox::generateTable("getSekolah", 3));
            s.setTable("getSiswa", "{\"results\":40000,\"rows\":[]}");
            s.setTable("getGuru", sandbox::generateTable("getGuru", 2));
        });
        state.EndpointList = std::vector<std::u16string>{u"getSekolah", u"getSiswa", u"getGuru"};
        view.sendEnabled = true;
        run = std::make_unique<workflow::SyncRun>(view, *client, state, dataDir.path());
    }

    RunOutcome click() { return run->BtSync_Click(); }

    // The lines of the three gates passed, for the day's send number `send`.
    static std::vector<std::u16string> gateLines(int send = 1)
    {
        return {u"[i] Cek Email ...",
                u"[v] Email Valid",
                kRule,
                u"[i] Login Pengguna ...",
                u"[v] Login Pengguna Sukses",
                u"[i] Kiriman hari ini: ke-" + u16(std::to_string(send)) + u" dari 10",
                kRule};
    }

    // The lines of a gate that stopped the run, after the login's success line.
    static std::vector<std::u16string> stoppedAfterLogin(std::initializer_list<std::u16string> stop)
    {
        std::vector<std::u16string> expected{u"[i] Cek Email ...",      u"[v] Email Valid",           kRule,
                                             u"[i] Login Pengguna ...", u"[v] Login Pengguna Sukses", kRule};
        expected.insert(expected.end(), stop);
        return expected;
    }

    static std::vector<std::u16string> tableLines(const char16_t* shown, const char16_t* rows)
    {
        return {std::u16string(u"[>] Mengirim Data ") + shown + u" ...",
                std::u16string(u"    [v] Kirim Data Sukses (") + rows + u" baris)",
                u"    [>] Proses Data di Tervalis ...", u"    [v] Proses Data Sukses", u""};
    }

    std::vector<std::u16string> successfulTranscript(int send = 1) const
    {
        std::vector<std::u16string> expected = gateLines(send);
        for (const auto& table :
             {tableLines(u"SEKOLAH", u"3"), tableLines(u"SISWA", u"40000"), tableLines(u"GURU", u"2")}) {
            expected.insert(expected.end(), table.begin(), table.end());
        }
        expected.insert(expected.end(), {kRule, u"    [>] Membuat Rekap Data di Server ...",
                                         u"    [v] Rekap Data Sukses", kRule, u"[v] Seluruh Proses Selesai"});
        return expected;
    }

    // The transcript of a run in which SISWA is logged with `siswa` and so fails for `reason`, the other
    // two going through.
    std::vector<std::u16string> failedSiswaTranscript(std::initializer_list<std::u16string> siswa,
                                                      const std::u16string& reason) const
    {
        std::vector<std::u16string> expected = gateLines();
        for (const auto& table :
             {tableLines(u"SEKOLAH", u"3"), std::vector<std::u16string>(siswa), tableLines(u"GURU", u"2")}) {
            expected.insert(expected.end(), table.begin(), table.end());
        }
        expected.insert(expected.end(),
                        {kRule, u"[!] Terdapat data yang gagal diproses.", u"[!] Tabel gagal: SISWA (" + reason + u")",
                         u"[i] Silakan tekan 'Kirim Data' untuk mengulang."});
        return expected;
    }

    void expectButtonRestored() const
    {
        EXPECT_FALSE(state.SyncBusy);
        EXPECT_EQ(view.caption, u"Kirim Data");
        EXPECT_EQ(view.panel, workflow::ColorButton);
        EXPECT_TRUE(view.sendEnabled);
        EXPECT_FALSE(view.boxesReadOnly);
    }

    std::unique_ptr<workflow::SyncRun> run;
};

} // namespace

TEST_F(SyncRunTest, completeRun_followsTheTranscriptAndOpensProgressPage)
{
    EXPECT_EQ(click(), RunOutcome::Done);
    EXPECT_EQ(view.log, successfulTranscript());
    EXPECT_EQ(view.statuses, (std::vector<StatusChange>{{u"MENGHUBUNGKAN...", workflow::ColorBusy},
                                                        {u"SINKRONISASI 1/3", workflow::ColorBusy},
                                                        {u"SINKRONISASI 2/3", workflow::ColorBusy},
                                                        {u"SINKRONISASI 3/3", workflow::ColorBusy},
                                                        {u"MEREKAP DATA...", workflow::ColorBusy},
                                                        {u"SELESAI!", workflow::ColorDone}}));
    EXPECT_EQ(view.progress, (std::vector<double>{0.0, 0.0, 1.0 / 3, 2.0 / 3, 1.0}));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, u"Proses Kirim Data Selesai Sepenuhnya");
    EXPECT_EQ(dialogs.shown[0].title, u"Info");
    EXPECT_EQ(dialogs.shown[0].icon, platform::MessageIcon::Information);
    EXPECT_EQ(view.pages, std::vector<std::u16string>{serverUrl("/progres_data")});
    expectButtonRestored();

    std::vector<std::string> targets;
    for (const sandbox::RecordedRequest& r : server->requests()) {
        targets.push_back(r.method + " " + r.target);
    }
    const std::string n = school.npsn;
    EXPECT_EQ(targets, (std::vector<std::string>{
                           "GET /WebService/getPengguna?npsn=" + n, "POST /api_api/cek_pengguna",
                           "GET /WebService/getSekolah?npsn=" + n, "POST /api_api/kirim_data/" + n + "/getSekolah",
                           "GET /api_api/proses_data/" + n + "/getSekolah", "GET /WebService/getSiswa?npsn=" + n,
                           "POST /api_api/kirim_data/" + n + "/getSiswa", "GET /api_api/proses_data/" + n + "/getSiswa",
                           "GET /WebService/getGuru?npsn=" + n, "POST /api_api/kirim_data/" + n + "/getGuru",
                           "GET /api_api/proses_data/" + n + "/getGuru", "GET /cron_cron/update_summary"}));
    EXPECT_EQ(workflow::readCredentialsFile(workflow::credentialsFilePath(dataDir.path())), view.boxes);
}

TEST_F(SyncRunTest, buttonDuringRun_isBusyAndSecondClickChangesNothing)
{
    std::vector<RunOutcome> secondClicks;
    view.onStatus = [&](std::u16string_view status) {
        if (status == u"SINKRONISASI 2/3") {
            EXPECT_EQ(view.caption, u"Memproses...");
            EXPECT_EQ(view.panel, workflow::ColorWaiting);
            EXPECT_FALSE(view.sendEnabled);
            EXPECT_TRUE(view.boxesReadOnly); // what is sent is what was saved
            EXPECT_TRUE(state.SyncBusy);
            secondClicks.push_back(run->BtSync_Click());
            secondClicks.push_back(run->picBtnSync_Click());
        }
    };
    EXPECT_EQ(click(), RunOutcome::Done);
    EXPECT_EQ(secondClicks, (std::vector<RunOutcome>{RunOutcome::Ignored, RunOutcome::Ignored}));
    EXPECT_EQ(view.log, successfulTranscript());
    EXPECT_EQ(view.statuses.size(), 6u);
}

TEST_F(SyncRunTest, panelClickWhileLabelDisabled_doesNothing)
{
    view.sendEnabled = false;
    EXPECT_EQ(run->picBtnSync_Click(), RunOutcome::Ignored);
    EXPECT_TRUE(view.log.empty());
    EXPECT_TRUE(server->requests().empty());
    EXPECT_FALSE(QFile::exists(workflow::credentialsFilePath(dataDir.path())));
}

TEST_F(SyncRunTest, refusedUserName_stopsAtEmailCheckAfterSavingCredentials)
{
    view.boxes.email = u16(school.users[1].username); // not the school's operator
    view.log = {u"[i] Cek Versi Aplikasi ..."};
    EXPECT_EQ(click(), RunOutcome::StoppedAtGate);
    EXPECT_EQ(
        view.log,
        lines({u"[i] Cek Email ...", u"[x] Email Tidak Valid !",
               u"    Alasan: pengguna ini terdaftar dengan peran \"Kepala Sekolah\", bukan \"Operator Sekolah\""}));
    EXPECT_EQ(view.statuses.back(), (StatusChange{u"GAGAL", workflow::ColorFail}));
    ASSERT_EQ(dialogs.shown.size(), 1u); // the e-mail check's own box: no title of its own, no icon
    EXPECT_EQ(dialogs.shown[0].text, u"Gagal: Username Salah !!!");
    EXPECT_FALSE(dialogs.shown[0].title);
    EXPECT_EQ(dialogs.shown[0].icon, platform::MessageIcon::None);
    EXPECT_EQ(view.progress, std::vector<double>{0.0});
    EXPECT_EQ(workflow::readCredentialsFile(workflow::credentialsFilePath(dataDir.path())), view.boxes);
    EXPECT_EQ(server->requests(sandbox::Side::Regional).size(), 0u);
    expectButtonRestored();
}

TEST_F(SyncRunTest, refusedLogin_showsTheServersMessageInErrorBox)
{
    setScenario([](sandbox::Scenario& s) { s.refuseLogin = true; });
    EXPECT_EQ(click(), RunOutcome::StoppedAtGate);
    EXPECT_EQ(view.log, lines({u"[i] Cek Email ...", u"[v] Email Valid", kRule.c_str(), u"[i] Login Pengguna ...",
                               u"[x] Login Pengguna Gagal", u"    Alasan: Login ditolak oleh server"}));
    EXPECT_EQ(view.statuses.back(), (StatusChange{u"GAGAL LOGIN", workflow::ColorFail}));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, u"Error");
    EXPECT_EQ(dialogs.shown[0].icon, platform::MessageIcon::Error);
    // The "msg" of the JSON reply, never the JSON itself.
    EXPECT_EQ(dialogs.shown[0].text, u"Login ditolak oleh server");
    EXPECT_EQ(run->lastRun().stopReason, u"Login ditolak oleh server");
    expectButtonRestored();
}

// Each cause a gate knows of, said under its line and kept as the run's reason.
TEST_F(SyncRunTest, gateRefusal_logsTheCauseUnderTheFailingLine)
{
    const sandbox::Scenario base = server->scenario();
    const std::u16string emailLine = u"[x] Email Tidak Valid !";
    const std::u16string loginLine = u"[x] Login Pengguna Gagal";
    struct Case {
        const char* name;
        std::function<void(sandbox::Scenario&, workflow::Credentials&)> change;
        std::u16string line;
        std::u16string reason;
    };
    const Case cases[] = {
        {"local service dropped the user list",
         [](sandbox::Scenario& s, workflow::Credentials&) {
             s.faultPath = "/WebService/getPengguna";
             s.dropMidReply = true;
         },
         emailLine,
         client::describeFailure(
             {{client::Service::LocalMurenta, u16(server->localUrl())}, {platform::FailureKind::ConnectionDropped}})},
        {"wrong token", [](sandbox::Scenario&, workflow::Credentials& c) { c.token = u"salah"; }, emailLine,
         u"Token tidak valid"},
        {"no such user", [](sandbox::Scenario&, workflow::Credentials& c) { c.email = u"siapa@contoh.id"; }, emailLine,
         u"tidak ada pengguna dengan username ini di layanan Murenta lokal"},
        {"user list as an error page",
         [](sandbox::Scenario& s, workflow::Credentials&) {
             s.faultPath = "/WebService/getPengguna";
             s.error500 = true;
         },
         emailLine, u"jawaban tidak dikenal, status HTTP 500"},
        {"login answered with an error page",
         [](sandbox::Scenario& s, workflow::Credentials&) {
             s.faultPath = "/api_api/cek_pengguna";
             s.error500 = true;
         },
         loginLine, u"jawaban tidak dikenal, status HTTP 500"},
    };
    const workflow::Credentials boxes = view.boxes;
    for (const Case& c : cases) {
        sandbox::Scenario scenario = base;
        view.boxes = boxes;
        c.change(scenario, view.boxes);
        server->setScenario(scenario);
        dialogs.shown.clear();
        EXPECT_EQ(click(), RunOutcome::StoppedAtGate) << c.name;
        std::vector<std::u16string> expected{u"[i] Cek Email ..."};
        if (c.line == loginLine) {
            expected.insert(expected.end(), {u"[v] Email Valid", kRule, u"[i] Login Pengguna ..."});
        }
        expected.insert(expected.end(), {c.line, u"    Alasan: " + c.reason});
        EXPECT_EQ(view.log, expected) << c.name;
        EXPECT_EQ(run->lastRun().stopReason, c.reason) << c.name;
        EXPECT_TRUE(run->lastRun().tables.empty()) << c.name;
    }
    // A login reply that holds no "msg" is shown in its box as it came.
    EXPECT_EQ(dialogs.shown.back().text, u"<html><body><h1>500 Internal Server Error</h1></body></html>\n");
}

TEST_F(SyncRunTest, dailyLimit_stopsAtTenSendsAndLetsNinePass)
{
    setScenario([](sandbox::Scenario& s) { s.sendsToday = 10; });
    EXPECT_EQ(click(), RunOutcome::StoppedAtGate);
    EXPECT_EQ(view.log,
              stoppedAfterLogin({u"[!] Anda Sudah Kirim Data 10 Kali Hari Ini",
                                 u"    Alasan: batas 10 kiriman sehari sudah tercapai; silakan kirim lagi besok."}));
    EXPECT_EQ(view.statuses.back(), (StatusChange{u"LIMIT TERCAPAI", workflow::ColorFail}));
    EXPECT_TRUE(dialogs.shown.empty());
    expectButtonRestored();

    setScenario([](sandbox::Scenario& s) { s.sendsToday = 9; });
    EXPECT_EQ(click(), RunOutcome::Done);
    EXPECT_EQ(view.log, successfulTranscript(10));
}

TEST_F(SyncRunTest, loginWithoutReadableSendCount_stopsAtTheLimitGate)
{
    for (const char* count : {"", "banyak", "9.5", "99999999999999999999"}) {
        setScenario([count](sandbox::Scenario& s) { s.loginCount = count; });
        server->clearRequests();
        EXPECT_EQ(click(), RunOutcome::StoppedAtGate) << count;
        EXPECT_EQ(view.log,
                  stoppedAfterLogin({u"[x] Jumlah Kirim Hari Ini Tidak Terbaca",
                                     u"    Alasan: jumlah kiriman hari ini dalam jawaban login tidak terbaca (\"" +
                                         u16(count) + u"\")."}))
            << count;
        EXPECT_EQ(view.statuses.back(), (StatusChange{u"GAGAL LOGIN", workflow::ColorFail})) << count;
        EXPECT_EQ(server->requests().back().target, "/api_api/cek_pengguna") << count; // no table was sent
        expectButtonRestored();
    }
}

TEST_F(SyncRunTest, sendCountThatIsNoWholeNumber_isReadAsNothing)
{
    struct Case {
        const char16_t* msg;
        std::optional<std::int64_t> count;
    };
    for (const Case& c : {Case{u"9", 9}, Case{u"10", 10}, Case{u"+3", 3}, Case{u"-1", -1}, Case{u"", std::nullopt},
                          Case{u"sembilan", std::nullopt}, Case{u"9.5", std::nullopt}, Case{u" 9", std::nullopt},
                          Case{u"99999999999999999999", std::nullopt}, Case{u"\uff19", std::nullopt}}) {
        EXPECT_EQ(workflow::SyncRun::sendsToday(c.msg), c.count) << u8(c.msg);
    }
}

TEST_F(SyncRunTest, failedUploadOrProcessing_goesOnAndEndsWithWarning)
{
    for (const bool failUpload : {true, false}) {
        setScenario([failUpload](sandbox::Scenario& s) {
            s.failUpload = failUpload ? "getSiswa" : "";
            s.failProcess = failUpload ? "" : "getSiswa";
        });
        dialogs.shown.clear();
        view.pages.clear();
        EXPECT_EQ(click(), RunOutcome::FailedTables);
        // The server's own reason follows each failing line.
        const auto expected =
            failUpload
                ? failedSiswaTranscript({u"[>] Mengirim Data SISWA ...", u"    [x] Kirim Data Gagal !",
                                         u"        Alasan: Gagal menyimpan data getSiswa", u""},
                                        u"Gagal menyimpan data getSiswa")
                : failedSiswaTranscript({u"[>] Mengirim Data SISWA ...", u"    [v] Kirim Data Sukses (40000 baris)",
                                         u"    [>] Proses Data di Tervalis ...", u"    [x] Proses Data Gagal !",
                                         u"        Alasan: Gagal memproses data getSiswa", u""},
                                        u"Gagal memproses data getSiswa");
        EXPECT_EQ(view.log, expected) << failUpload;
        EXPECT_EQ(view.statuses.back(), (StatusChange{u"SELESAI (ADA ERROR)", workflow::ColorFail}));
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].kind, RecordedDialog::Kind::Choice);
        EXPECT_EQ(dialogs.shown[0].text, u"Proses selesai, namun terdapat data yang GAGAL terkirim/diproses.\r\n\r\n"
                                         u"Silakan klik tombol 'Kirim Data' lagi untuk mengulang pengiriman.");
        EXPECT_EQ(dialogs.shown[0].title, u"Peringatan Kirim Ulang");
        EXPECT_EQ(dialogs.shown[0].icon, platform::MessageIcon::Warning);
        EXPECT_EQ(dialogs.shown[0].choice, u"Kirim Ulang yang Gagal");
        EXPECT_TRUE(view.pages.empty());
        EXPECT_EQ(view.progress.back(), 1.0);
        const std::vector<sandbox::RecordedRequest> requests = server->requests();
        const auto summaries = std::count_if(requests.begin(), requests.end(),
                                             [](const auto& r) { return r.target == "/cron_cron/update_summary"; });
        EXPECT_EQ(summaries, 0) << failUpload;
        expectButtonRestored();
        server->clearRequests();
    }
}

// Three tables failing for three causes: each reason under its line, all of them named at the end and
// kept in the run's report.
TEST_F(SyncRunTest, severalFailedTables_areNamedWithTheirReasonsAtTheEnd)
{
    setScenario([](sandbox::Scenario& s) {
        s.endpoints = "getSekolah,getSiswa,getGuru,getKelas";
        s.faultPath = "/WebService/getSekolah";
        s.error500 = true;
        s.failUpload = "getSiswa";
        s.failProcess = "getGuru";
    });
    state.EndpointList = std::vector<std::u16string>{u"getSekolah", u"getSiswa", u"getGuru", u"getKelas"};
    EXPECT_EQ(click(), RunOutcome::FailedTables);
    const std::vector<std::u16string> end(view.log.end() - 3, view.log.end());
    EXPECT_EQ(end, lines({u"[!] Terdapat data yang gagal diproses.",
                          u"[!] Tabel gagal: SEKOLAH (jawaban tidak dikenal, status HTTP 500), SISWA (Gagal menyimpan "
                          u"data getSiswa), GURU (Gagal memproses data getGuru)",
                          u"[i] Silakan tekan 'Kirim Data' untuk mengulang."}));
    const workflow::RunReport& report = run->lastRun();
    EXPECT_EQ(report.outcome, RunOutcome::FailedTables);
    ASSERT_EQ(report.tables.size(), 4u);
    struct Expected {
        bool sent;
        bool processed;
        std::u16string reason;
    };
    const Expected expected[] = {{false, false, u"jawaban tidak dikenal, status HTTP 500"},
                                 {false, false, u"Gagal menyimpan data getSiswa"},
                                 {true, false, u"Gagal memproses data getGuru"},
                                 {true, true, u""}};
    for (std::size_t i = 0; i < report.tables.size(); ++i) {
        EXPECT_EQ(report.tables[i].endpoint, state.EndpointList->at(i));
        EXPECT_EQ(report.tables[i].sent, expected[i].sent) << i;
        EXPECT_EQ(report.tables[i].processed, expected[i].processed) << i;
        EXPECT_EQ(report.tables[i].reason, expected[i].reason) << i;
    }
    EXPECT_EQ(report.failedEndpoints(), lines({u"getSekolah", u"getSiswa", u"getGuru"}));
}

// "Kirim Ulang yang Gagal" in the closing box: a run of the failed table alone follows at once, with
// every gate, and rebuilds the summary once that table went through.
TEST_F(SyncRunTest, resendChosenInTheClosingBox_sendsOnlyTheFailedTablesAgain)
{
    setScenario([](sandbox::Scenario& s) { s.failUpload = "getSiswa"; });
    view.onStatus = [this](std::u16string_view status) {
        if (status == u"SELESAI (ADA ERROR)") {
            setScenario([](sandbox::Scenario& s) { s.failUpload.clear(); }); // the server mended meanwhile
            server->clearRequests();
        }
    };
    dialogs.choices = {true};
    EXPECT_EQ(click(), RunOutcome::Done);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].kind, RecordedDialog::Kind::Choice);
    EXPECT_EQ(dialogs.shown[1].text, u"Proses Kirim Data Selesai Sepenuhnya");

    std::vector<std::u16string> expected = gateLines();
    const std::vector<std::u16string> siswa = tableLines(u"SISWA", u"40000");
    expected.insert(expected.end(), siswa.begin(), siswa.end());
    expected.insert(expected.end(), {kRule, u"    [>] Membuat Rekap Data di Server ...", u"    [v] Rekap Data Sukses",
                                     kRule, u"[v] Seluruh Proses Selesai"});
    EXPECT_EQ(view.log, expected);
    EXPECT_EQ(view.statuses.back(), (StatusChange{u"SELESAI!", workflow::ColorDone}));
    EXPECT_EQ(
        std::count(view.statuses.begin(), view.statuses.end(), StatusChange{u"SINKRONISASI 1/1", workflow::ColorBusy}),
        1);
    std::vector<std::string> tableRequests;
    for (const sandbox::RecordedRequest& r : server->requests()) {
        if (r.target.find("/kirim_data/") != std::string::npos) {
            tableRequests.push_back(r.target);
        }
    }
    EXPECT_EQ(tableRequests, std::vector<std::string>{"/api_api/kirim_data/" + school.npsn + "/getSiswa"});
    EXPECT_EQ(run->lastRun().outcome, RunOutcome::Done);
    expectButtonRestored();
}

TEST_F(SyncRunTest, emptyEndpointList_goesStraightToSummary)
{
    state.EndpointList = std::vector<std::u16string>{};
    EXPECT_EQ(click(), RunOutcome::Done);
    std::vector<std::u16string> expected = gateLines();
    expected.insert(expected.end(), {kRule, u"    [>] Membuat Rekap Data di Server ...", u"    [v] Rekap Data Sukses",
                                     kRule, u"[v] Seluruh Proses Selesai"});
    EXPECT_EQ(view.log, expected);
    EXPECT_EQ(view.progress, (std::vector<double>{0.0, 1.0}));
    EXPECT_EQ(view.lastStatus(), u"SELESAI!");
}

TEST_F(SyncRunTest, absentEndpointList_endsAfterLoginWithoutBox)
{
    state.EndpointList.reset();
    EXPECT_EQ(click(), RunOutcome::NoEndpointList);
    EXPECT_EQ(view.log, gateLines());
    EXPECT_EQ(view.lastStatus(), u"MENGHUBUNGKAN...");
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(view.progress, std::vector<double>{0.0});
    expectButtonRestored();
}

TEST_F(SyncRunTest, failedSummary_isLoggedWithItsReasonButStillEndsDone)
{
    for (const bool dropped : {true, false}) {
        // The connection lost mid-reply, or status 500 with an HTML page.
        setScenario([dropped](sandbox::Scenario& s) {
            s.faultPath = "/cron_cron/update_summary";
            s.dropMidReply = dropped;
            s.error500 = !dropped;
        });
        dialogs.shown.clear();
        view.pages.clear();
        EXPECT_EQ(click(), RunOutcome::Done) << dropped;
        const std::u16string reason = dropped
                                          ? client::describeFailure({{client::Service::RegionalServer, serverUrl("")},
                                                                     {platform::FailureKind::ConnectionDropped}})
                                          : u"jawaban tidak dikenal, status HTTP 500";
        EXPECT_EQ(std::vector(view.log.end() - 4, view.log.end() - 2),
                  (std::vector<std::u16string>{u"    [x] Rekap Data Gagal", u"        Alasan: " + reason}))
            << dropped;
        EXPECT_EQ(run->lastRun().summaryReason, reason) << dropped;
        EXPECT_EQ(view.lastStatus(), u"SELESAI!") << dropped;
        EXPECT_EQ(view.pages.size(), 1u) << dropped;
        EXPECT_EQ(dialogs.shown.size(), 1u) << dropped;
    }
}

// The local service failing a table with status 500 and a body that looks like an empty table: the
// table is not uploaded, it counts as failed, and the run goes on with the next one.
TEST_F(SyncRunTest, tableServedWithErrorStatus_failsThatTableOnly)
{
    setScenario([](sandbox::Scenario& s) {
        s.setTable("getSiswa", "{\"results\":0,\"rows\":[],\"error\":\"database unavailable\"}");
        s.faultPath = "/WebService/getSiswa";
        s.replyStatus = 500;
    });
    EXPECT_EQ(click(), RunOutcome::FailedTables);
    EXPECT_EQ(view.log, failedSiswaTranscript({u"[>] Mengirim Data SISWA ...", u"    [x] Kirim Data Gagal !",
                                               u"        Alasan: jawaban tidak dikenal, status HTTP 500", u""},
                                              u"jawaban tidak dikenal, status HTTP 500"));
    for (const sandbox::ReceivedTable& t : server->receivedTables()) {
        EXPECT_NE(t.name, "getSiswa");
    }
    EXPECT_EQ(server->receivedTables().size(), 2u);
}

TEST_F(SyncRunTest, unwritableCredentialsFile_isLoggedAndRunGoesOn)
{
    workflow::SyncRun elsewhere(view, *client, state, QDir(dataDir.path()).filePath(QStringLiteral("no/such/folder")));
    EXPECT_EQ(elsewhere.BtSync_Click(), RunOutcome::Done);
    ASSERT_GE(view.log.size(), 2u);
    EXPECT_EQ(view.log[0], u"[!] Gagal Menyimpan Kredensial");
    EXPECT_EQ(view.log[1], u"[i] Cek Email ...");
}

TEST(SyncRunDisplayName, removesOnlyLowercaseGetThenCapitalises)
{
    struct Case {
        const char16_t* name;
        const char16_t* shown;
    };
    for (const Case& c :
         {Case{u"getPengguna", u"PENGGUNA"}, Case{u"getSiswa", u"SISWA"}, Case{u"GetSiswa", u"GETSISWA"},
          Case{u"dataget", u"DATA"}, Case{u"getgetKelas", u"KELAS"}, Case{u"gegett", u"GET"}, Case{u"gEt", u"GET"},
          Case{u"", u""}, Case{u"getRombel_get2", u"ROMBEL_2"}}) {
        EXPECT_EQ(workflow::SyncRun::displayName(c.name), c.shown) << u8(c.name);
    }
}
