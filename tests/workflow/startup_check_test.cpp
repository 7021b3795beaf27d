#include "workflow_fixture.h"

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
        EXPECT_EQ(view.log, lines({u"[!] Silahkan Download Versi Terbaru !"})) << version;
        EXPECT_EQ(view.statuses.back(), (StatusChange{u"BUTUH UPDATE", workflow::ColorFail}));
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].text, u"Versi aplikasi Anda sudah usang. Anda akan diarahkan ke halaman unduhan.");
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
    };
    const Case cases[] = {
        {"version refused with 500", "/api_api/ambil_seting/versi", true, 1},
        {"endpoint refused with 500", "/api_api/ambil_seting/endpoint", true, 2},
        {"connection dropped", "", false, 1},
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
        EXPECT_EQ(view.log, lines({u"[x] Gagal Cek Versi Aplikasi !"})) << c.name;
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
    EXPECT_EQ(view.log, lines({u"[x] Gagal Cek Versi Aplikasi !"}));
    EXPECT_FALSE(view.closing);
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
