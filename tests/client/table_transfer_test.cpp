#include "sandbox_fixture.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

using namespace testing_support;
using Cause = client::OperationFailure::Cause;

namespace {

std::vector<sandbox::RecordedRequest> uploads(const sandbox::Sandbox& server)
{
    std::vector<sandbox::RecordedRequest> out;
    for (auto& r : server.requests(sandbox::Side::Regional)) {
        if (r.target.rfind("/api_api/kirim_data/", 0) == 0) {
            out.push_back(std::move(r));
        }
    }
    return out;
}

} // namespace

class SendTableTest : public SandboxTest {};

TEST_F(SendTableTest, resultAndRowCountForEachTableReply)
{
    struct Case {
        const char* name;
        std::string reply;
        std::u16string result;
        std::int64_t rows;
        bool uploaded;
        Cause cause; // of LastFailure
        std::string failUpload = "";
        int status = 0; // the local reply's HTTP status when not 200
    };
    for (const Case& c : {
             Case{"accepted", "{\"results\":3,\"rows\":[1,2,3]}", u"sukses", 3, true, Cause::None},
             Case{"zero rows still uploaded", "{\"results\":0,\"rows\":[]}", u"sukses", 0, true, Cause::None},
             Case{"beyond 16 bits", "{\"results\":40000,\"rows\":[]}", u"sukses", 40000, true, Cause::None},
             Case{"beyond 32 bits", "{\"results\":5000000000,\"rows\":[]}", u"sukses", 5000000000, true, Cause::None},
             Case{"quoted whole number", "{\"results\":\"40000\",\"rows\":[]}", u"sukses", 40000, true, Cause::None},
             Case{"fraction rounds half to even", "{\"results\":12.5,\"rows\":[]}", u"sukses", 12, true, Cause::None},
             Case{"quoted fraction is unreadable", "{\"results\":\"12.5\",\"rows\":[]}", u"sukses", 0, true,
                  Cause::None},
             Case{"text is unreadable", "{\"results\":\"banyak\",\"rows\":[]}", u"sukses", 0, true, Cause::None},
             Case{"boolean is unreadable", "{\"results\":true,\"rows\":[]}", u"sukses", 0, true, Cause::None},
             Case{"beyond 64 bits", "{\"results\":99999999999999999999,\"rows\":[]}", u"sukses", 0, true, Cause::None},
             Case{"word only inside a value", "{\"note\":\"results\",\"rows\":[]}", u"sukses", 0, true, Cause::None},
             Case{"results after the rows", "{\"rows\":[{\"results\":9}],\"results\":2}", u"sukses", 2, true,
                  Cause::None},
             Case{"results only inside a row", "{\"rows\":[{\"results\":9}]}", u"sukses", 0, true, Cause::None},
             Case{"results twice, first kept", "{\"results\":4,\"results\":7,\"rows\":[]}", u"sukses", 4, true,
                  Cause::None},
             Case{"results after a duplicated name", "{\"a\":1,\"a\":2,\"results\":3}", u"sukses", 0, true,
                  Cause::None},
             Case{"leading results, broken rows", "{\"results\":5,\"rows\":[1-]}", u"sukses", 5, true, Cause::None},
             Case{"upload refused", "{\"results\":2,\"rows\":[]}",
                  u"{\"success\":false,\"msg\":\"Gagal menyimpan data getX\"}", 2, true, Cause::None, "getX"},
             Case{"message instead of results", "{\"success\":false,\"message\":\"Sesi habis\"}", u"Sesi habis", 0,
                  false, Cause::ServiceMessage},
             Case{"word message without a text member", "{\"message\":null}", u"", 0, false, Cause::ServiceMessage},
             Case{"neither word", "{\"status\":\"sibuk\"}", u"gagal", 0, false, Cause::UnknownReply},
             Case{"other success status", "{\"results\":1,\"rows\":[1]}", u"sukses", 1, true, Cause::None, "", 201},
             Case{"error status with a table", "{\"results\":0,\"rows\":[],\"error\":\"database unavailable\"}",
                  u"gagal", 0, false, Cause::ErrorStatus, "", 500},
             Case{"error status with a message", "{\"results\":0,\"message\":\"Basis data sibuk\"}",
                  u"Basis data sibuk", 0, false, Cause::ErrorStatus, "", 503},
             Case{"client error status", "{\"results\":2,\"rows\":[1,2]}", u"gagal", 0, false, Cause::ErrorStatus, "",
                  404},
         }) {
        setScenario([&](sandbox::Scenario& s) {
            s.setTable("getX", c.reply);
            s.failUpload = c.failUpload;
            s.faultPath = "/WebService/getX";
            s.replyStatus = c.status;
        });
        server->clearRequests();
        EXPECT_EQ(client->SendTable(u"getX", npsn, token), c.result) << c.name;
        EXPECT_EQ(client->LastRowCount(), c.rows) << c.name;
        EXPECT_EQ(uploads(*server).size(), c.uploaded ? 1u : 0u) << c.name;
        EXPECT_EQ(client->LastFailure().cause, c.cause) << c.name;
    }
}

TEST_F(SendTableTest, uploadCarriesTheLocalReplyByteForByte)
{
    const std::string table = "{\"results\":2,\r\n  \"rows\": [\n    {\"nama\":\"D\xC3\xA9\xC3\xA9\"},\n"
                              "    {\"nama\":\"\\u00e9 \xF0\x9F\x98\x80\"}\n  ]\n}\r\n";
    setScenario([&](sandbox::Scenario& s) { s.setTable("getSiswa", table); });
    EXPECT_EQ(client->SendTable(u"getSiswa", npsn, token), u"sukses");
    EXPECT_EQ(client->LastRowCount(), 2);
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].side, sandbox::Side::Local);
    EXPECT_EQ(requests[0].target, "/WebService/getSiswa?npsn=20500123");
    EXPECT_EQ(requests[0].header("Authorization"), "Bearer sandbox-token-5774");
    EXPECT_EQ(requests[1].side, sandbox::Side::Regional);
    EXPECT_EQ(requests[1].method, "POST");
    EXPECT_EQ(requests[1].target, "/api_api/kirim_data/20500123/getSiswa");
    EXPECT_EQ(requests[1].header("Content-Type"), "application/json");
    EXPECT_FALSE(requests[1].header("Authorization"));
    EXPECT_EQ(requests[1].body, "{\"data_json\":" + table + "}");
    ASSERT_EQ(server->receivedTables().size(), 1u);
    EXPECT_EQ(server->receivedTables()[0].rows, 2);
}

// Whatever bytes the local service sends go out unchanged inside the wrapper; only the row count is
// read from the decoded text (ill-formed sequences as U+FFFD, another charset as that charset says).
TEST_F(SendTableTest, repliesInAnyBytes_uploadedByteForByte)
{
    struct Case {
        const char* name;
        std::string hex; // the local reply's bytes
        std::string type;
        std::int64_t rows;
    };
    // {"results":1,"n":"caf then the bytes of the case, then "}
    const std::string head = "7B22726573756C7473223A312C226E223A2263616";
    const std::string tail = "227D";
    const std::string json = "application%2Fjson";
    for (const Case& c : {
             Case{"Latin-1", head + "6E9" + tail, "text%2Fplain%3B%20charset%3Diso-8859-1", 1},
             Case{"Latin-1 named UTF-8", head + "6E9" + tail, json, 1},
             Case{"lone continuation bytes", head + "680BF80" + tail, json, 1},
             Case{"overlong forms", head + "6C0AFE080AFF0808080" + tail, json, 1},
             Case{"surrogates encoded in UTF-8", head + "6EDA080EDB080" + tail, json, 1},
             Case{"sequence cut short at the very end", head + "6" + tail + "F09F98", json, 1},
             Case{"NUL bytes", head + "6" + tail + "00000A00", json, 1},
             // A byte order mark is kept as U+FEFF, which the parser does not skip: no row count.
             Case{"byte order mark", "EFBBBF" + head + "6" + tail, json, 0},
         }) {
        // The sandbox serves the table from its behaviour route; the upload goes to an address that
        // records it without comparing it to a local table.
        client::ClientSettings settings;
        settings.localBase = u16(server->serverUrl() + "/behaviour/bytes/" + c.hex + "/" + c.type);
        settings.serverBase = u16(server->serverUrl());
        settings.timeouts = shortTimeouts();
        client::Client cl(settings, refusals);
        server->clearRequests();
        cl.SendTable(u"getX", npsn, token);
        EXPECT_EQ(cl.LastRowCount(), c.rows) << c.name;
        const auto sent = uploads(*server);
        ASSERT_EQ(sent.size(), 1u) << c.name;
        EXPECT_EQ(sent[0].body,
                  "{\"data_json\":" + QByteArray::fromHex(QByteArray::fromStdString(c.hex)).toStdString() + "}")
            << c.name;
    }
}

// The row count is parsed, and its tree freed, away from the event loop: a 10 ms timer keeps firing all
// through the send of a table whose parse alone takes far longer than the bound. The bound is generous
// for a loaded machine; the benchmark shows the real gaps.
TEST_F(SendTableTest, largeTable_eventLoopKeepsTurning)
{
    constexpr std::size_t kRows = 100000;
    const std::string table = sandbox::generateTable("getSiswa", kRows);
    setScenario([&](sandbox::Scenario& s) { s.setTable("getSiswa", table); });
    // The sandbox takes its time to check a table this size: the usual time-outs, not the short ones.
    client::ClientSettings settings;
    settings.serverBase = u16(server->serverUrl());
    settings.localBase = u16(server->localUrl());
    client::Client cl(settings, refusals);
    QElapsedTimer clock;
    qint64 lastTurn = 0;
    qint64 longestGap = 0;
    QTimer turns;
    turns.setTimerType(Qt::PreciseTimer);
    QObject::connect(&turns, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - lastTurn);
        lastTurn = clock.elapsed();
    });
    clock.start();
    turns.start(10);
    EXPECT_EQ(cl.SendTable(u"getSiswa", npsn, token), u"sukses");
    turns.stop();
    longestGap = std::max(longestGap, clock.elapsed() - lastTurn);
    EXPECT_EQ(cl.LastRowCount(), static_cast<std::int64_t>(kRows));
    EXPECT_LT(longestGap, 400) << "ms without an event-loop turn";
    // Received and sent in many pieces, the table still arrives whole and in order.
    const auto sent = uploads(*server);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].body == "{\"data_json\":" + table + "}");
}

TEST_F(SendTableTest, transportFailures)
{
    // The fetch fails: nothing is uploaded and the description is lost.
    setScenario([](sandbox::Scenario& s) {
        s.faultPath = "/WebService/";
        s.dropMidReply = true;
    });
    EXPECT_EQ(client->SendTable(u"getSiswa", npsn, token), u"gagal");
    EXPECT_EQ(client->LastRowCount(), 0);
    EXPECT_TRUE(uploads(*server).empty());
    EXPECT_EQ(client->LastFailure().cause, Cause::Exchange);
    EXPECT_EQ(client->LastFailure().exchange.request.kind, platform::FailureKind::ConnectionDropped);

    // The upload fails: its "Error: " text comes back and the row count stays.
    setScenario([](sandbox::Scenario& s) {
        s.faultPath = "/api_api/kirim_data/";
        s.dropMidReply = true;
    });
    EXPECT_EQ(client->SendTable(u"getSiswa", npsn, token),
              u"Error: Koneksi dengan Server Tervalis (" + u16(server->serverUrl()) + u") terputus di tengah jalan.");
    EXPECT_EQ(client->LastRowCount(), 24);
    EXPECT_EQ(client->LastFailure().cause, Cause::Exchange);
}

// A redirect that would turn the upload into a GET is the upload's reply, even when the address it
// names answers a GET with success; 307 and 308 carry the table there.
TEST_F(SendTableTest, redirectedUpload_isDeliveredOrFailsButNeverTakenForSuccess)
{
    const std::string successForGet = "/behaviour/status?code=200&body=%7B%22success%22%3Atrue%7D";
    struct Case {
        int status;
        std::string to; // empty: the same path under /moved
        std::u16string result;
        bool received;
    };
    for (const Case& c : {
             Case{301, successForGet, u"Dipindahkan ke " + u16(successForGet), false},
             Case{302, successForGet, u"Dipindahkan ke " + u16(successForGet), false},
             Case{303, successForGet, u"Dipindahkan ke " + u16(successForGet), false},
             Case{307, "", u"sukses", true},
             Case{308, "", u"sukses", true},
         }) {
        startSandbox({}); // a fresh sandbox that has received nothing
        setScenario([&](sandbox::Scenario& s) {
            s.faultPath = "/api_api/kirim_data/";
            s.redirectStatus = c.status;
            s.redirectTo = c.to;
        });
        EXPECT_EQ(client->SendTable(u"getSiswa", npsn, token), c.result) << c.status;
        EXPECT_EQ(server->receivedTables().size(), c.received ? 1u : 0u) << c.status;
    }
}

// A server that keeps a transfer alive with a byte now and then fails it once a window passes with less
// than the floor; a slow but steady one (10 KiB/s, five times the floor) completes a table of 20 KiB.
TEST_F(SendTableTest, transferRateFloor_endsTrickleButNotASteadySlowLink)
{
    client::ClientSettings settings;
    settings.serverBase = u16(server->serverUrl());
    settings.localBase = u16(server->localUrl());
    settings.timeouts = shortTimeouts();
    settings.timeouts.rateWindow = std::chrono::milliseconds(500);
    client::Client cl(settings, refusals);
    const std::string table = sandbox::generateTable("getSiswa", 100);
    ASSERT_GT(table.size(), 20u * 1024);
    struct Case {
        const char* name;
        std::string path;
        std::size_t dripBytes;
        std::u16string result;
        std::size_t received;
    };
    for (const Case& c : {
             Case{"trickling table", "/WebService/getSiswa", 16, u"gagal", 0},
             Case{"trickling upload reply", "/api_api/kirim_data/", 1,
                  u"Error: Transfer data dengan Server Tervalis (" + u16(server->serverUrl()) +
                      u") terlalu lambat dan dihentikan (kurang dari 1 KiB dalam 500 ms).",
                  1},
             Case{"steady table", "/WebService/getSiswa", 1024, u"sukses", 1},
         }) {
        setScenario([&](sandbox::Scenario& s) {
            s.setTable("getSiswa", table);
            s.faultPath = c.path;
            s.dripEvery = std::chrono::milliseconds(100);
            s.dripBytes = c.dripBytes;
        });
        EXPECT_EQ(cl.SendTable(u"getSiswa", npsn, token), c.result) << c.name;
        EXPECT_EQ(server->receivedTables().size(), c.received) << c.name;
    }
    EXPECT_EQ(cl.LastRowCount(), 100);
}

TEST_F(SendTableTest, generatedTableOf40000Rows_countedAndAccepted)
{
    setScenario([](sandbox::Scenario& s) { s.setTable("getSiswa", sandbox::generateTable("getSiswa", 40000)); });
    EXPECT_EQ(client->SendTable(u"getSiswa", npsn, token), u"sukses");
    EXPECT_EQ(client->LastRowCount(), 40000);
    ASSERT_EQ(server->receivedTables().size(), 1u);
    EXPECT_EQ(server->receivedTables()[0].rows, 40000);
}

class TableRequestsTest : public SandboxTest {};

TEST_F(TableRequestsTest, addressesMethodsAndBodies)
{
    struct Case {
        const char* name;
        std::function<std::u16string(client::Client&)> call;
        std::string method;
        std::string target;
        std::string body;
    };
    for (const Case& c : {
             Case{"PostData", [](client::Client& cl) { return cl.PostData(u"getX", u"123", u"[1,\r\n\"\u00e9\"]"); },
                  "POST", "/api_api/kirim_data/123/getX", "{\"data_json\":[1,\r\n\"\xC3\xA9\"]}"},
             Case{"PostData encodes the path", [](client::Client& cl) { return cl.PostData(u"a/b", u"1?2", u""); },
                  "POST", "/api_api/kirim_data/1%3F2/a%2Fb", "{\"data_json\":}"},
             Case{"ProcessData", [](client::Client& cl) { return cl.ProcessData(u"123", u"getX"); }, "GET",
                  "/api_api/proses_data/123/getX", ""},
             Case{"ProcessData encodes the path", [](client::Client& cl) { return cl.ProcessData(u"1#", u"%x"); },
                  "GET", "/api_api/proses_data/1%23/%25x", ""},
             Case{"UpdateSummary", [](client::Client& cl) { return cl.UpdateSummary(); }, "GET",
                  "/cron_cron/update_summary", ""},
         }) {
        server->clearRequests();
        c.call(*client);
        const auto requests = server->requests();
        ASSERT_EQ(requests.size(), 1u) << c.name;
        EXPECT_EQ(requests[0].method, c.method) << c.name;
        EXPECT_EQ(requests[0].target, c.target) << c.name;
        EXPECT_EQ(requests[0].body, c.body) << c.name;
        EXPECT_EQ(requests[0].header("Content-Type"), "application/json") << c.name;
        EXPECT_FALSE(requests[0].header("Authorization")) << c.name;
    }
}

TEST_F(TableRequestsTest, summaryWithErrorStatus_isAnErrorText)
{
    struct Case {
        const char* name;
        int status;
        bool htmlPage;
        std::u16string result;
        int failedStatus; // LastFailure's, 0 for none
    };
    for (const Case& c : {
             Case{"500 with a page", 0, true, u"Error: Server Tervalis menjawab rekap data dengan status HTTP 500",
                  500},
             Case{"404 with a success body", 404, false,
                  u"Error: Server Tervalis menjawab rekap data dengan status HTTP 404", 404},
             Case{"other success status", 202, false, u"{\"success\":true,\"msg\":\"Ringkasan diperbarui\"}", 0},
         }) {
        setScenario([&](sandbox::Scenario& s) {
            s.faultPath = "/cron_cron/update_summary";
            s.error500 = c.htmlPage;
            s.replyStatus = c.status;
        });
        EXPECT_EQ(client->UpdateSummary(), c.result) << c.name;
        EXPECT_EQ(client->LastFailure().cause, c.failedStatus ? Cause::ErrorStatus : Cause::None) << c.name;
        EXPECT_EQ(client->LastFailure().status, c.failedStatus) << c.name;
    }
}

TEST_F(TableRequestsTest, repliesReturnedUnchanged)
{
    EXPECT_EQ(client->ProcessData(npsn, u"getSiswa"), u"{\"success\":false,\"msg\":\"Data getSiswa belum diterima\"}");
    ASSERT_EQ(client->SendTable(u"getSiswa", npsn, token), u"sukses");
    EXPECT_EQ(client->ProcessData(npsn, u"getSiswa"), u"{\"success\":true,\"msg\":\"Data getSiswa diproses\"}");
    setScenario([](sandbox::Scenario& s) { s.failProcess = "getSiswa"; });
    EXPECT_EQ(client->ProcessData(npsn, u"getSiswa"), u"{\"success\":false,\"msg\":\"Gagal memproses data getSiswa\"}");
    EXPECT_EQ(client->UpdateSummary(), u"{\"success\":true,\"msg\":\"Ringkasan diperbarui\"}");
    server->stop();
    EXPECT_EQ(client->UpdateSummary().rfind(u"Error: ", 0), 0u);
}

// A transport failure is never taken for a reply, even when its description holds "results" or
// "message" (an invalid address is quoted in it).
TEST_F(SendTableTest, failedFetchMentioningResults_isNotTakenForAReply)
{
    client::ClientSettings settings;
    settings.localBase = u"results message";
    settings.serverBase = u16(server->serverUrl());
    settings.timeouts = shortTimeouts();
    client::Client cl(settings, refusals);
    EXPECT_EQ(cl.SendTable(u"getSiswa", npsn, token), u"gagal");
    EXPECT_EQ(cl.LastRowCount(), 0);
    EXPECT_TRUE(server->requests().empty());

    EXPECT_EQ(cl.CheckEmail(npsn, token, u"x"), u"tidak valid");
    ASSERT_EQ(refusals.shown.size(), 1u);
    EXPECT_EQ(refusals.shown[0],
              u"Error: Alamat Layanan Murenta lokal (results message) bukan alamat http atau https yang sah.");
}
