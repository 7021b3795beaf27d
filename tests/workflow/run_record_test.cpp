// What the startup check and the send run keep of every end, read back from the send history.

#include "workflow_fixture.h"

#include "workflow/send_history.h"
#include "workflow/startup_check.h"
#include "workflow/sync_run.h"

#include <QDir>

using namespace testing_support;
using workflow::CheckOutcome;
using workflow::Color;
using workflow::RunRecord;

namespace {

class RunRecordTest : public WorkflowTest {
protected:
    void SetUp() override
    {
        WorkflowTest::SetUp();
        state.history = &history;
    }

    // As the console runs them: the startup check, then one run when the check succeeded.
    void checkAndSend()
    {
        if (workflow::StartupCheck(view, *client, state).CheckVersion() == CheckOutcome::Ready) {
            workflow::SyncRun(view, *client, state, dataDir.path()).BtSync_Click();
        }
    }

    // Each table as one letter: p sent and processed, s sent only, x not sent, . never tried.
    static std::string tableStates(const RunRecord& run)
    {
        std::string states;
        for (const workflow::TableRecord& t : run.tables) {
            states += t.processed ? 'p' : t.sent ? 's' : t.reason.empty() ? '.' : 'x';
        }
        return states;
    }

    workflow::SendHistory history{dataDir.path(), workflow::RunMode::Console};
};

// The three tables of every case, their rows as the sandbox serves them.
void threeTables(sandbox::Scenario& s)
{
    s.endpoints = "getSekolah,getSiswa,getGuru";
    s.setTable("getSekolah", sandbox::generateTable("getSekolah", 3));
    s.setTable("getSiswa", "{\"results\":40000,\"rows\":[]}");
    s.setTable("getGuru", sandbox::generateTable("getGuru", 2));
}

// What the last "Alasan: " line of the log says.
std::u16string lastLoggedReason(const std::vector<std::u16string>& log)
{
    constexpr std::u16string_view mark = u"Alasan: ";
    for (auto line = log.rbegin(); line != log.rend(); ++line) {
        if (const std::size_t at = line->find(mark); at != std::u16string::npos) {
            return line->substr(at + mark.size());
        }
    }
    return {};
}

} // namespace

TEST_F(RunRecordTest, everyEnd_isKeptWithItsStatusTablesAndReasons)
{
    struct Case {
        const char* end;
        std::function<void(sandbox::Scenario&)> scenario;
        std::function<void()> act;
        const char16_t* status;
        Color color;
        int exit;
        std::string tables;
        std::optional<std::int64_t> sendsToday;
        // The run's: nothing means the reason logged under the failing line. A table's own is that of
        // its failed step, checked below.
        std::optional<std::u16string> reason;
    };
    const auto send = [this] { checkAndSend(); };
    const std::vector<Case> cases{
        {"complete", {}, send, u"SELESAI!", workflow::ColorDone, 0, "ppp", 0, u""},
        {"upload refused", [](auto& s) { s.failUpload = "getSiswa"; }, send, u"SELESAI (ADA ERROR)",
         workflow::ColorFail, 5, "pxp", 0, u""},
        {"processing failed", [](auto& s) { s.failProcess = "getGuru"; }, send, u"SELESAI (ADA ERROR)",
         workflow::ColorFail, 5, "pps", 0, u""},
        {"user name refused",
         {},
         [this] {
             view.boxes.email = u"bukan@operator";
             checkAndSend();
         },
         u"GAGAL",
         workflow::ColorFail,
         4,
         "...",
         std::nullopt,
         std::nullopt},
        {"login refused", [](auto& s) { s.refuseLogin = true; }, send, u"GAGAL LOGIN", workflow::ColorFail, 4, "...",
         std::nullopt, std::nullopt},
        {"limit reached", [](auto& s) { s.sendsToday = 10; }, send, u"LIMIT TERCAPAI", workflow::ColorFail, 4, "...",
         10, std::nullopt},
        {"server unreachable",
         [](auto& s) {
             s.faultPath = "/api_api/ambil_seting/versi";
             s.dropMidReply = true;
         },
         send, u"GAGAL TERHUBUNG", workflow::ColorFail, 2, "", std::nullopt, std::nullopt},
        {"out of date", [](auto& s) { s.version = "2.1"; }, send, u"BUTUH UPDATE", workflow::ColorFail, 3, "",
         std::nullopt, std::nullopt},
        {"endpoint list never obtained",
         {},
         [this] { workflow::SyncRun(view, *client, state, dataDir.path()).BtSync_Click(); },
         u"MENGHUBUNGKAN...",
         workflow::ColorBusy,
         2,
         "",
         0,
         u"Daftar tabel belum diterima dari server Tervalis (cek versi belum berhasil)"},
        {"window closed half-way",
         {},
         [this] {
             view.onStatus = [this](std::u16string_view status) { view.closing = status == u"SINKRONISASI 2/3"; };
             checkAndSend();
         },
         u"SINKRONISASI 2/3",
         workflow::ColorBusy,
         4,
         "p..",
         0,
         u"Jendela ditutup sebelum selesai"},
    };
    const sandbox::Scenario base = server->scenario();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        setScenario([&](sandbox::Scenario& s) {
            s = base;
            threeTables(s);
            if (c.scenario) {
                c.scenario(s);
            }
        });
        view.boxes = {token, npsn, u16(school.users.front().username)};
        view.closing = false;
        view.onStatus = nullptr;
        state.EndpointList.reset();
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        c.act();

        const workflow::History read = workflow::readHistory(dataDir.path());
        ASSERT_EQ(read.runs.size(), i + 1) << c.end << ": not exactly one run kept";
        const RunRecord& run = read.runs.back();
        EXPECT_EQ(run.mode, workflow::RunMode::Console) << c.end;
        EXPECT_TRUE(before <= run.start && run.start <= run.end && run.end <= QDateTime::currentDateTime()) << c.end;
        EXPECT_EQ(run.status, c.status) << c.end;
        EXPECT_EQ(run.statusColor, c.color) << c.end;
        EXPECT_EQ(run.exitStatus, c.exit) << c.end;
        EXPECT_EQ(tableStates(run), c.tables) << c.end;
        EXPECT_EQ(run.sendsToday, c.sendsToday) << c.end;
        EXPECT_EQ(run.reason, c.reason.value_or(lastLoggedReason(view.log))) << c.end;
        const std::vector<std::u16string> names{u"SEKOLAH", u"SISWA", u"GURU"};
        const std::int64_t rows[] = {3, 40000, 2};
        for (std::size_t t = 0; t < run.tables.size(); ++t) {
            EXPECT_EQ(run.tables[t].name, names[t]) << c.end;
            EXPECT_EQ(run.tables[t].rows, c.tables[t] == '.' ? 0 : rows[t]) << c.end;
        }
    }
    const std::vector<RunRecord> runs = workflow::readHistory(dataDir.path()).runs;
    EXPECT_EQ(runs[1].tables[1].reason, u"Gagal menyimpan data getSiswa");
    EXPECT_EQ(runs[2].tables[2].reason, u"Gagal memproses data getGuru");
}

TEST_F(RunRecordTest, historyThatCannotBeWritten_isSaidOnceAndTheRunsGoOn)
{
    workflow::SendHistory nowhere(QDir(dataDir.path()).filePath(QStringLiteral("tidak/ada")),
                                  workflow::RunMode::Window);
    state.history = &nowhere;
    setScenario([](sandbox::Scenario& s) { s.endpoints = "getSekolah"; });
    state.EndpointList = std::vector<std::u16string>{u"getSekolah"};
    workflow::SyncRun run(view, *client, state, dataDir.path());
    for (const bool first : {true, false}) {
        EXPECT_EQ(run.BtSync_Click(), workflow::RunOutcome::Done) << first;
        EXPECT_EQ(std::count(view.log.begin(), view.log.end(), u"[!] Riwayat tidak dapat disimpan"), first ? 1 : 0);
        EXPECT_EQ(view.log.back(), first ? u"[!] Riwayat tidak dapat disimpan" : u"[v] Seluruh Proses Selesai");
    }
}
