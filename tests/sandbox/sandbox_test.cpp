#include "raw_socket.h"
#include "sandbox/sandbox.h"

#include "mth_version.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>

namespace {

using namespace testing_support;

// Sends raw request bytes on a new connection and reads until the server closes it.
std::string exchangeRaw(int port, const std::string& request)
{
    const RawSocket s = openTcpSocket();
    const sockaddr_in address = loopbackAddress(port);
    std::string reply;
    if (::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::send(s, request.data(), static_cast<int>(request.size()), kSendWithoutSignal) ==
            static_cast<int>(request.size())) {
        char buffer[4096];
        int n;
        while ((n = static_cast<int>(::recv(s, buffer, sizeof buffer, 0))) > 0) {
            reply.append(buffer, static_cast<std::size_t>(n));
        }
    }
    closeRawSocket(s);
    return reply;
}

std::string bodyOf(const std::string& reply)
{
    const std::size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : reply.substr(end + 4);
}

std::string post(int port, const std::string& target, const std::string& body)
{
    return bodyOf(exchangeRaw(port, "POST " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Length: " +
                                        std::to_string(body.size()) + "\r\n\r\n" + body));
}

std::string get(int port, const std::string& target, const std::string& headers = "")
{
    return bodyOf(
        exchangeRaw(port, "GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + headers + "\r\n"));
}

class SandboxTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(server.start()); }
    sandbox::Sandbox server;
};

} // namespace

TEST_F(SandboxTest, recordsEachRequestAsItArrived)
{
    const std::string head = "POST /api_api/kirim_data/1%2F2/get%20X?a=%41 HTTP/1.1\r\n"
                             "Host: 127.0.0.1\r\n"
                             "Zeta: last-letter-first\r\n"
                             "content-type: application/json\r\n"
                             "Authorization:   Bearer t  \r\n"
                             "Zeta: again\r\n"
                             "Connection: close\r\n"
                             "Content-Length: 5\r\n\r\n";
    exchangeRaw(server.serverPort(), head + "ab\r\nc");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const sandbox::RecordedRequest& r = requests[0];
    EXPECT_EQ(r.side, sandbox::Side::Regional);
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.target, "/api_api/kirim_data/1%2F2/get%20X?a=%41");
    EXPECT_EQ(r.head, head);
    EXPECT_EQ(r.headers, (std::vector<std::pair<std::string, std::string>>{{"Host", "127.0.0.1"},
                                                                           {"Zeta", "last-letter-first"},
                                                                           {"content-type", "application/json"},
                                                                           {"Authorization", "Bearer t"},
                                                                           {"Zeta", "again"},
                                                                           {"Connection", "close"},
                                                                           {"Content-Length", "5"}}));
    EXPECT_EQ(r.header("CONTENT-TYPE"), "application/json");
    EXPECT_EQ(r.body, "ab\r\nc");
    EXPECT_EQ(r.bodySize, 5u);
    EXPECT_EQ(r.connection, 1);
    EXPECT_EQ(r.requestsOnIt, 1);
}

TEST_F(SandboxTest, keptAliveConnection_countsItsRequests)
{
    const std::string one = "GET /behaviour/status?code=200 HTTP/1.1\r\nHost: x\r\n\r\n";
    exchangeRaw(server.serverPort(),
                one + one + "GET /behaviour/status HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(requests[i].connection, 1);
        EXPECT_EQ(requests[i].requestsOnIt, i + 1);
    }
}

TEST_F(SandboxTest, upload_acceptedOnlyAsTheLocalTableWrapped)
{
    const int port = server.serverPort();
    const std::string table = sandbox::generateTable("getKelas", 4);
    const std::string target = "/api_api/kirim_data/20500123/getKelas";
    struct Case {
        const char* name;
        std::string body;
        std::string reply;
    };
    for (const Case& c : {
             Case{"bare table", table, "{\"success\":false,\"msg\":\"Isi kiriman bukan {\\\"data_json\\\":...}\"}"},
             Case{"blank after the colon", "{\"data_json\": " + table + "}",
                  "{\"success\":false,\"msg\":\"data_json tidak sama dengan tabel getKelas dari layanan lokal\"}"},
             Case{"one byte changed", "{\"data_json\":" + table.substr(0, table.size() - 1) + " }",
                  "{\"success\":false,\"msg\":\"data_json tidak sama dengan tabel getKelas dari layanan lokal\"}"},
             Case{"exact", "{\"data_json\":" + table + "}",
                  "{\"success\":true,\"msg\":\"Data getKelas diterima: 4 baris\"}"},
         }) {
        EXPECT_EQ(post(port, target, c.body), c.reply) << c.name;
    }
    EXPECT_EQ(post(port, "/api_api/kirim_data/99/getKelas", "{\"data_json\":" + table + "}"),
              "{\"success\":false,\"msg\":\"NPSN tidak dikenal: 99\"}");
    EXPECT_EQ(post(port, "/api_api/kirim_data/20500123/getLain", "{\"data_json\":{\"results\":7}}"),
              "{\"success\":true,\"msg\":\"Data getLain diterima: 7 baris\"}");
    const auto tables = server.receivedTables();
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0].name, "getKelas");
    EXPECT_EQ(tables[0].rows, 4);
    EXPECT_EQ(tables[0].bytes, table.size());
    const std::string page = get(port, "/progres_data");
    EXPECT_NE(page.find("<tr><td>getKelas</td><td>20500123</td><td>4</td>"), std::string::npos) << page;
    EXPECT_NE(page.find("<tr><td>getLain</td><td>20500123</td><td>7</td>"), std::string::npos) << page;
}

TEST_F(SandboxTest, sendsToday_countedBySummaryRebuilds)
{
    const sandbox::School school = sandbox::demoSchool();
    const std::string login = "{\"npsn\":\"" + school.npsn + "\",\"email\":\"" + school.users[0].username +
                              "\",\"password\":\"" + school.users[0].password + "\"}";
    sandbox::Scenario scenario;
    scenario.sendsToday = 8;
    server.setScenario(scenario);
    EXPECT_EQ(post(server.serverPort(), "/api_api/cek_pengguna", login), "{\"success\":true,\"msg\":\"8\"}");
    EXPECT_EQ(get(server.serverPort(), "/cron_cron/update_summary"),
              "{\"success\":true,\"msg\":\"Ringkasan diperbarui\"}");
    EXPECT_EQ(post(server.serverPort(), "/api_api/cek_pengguna", login), "{\"success\":true,\"msg\":\"9\"}");
    EXPECT_EQ(server.sendsToday(school.npsn), 9);
}

TEST_F(SandboxTest, localService_checksTokenAndNpsn)
{
    const int port = server.localPort();
    const std::string target = "/WebService/getGuru?npsn=20500123";
    EXPECT_EQ(get(port, target), "{\"success\":false,\"message\":\"Token tidak valid\"}");
    EXPECT_EQ(get(port, "/WebService/getGuru?npsn=1", "Authorization: Bearer sandbox-token-5774\r\n"),
              "{\"success\":false,\"message\":\"NPSN tidak terdaftar di layanan ini\"}");
    EXPECT_EQ(get(port, target, "Authorization: Bearer sandbox-token-5774\r\n"), sandbox::generateTable("getGuru", 6));
    EXPECT_EQ(get(port, "/WebService/getTidakAda?npsn=20500123", "Authorization: Bearer sandbox-token-5774\r\n"),
              "{\"success\":false,\"message\":\"Layanan tidak ditemukan: getTidakAda\"}");
}

TEST(SandboxStart, busyPortOrBadCertificate_reportedNotHidden)
{
    sandbox::Sandbox first;
    ASSERT_FALSE(first.start());
    sandbox::Options clash;
    clash.localPort = first.localPort();
    sandbox::Sandbox second(clash);
    EXPECT_EQ(second.start(), "cannot listen on 127.0.0.1 port " + std::to_string(first.localPort()));

    sandbox::Options tls;
    tls.tlsCertFile = "/nonexistent/cert.pem";
    tls.tlsKeyFile = "/nonexistent/key.pem";
    sandbox::Sandbox third(tls);
    const auto error = third.start();
    ASSERT_TRUE(error);
    const std::string expectedStart = sandbox::httpsAvailable() ? "cannot use the certificate /nonexistent/cert.pem"
                                                                : "this sandbox is built without a TLS library";
    EXPECT_EQ(error->rfind(expectedStart, 0), 0u) << *error;
}

TEST(GenerateTable, deterministicOneRowPerLine)
{
    const std::string table = sandbox::generateTable("getSiswa", 3);
    EXPECT_EQ(table, sandbox::generateTable("getSiswa", 3));
    EXPECT_EQ(table.rfind("{\"results\":3,", 0), 0u);
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 5);
    EXPECT_NE(table, sandbox::generateTable("getGuru", 3));
}

TEST_F(SandboxTest, heldRequests_releasedBySettingTheScenario)
{
    sandbox::Scenario scenario;
    scenario.neverReply = true;
    scenario.faultPath = "/api_api/";
    server.setScenario(scenario);
    EXPECT_NE(get(server.serverPort(), "/unduhan").find("<h1>Unduh"), std::string::npos) << "outside the fault path";
    auto held =
        std::async(std::launch::async, [this] { return get(server.serverPort(), "/api_api/ambil_seting/versi"); });
    // The request is held until the scenario changes, however long that takes.
    while (server.requests().size() < 2) {
        std::this_thread::yield();
    }
    EXPECT_EQ(held.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    server.setScenario({});
    EXPECT_EQ(held.get(), "dilepas");
}

TEST_F(SandboxTest, delayedReply_waitsAtLeastTheDelay)
{
    sandbox::Scenario scenario;
    scenario.delay = std::chrono::milliseconds(300);
    server.setScenario(scenario);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(get(server.serverPort(), "/api_api/ambil_seting/versi"),
              "{\"success\":true,\"msg\":\"" MTH_VERSION "\"}");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
}
