#include "sandbox_fixture.h"
#include "test_certificates.h"

#include "client/failure_description.h"

#include "mth_version.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <functional>

using namespace testing_support;
using Headers = std::vector<std::pair<std::string, std::string>>;

namespace {

// The headers a request carried, without those Qt adds on its own.
Headers ownHeaders(const sandbox::RecordedRequest& r)
{
    Headers out;
    for (const auto& h : r.headers) {
        if (h.first == "Authorization" || h.first == "Content-Type") {
            out.push_back(h);
        }
    }
    return out;
}

// An exchange's result for this failure at the service with this base address.
std::u16string failureText(platform::RequestFailure failure, client::Service service, std::u16string base)
{
    return u"Error: " + client::describeFailure({{service, std::move(base)}, std::move(failure)});
}

// A port on which nothing listens: bound once, then closed.
int closedPort()
{
    sandbox::Sandbox probe;
    EXPECT_FALSE(probe.start());
    const int port = probe.localPort();
    probe.stop();
    return port;
}

} // namespace

class HttpExchangeTest : public SandboxTest {};

TEST_F(HttpExchangeTest, headers_tokenFirstThenContentTypeOnEveryMethod)
{
    struct Case {
        const char* name;
        const char16_t* method;
        std::optional<std::u16string_view> token;
        std::optional<std::u16string_view> body;
        Headers expected;
        std::string expectedBody;
    };
    for (const Case& c : {
             Case{"GET without token", u"GET", std::nullopt, std::nullopt, {{"Content-Type", "application/json"}}, ""},
             Case{"GET with token",
                  u"GET",
                  u"abc",
                  std::nullopt,
                  {{"Authorization", "Bearer abc"}, {"Content-Type", "application/json"}},
                  ""},
             Case{"POST with body",
                  u"POST",
                  std::nullopt,
                  u"{\"a\":\"é\"}",
                  {{"Content-Type", "application/json"}},
                  "{\"a\":\"\xC3\xA9\"}"},
         }) {
        server->clearRequests();
        client->HttpExchange(c.method, serverUrl("/behaviour/status?code=200"), c.token, c.body);
        const auto requests = server->requests();
        ASSERT_EQ(requests.size(), 1u) << c.name;
        EXPECT_EQ(requests[0].method, u8(c.method)) << c.name;
        EXPECT_EQ(ownHeaders(requests[0]), c.expected) << c.name;
        EXPECT_EQ(requests[0].body, c.expectedBody) << c.name;
        EXPECT_EQ(requests[0].header("Accept-Encoding"), "identity") << c.name;
    }
}

TEST_F(HttpExchangeTest, emptyToken_sendsBearerAndOneSpace)
{
    client->HttpExchange(u"GET", serverUrl("/behaviour/status?code=200"), u"");
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].head.find("\r\nAuthorization: Bearer \r\nContent-Type: application/json\r\n"),
              std::string::npos)
        << requests[0].head;
}

TEST_F(HttpExchangeTest, replyWithAnyStatus_isReturnedAsItsBody)
{
    struct Case {
        const char* name;
        std::string target;
        std::u16string expected;
    };
    for (const Case& c : {
             Case{"500 with body", "/behaviour/status?code=500&body=Kesalahan%20server%0D%0Abaris%202",
                  u"Kesalahan server\r\nbaris 2"},
             Case{"404 with body", "/behaviour/status?code=404&body=tidak%20ada", u"tidak ada"},
             Case{"401 with body", "/behaviour/status?code=401&body=%7B%22message%22%3A%22x%22%7D",
                  u"{\"message\":\"x\"}"},
             Case{"200 empty", "/behaviour/status?code=200", u""},
             Case{"503 empty", "/behaviour/status?code=503", u""},
         }) {
        EXPECT_EQ(client->HttpExchange(u"GET", serverUrl(c.target)), c.expected) << c.name;
    }
}

TEST_F(HttpExchangeTest, replyCharset_decidesTheDecoding)
{
    struct Case {
        const char* name;
        std::string query;
        std::u16string expected;
    };
    for (const Case& c : {
             Case{"no charset is UTF-8", "636166C3A9/application%2Fjson", u"caf\u00e9"},
             Case{"Latin-1", "636166E9/text%2Fplain%3B%20charset%3DISO-8859-1", u"caf\u00e9"},
             Case{"quoted windows-1252", "80/text%2Fplain%3Bcharset%3D%22windows-1252%22", u"\u20ac"},
             Case{"unknown charset is UTF-8", "C3A9/text%2Fplain%3B%20charset%3Dno-such", u"\u00e9"},
             Case{"ill-formed UTF-8", "61FF62/application%2Fjson", u"a\ufffdb"},
         }) {
        EXPECT_EQ(client->HttpExchange(u"GET", serverUrl("/behaviour/bytes/" + c.query)), c.expected) << c.name;
    }
}

TEST_F(HttpExchangeTest, transportFailures_giveErrorTexts)
{
    // A name too long to be put into a DNS query fails in the local resolver without any packet leaving
    // the machine; a ".invalid" name would ask the configured name server.
    std::string longName;
    for (int i = 0; i < 5; ++i) {
        longName += std::string(60, 'n') + ".";
    }
    const std::u16string closed = u16("http://127.0.0.1:" + std::to_string(closedPort()));
    const std::u16string server = u"Server Tervalis (" + serverUrl("") + u")";
    struct Case {
        const char* name;
        std::u16string url;
        std::u16string expected;
    };
    for (const Case& c : {
             Case{"refused", closed + u"/x",
                  u"Error: Server Tervalis (" + closed +
                      u") tidak dapat dihubungi: koneksi ditolak. Periksa koneksi internet, lalu coba lagi."},
             Case{"unresolvable", u16("http://" + longName + "example/x"),
                  u"Error: Server Tervalis (" + u16("http://" + longName + "example") +
                      u") tidak dapat dihubungi: nama alamatnya tidak ditemukan. Periksa alamat dan koneksi internet."},
             Case{"no reply", serverUrl("/behaviour/never"),
                  u"Error: " + server + u" tidak menjawab dalam batas waktu."},
             Case{"stalled mid-reply", serverUrl("/behaviour/stall"),
                  u"Error: Balasan dari " + server + u" terhenti di tengah jalan melewati batas waktu."},
             Case{"dropped mid-reply", serverUrl("/behaviour/drop"),
                  u"Error: Koneksi dengan " + server + u" terputus di tengah jalan."},
             Case{"not a URL", u"tidak ada alamat",
                  u"Error: Alamat Server Tervalis (tidak ada alamat) bukan alamat http atau https yang sah."},
             Case{"other scheme", u"ftp://127.0.0.1/x",
                  u"Error: Alamat Server Tervalis (ftp://127.0.0.1) bukan alamat http atau https yang sah."},
         }) {
        EXPECT_EQ(client->HttpExchange(u"GET", c.url), c.expected) << c.name;
    }
}

TEST_F(HttpExchangeTest, lineBreakInToken_refusedBeforeAnythingIsSent)
{
    const std::u16string reply =
        client->HttpExchange(u"GET", serverUrl("/behaviour/status?code=200"), u"abc\r\nX-Injected: yes");
    EXPECT_EQ(reply, u"Error: Permintaan ke Server Tervalis (" + serverUrl("") +
                         u") tidak dikirim: header Authorization berisi baris baru atau karakter NUL.");
    EXPECT_TRUE(server->requests().empty());
}

TEST_F(HttpExchangeTest, https_verifiesChainAndHostName)
{
    if (!sandbox::httpsAvailable()) {
        GTEST_SKIP() << kNoHttpsSandbox;
    }
    const TestCertificates& certs = testCertificates();
    ASSERT_TRUE(certs.error.empty()) << certs.error;
    struct Case {
        const char* name;
        std::string cert;
        std::string key;
        std::string caFile;
        std::u16string expectedStart;
    };
    for (const Case& c : {
             Case{"trusted CA", certs.serverCertFile, certs.serverKeyFile, certs.caFile, u"{\"success\":true"},
             Case{"CA not trusted", certs.serverCertFile, certs.serverKeyFile, "",
                  u" ditolak: sertifikat keamanannya tidak dipercaya. Periksa tanggal dan jam komputer."},
             Case{"other host name", certs.otherHostCertFile, certs.otherHostKeyFile, certs.caFile,
                  u" ditolak: sertifikat keamanannya diterbitkan untuk nama server lain."},
         }) {
        sandbox::Options options;
        options.tlsCertFile = c.cert;
        options.tlsKeyFile = c.key;
        client::ClientSettings settings;
        settings.caFile = u16(c.caFile);
        startSandbox(options, settings);
        ASSERT_EQ(server->serverUrl().rfind("https://", 0), 0u);
        const std::u16string reply = client->GetSetting(u"versi");
        const std::u16string expected = c.expectedStart.starts_with(u"{")
                                            ? c.expectedStart
                                            : u"Error: Server Tervalis (" + serverUrl("") + u")" + c.expectedStart;
        EXPECT_EQ(reply.substr(0, expected.size()), expected) << c.name << ": " << u8(reply);
        const bool reached = !server->requests(sandbox::Side::Regional).empty();
        EXPECT_EQ(reached, c.caFile == certs.caFile && c.cert == certs.serverCertFile) << c.name;
    }
}

// A redirect from https to http is refused alike for a GET, which Qt follows, and a POST, which keeps
// its method and body.
TEST_F(HttpExchangeTest, redirectFromHttpsToHttp_isRefusedForGetAndPost)
{
    if (!sandbox::httpsAvailable()) {
        GTEST_SKIP() << kNoHttpsSandbox;
    }
    const TestCertificates& certs = testCertificates();
    ASSERT_TRUE(certs.error.empty()) << certs.error;
    sandbox::Options options;
    options.tlsCertFile = certs.serverCertFile;
    options.tlsKeyFile = certs.serverKeyFile;
    client::ClientSettings settings;
    settings.caFile = u16(certs.caFile);
    startSandbox(options, settings);
    for (const auto& [method, status] : {std::pair{u"GET", 302}, std::pair{u"POST", 307}}) {
        setScenario([&, status = status](sandbox::Scenario& s) {
            s.faultPath = "/api_api/";
            s.redirectStatus = status;
            s.redirectTo = server->localUrl() + "/behaviour/status?code=200";
        });
        server->clearRequests();
        EXPECT_EQ(client->HttpExchange(method, serverUrl("/api_api/kirim_data/1/getX"), std::nullopt,
                                       std::u16string_view(u"{}")),
                  failureText({.kind = platform::FailureKind::RedirectElsewhere,
                               .redirectTarget = u16(server->localUrl() + "/behaviour/status?code=200")},
                              client::Service::RegionalServer, serverUrl("")))
            << u8(method);
        EXPECT_EQ(server->requests().size(), 1u) << u8(method);
    }
}

// Every reply but a table's has a limit (here 64 KiB): beyond it the exchange fails, whether the length
// is announced (truly or not) or the reply simply goes on.
TEST_F(HttpExchangeTest, replyBeyondTheLimit_failsUnlessItIsATable)
{
    constexpr std::size_t kLimit = 64 * 1024;
    client::ClientSettings settings;
    settings.largestReply = kLimit;
    startSandbox({}, settings);
    const std::string table = sandbox::generateTable("getSiswa", 1000);
    ASSERT_GT(table.size(), 2 * kLimit);
    setScenario([&](sandbox::Scenario& s) {
        s.version = std::string(kLimit, '9');
        s.setTable("getSiswa", table);
    });
    const std::u16string tooLarge =
        failureText({.kind = platform::FailureKind::ReplyTooLarge}, client::Service::RegionalServer, serverUrl(""));
    struct Case {
        const char* name;
        std::function<std::u16string()> call;
        std::u16string expected;
    };
    for (const Case& c : {
             Case{"version check, length announced", [&] { return client->GetSetting(u"versi"); }, tooLarge},
             Case{"no length announced, 1 MiB",
                  [&] { return client->HttpExchange(u"GET", serverUrl("/behaviour/flood?bytes=1048576")); }, tooLarge},
             Case{"1 GiB announced, little sent",
                  [&] { return client->HttpExchange(u"GET", serverUrl("/behaviour/drop?length=1073741824")); },
                  tooLarge},
             Case{"exactly the limit",
                  [&] { return client->HttpExchange(u"GET", serverUrl("/behaviour/flood?bytes=65536")); },
                  std::u16string(kLimit, u'x')},
             Case{"a table", [&] { return client->SendTable(u"getSiswa", npsn, token); }, u"sukses"},
         }) {
        EXPECT_EQ(c.call(), c.expected) << c.name;
    }
}

// A redirect is followed within its origin only, so that the token of a table request, a table and the
// operator's password go nowhere else: another port or another host name is another origin.
TEST_F(HttpExchangeTest, redirectToAnotherOrigin_isNotFollowed)
{
    const std::string elsewhere = "/behaviour/status?code=200&body=diikuti";
    const std::u16string local = u16(server->localUrl());
    const sandbox::LocalUser& user = school.users.front();
    const auto sendTable = [&] { return client->SendTable(u"getSiswa", npsn, token); };
    const auto login = [&] { return client->CheckUser(npsn, u16(user.username), u16(user.password)); };
    const auto usersList = [&] {
        client->CheckEmail(npsn, token, u16(user.username));
        return refusals.shown.back();
    };
    const auto refused = [&](client::Service service, const std::u16string& base, const std::string& origin) {
        return failureText(
            {.kind = platform::FailureKind::RedirectElsewhere, .redirectTarget = u16(origin + elsewhere)}, service,
            base);
    };
    const std::string otherHost = "http://localhost:" + std::to_string(server->localPort());
    struct Case {
        const char* name;
        std::string faultPath;
        int status;
        std::string origin; // where the redirect points, before `elsewhere`
        std::function<std::u16string()> call;
        std::u16string expected;
        bool followed;
    };
    for (const Case& c : {
             Case{"table request 302, other port", "/WebService/", 302, server->serverUrl(), sendTable, u"gagal",
                  false},
             Case{"table request 307, other host", "/WebService/", 307, otherHost, sendTable, u"gagal", false},
             Case{"users list 302, other port", "/WebService/", 302, server->serverUrl(), usersList,
                  refused(client::Service::LocalMurenta, local, server->serverUrl()), false},
             Case{"upload 307, other port", "/api_api/kirim_data/", 307, server->localUrl(), sendTable,
                  refused(client::Service::RegionalServer, serverUrl(""), server->localUrl()), false},
             Case{"upload 308, other port", "/api_api/kirim_data/", 308, server->localUrl(), sendTable,
                  refused(client::Service::RegionalServer, serverUrl(""), server->localUrl()), false},
             Case{"login 307, other port", "/api_api/cek_pengguna", 307, server->localUrl(), login,
                  refused(client::Service::RegionalServer, serverUrl(""), server->localUrl()), false},
             Case{"login 307, same origin written in full", "/api_api/cek_pengguna", 307, server->serverUrl(), login,
                  u"diikuti", true},
         }) {
        setScenario([&](sandbox::Scenario& s) {
            s.faultPath = c.faultPath;
            s.redirectStatus = c.status;
            s.redirectTo = c.origin + elsewhere;
        });
        server->clearRequests();
        EXPECT_EQ(c.call(), c.expected) << c.name;
        const auto requests = server->requests();
        const bool followed = std::any_of(requests.begin(), requests.end(),
                                          [&](const sandbox::RecordedRequest& r) { return r.target == elsewhere; });
        EXPECT_EQ(followed, c.followed) << c.name;
    }
    EXPECT_TRUE(server->receivedTables().empty());
}

TEST_F(HttpExchangeTest, unreadableCaFile_failsEveryExchangeWithoutSending)
{
    client::ClientSettings settings;
    settings.caFile = u"/nonexistent/ca.pem";
    startSandbox({}, settings);
    EXPECT_EQ(client->setupError(), u"Sertifikat CA tidak dapat dibaca dari /nonexistent/ca.pem");
    EXPECT_EQ(client->GetSetting(u"versi"), u"Error: Sertifikat CA tidak dapat dibaca dari /nonexistent/ca.pem");
    EXPECT_TRUE(server->requests().empty());
}

TEST_F(HttpExchangeTest, whileWaiting_eventsRunAtLeastEvery50ms)
{
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longestGap = 0;
    int ticks = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - last);
        last = now;
        ++ticks;
    });
    clock.start();
    ticker.start(10);
    const std::u16string reply = client->HttpExchange(u"GET", serverUrl("/behaviour/slow?ms=1000"));
    const qint64 took = clock.elapsed();
    ticker.stop();
    EXPECT_EQ(reply, u"{\"success\":true,\"msg\":\"lambat\"}");
    EXPECT_GE(took, 1000);
    // About 100 ticks at 10 ms; the bounds leave room for a loaded machine and the sanitizer build.
    EXPECT_GE(ticks, 30);
    EXPECT_LE(longestGap, 250);
}

TEST_F(HttpExchangeTest, cancelAll_endsTheWaitAtOnceAndRefusesLaterExchanges)
{
    QTimer::singleShot(100, [this] { client->cancelAll(); });
    QElapsedTimer clock;
    clock.start();
    const std::u16string canceled = u"Error: Permintaan ke Server Tervalis (" + serverUrl("") + u") dibatalkan.";
    EXPECT_EQ(client->HttpExchange(u"GET", serverUrl("/behaviour/never")), canceled);
    EXPECT_LT(clock.elapsed(), 1000); // the receive time-out is 1500 ms
    EXPECT_TRUE(client->isCancelled());
    server->clearRequests();
    EXPECT_EQ(client->GetSetting(u"versi"), canceled);
    EXPECT_TRUE(server->requests().empty());
}

TEST_F(HttpExchangeTest, baseAddress_trailingSlashesDropped)
{
    for (const std::string suffix : {"", "/", "//"}) {
        client::ClientSettings settings;
        startSandbox({}, settings);
        settings.serverBase = u16(server->serverUrl() + suffix);
        settings.timeouts = shortTimeouts();
        client::Client c(settings, refusals);
        EXPECT_EQ(c.GetSetting(u"versi"), u"{\"success\":true,\"msg\":\"" MTH_VERSION "\"}") << suffix;
        ASSERT_EQ(server->requests().size(), 1u) << suffix;
        EXPECT_EQ(server->requests()[0].target, "/api_api/ambil_seting/versi") << suffix;
    }
}

// The one test with the real 30 s receive time-out.
TEST_F(HttpExchangeTest, slow_silentServer_failsAfterTheRealReceiveTimeout)
{
    client::ClientSettings settings;
    startSandbox({}, settings);
    settings.serverBase = u16(server->serverUrl());
    client::Client real(settings, refusals);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(real.HttpExchange(u"GET", serverUrl("/behaviour/never")),
              u"Error: Server Tervalis (" + serverUrl("") + u") tidak menjawab dalam batas waktu.");
    EXPECT_GE(clock.elapsed(), 30000);
    EXPECT_LT(clock.elapsed(), 33000);
}
