#include "platform/http_request.h"
#include "raw_socket.h"
#include "sandbox/sandbox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <set>

using platform::FailureKind;
using platform::HttpRequest;
using platform::WaitStatus;
using std::chrono::milliseconds;
using testing_support::closeRawSocket;
using testing_support::loopbackAddress;
using testing_support::makeNonBlocking;
using testing_support::openTcpSocket;
using testing_support::RawSocket;
using testing_support::waitWritable;

namespace {

std::u16string u16(const std::string& text)
{
    return QString::fromStdString(text).toStdU16String();
}

// Waits in slices until the request ends, as the exchange does.
WaitStatus finish(HttpRequest& request)
{
    WaitStatus status;
    while ((status = request.WaitForResponse(milliseconds(50))) == WaitStatus::Pending) {
    }
    return status;
}

struct Outcome {
    WaitStatus status;
    platform::RequestFailure failure;
    QByteArray body;
    qint64 elapsedMs;
};

Outcome run(const std::string& method, const std::string& url, std::optional<QByteArray> body, milliseconds connect,
            milliseconds send, milliseconds receive)
{
    HttpRequest request;
    request.setTimeouts(milliseconds(2000), connect, send, receive);
    request.Open(u16(method), u16(url), true);
    request.SetRequestHeader(u"Content-Type", u"application/json");
    QElapsedTimer clock;
    clock.start();
    if (body) {
        request.Send(*body);
    } else {
        request.Send();
    }
    const WaitStatus status = finish(request);
    return {status, request.failure(), request.takeResponseBody(), clock.elapsed()};
}

// A listener whose accept queue is full, so that a further connection attempt is never answered.
class FullBacklog final {
public:
    FullBacklog()
    {
        m_listener = openTcpSocket();
        sockaddr_in address = loopbackAddress(0);
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 0);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        // Connect until one attempt gets no answer: the queue is then full and drops every SYN.
        for (int i = 0; i < 16 && !full; ++i) {
            const RawSocket filler = openTcpSocket();
            m_fillers.push_back(filler);
            makeNonBlocking(filler);
            ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
            full = !waitWritable(filler, 300);
        }
    }
    ~FullBacklog()
    {
        for (const RawSocket filler : m_fillers) {
            closeRawSocket(filler);
        }
        closeRawSocket(m_listener);
    }
    FullBacklog(const FullBacklog&) = delete;
    FullBacklog& operator=(const FullBacklog&) = delete;

    int port = 0;
    bool full = false;

private:
    RawSocket m_listener{};
    std::vector<RawSocket> m_fillers;
};

std::set<std::string> targetsOf(const std::vector<sandbox::RecordedRequest>& requests)
{
    std::set<std::string> targets;
    for (const sandbox::RecordedRequest& r : requests) {
        targets.insert(r.target);
    }
    return targets;
}

class HttpRequestTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(server.start()); }
    std::string url(const std::string& path) const { return server.serverUrl() + path; }

    sandbox::Sandbox server;
};

} // namespace

TEST_F(HttpRequestTest, timeouts_eachPhaseFailsWithItsOwnKind)
{
    FullBacklog blackHole;
    ASSERT_TRUE(blackHole.full);
    const QByteArray big(32 * 1024 * 1024, 'x');
    struct Case {
        const char* name;
        std::string method;
        std::string url;
        std::optional<QByteArray> body;
        FailureKind failure;
    };
    for (const Case& c : {
             Case{"connect", "GET", "http://127.0.0.1:" + std::to_string(blackHole.port) + "/", std::nullopt,
                  FailureKind::ConnectTimeout},
             Case{"send", "POST", url("/behaviour/unread"), big, FailureKind::SendTimeout},
             Case{"receive, nothing", "GET", url("/behaviour/never"), std::nullopt, FailureKind::SilentServer},
             Case{"receive, stalled after some bytes", "GET", url("/behaviour/stall"), std::nullopt,
                  FailureKind::ReplyStalled},
         }) {
        const Outcome o = run(c.method, c.url, c.body, milliseconds(300), milliseconds(300), milliseconds(300));
        EXPECT_EQ(o.status, WaitStatus::Failed) << c.name;
        EXPECT_EQ(o.failure.kind, c.failure) << c.name;
        EXPECT_GE(o.elapsedMs, 290) << c.name;
        EXPECT_LT(o.elapsedMs, 5000) << c.name;
        EXPECT_TRUE(o.body.isEmpty()) << c.name;
    }
}

TEST_F(HttpRequestTest, timeouts_arePausesNotDeadlines)
{
    struct Case {
        const char* name;
        std::string method;
        std::string url;
        std::optional<QByteArray> body;
        milliseconds receive;
        QByteArray expected;
    };
    // Each request takes longer in all than its send time-out (300 ms) and its receive time-out; the
    // slow replies show that waiting for the reply no longer counts as sending, however short the body.
    for (const Case& c : {
             Case{"reply flowing in pieces", "GET", url("/behaviour/trickle?chunks=8&ms=100"), std::nullopt,
                  milliseconds(400),
                  "potongan 1\npotongan 2\npotongan 3\npotongan 4\npotongan 5\npotongan 6\npotongan 7\npotongan 8\n"},
             Case{"small body, slow reply", "POST", url("/behaviour/slow?ms=700"), QByteArray("{\"a\":1}"),
                  milliseconds(3000), "{\"success\":true,\"msg\":\"lambat\"}"},
             Case{"4 MB body, slow reply", "POST", url("/behaviour/slow?ms=700"), QByteArray(4 << 20, 'y'),
                  milliseconds(3000), "{\"success\":true,\"msg\":\"lambat\"}"},
         }) {
        const Outcome o = run(c.method, c.url, c.body, milliseconds(2000), milliseconds(300), c.receive);
        EXPECT_EQ(o.status, WaitStatus::Complete) << c.name << ": " << static_cast<int>(o.failure.kind);
        EXPECT_EQ(o.body, c.expected) << c.name;
        EXPECT_GE(o.elapsedMs, 700) << c.name;
    }
}

TEST_F(HttpRequestTest, redirects_onlyGetChangesNothingAndPostKeepsItsMethodOrStops)
{
    struct Case {
        const char* name;
        std::string method;
        int status;
        bool followed;
    };
    const QByteArray body = "{\"data_json\":{\"results\":1}}";
    for (const Case& c : {
             Case{"GET 302", "GET", 302, true},
             Case{"GET 307", "GET", 307, true},
             Case{"POST 301", "POST", 301, false},
             Case{"POST 302", "POST", 302, false},
             Case{"POST 303", "POST", 303, false},
             Case{"POST 307", "POST", 307, true},
             Case{"POST 308", "POST", 308, true},
         }) {
        sandbox::Scenario scenario;
        scenario.faultPath = "/api_api/";
        scenario.redirectStatus = c.status;
        server.setScenario(scenario);
        server.clearRequests();
        const std::string target = "/api_api/ambil_seting/versi";
        const bool post = c.method == "POST";
        const Outcome o = run(c.method, url(target), post ? std::optional(body) : std::nullopt, milliseconds(2000),
                              milliseconds(2000), milliseconds(2000));
        ASSERT_EQ(o.status, WaitStatus::Complete) << c.name;
        const auto requests = server.requests();
        // Qt may send a GET twice on a kept-alive connection; each address counts once.
        const std::set<std::string> targets = targetsOf(requests);
        ASSERT_EQ(targets.size(), c.followed ? 2u : 1u) << c.name;
        if (!c.followed) {
            EXPECT_EQ(o.body.toStdString(), "Dipindahkan ke /moved" + target) << c.name;
            continue;
        }
        const sandbox::RecordedRequest& moved = requests.back();
        EXPECT_EQ(moved.method, c.method) << c.name;
        EXPECT_EQ(moved.target, "/moved" + target) << c.name;
        if (post) {
            EXPECT_EQ(moved.body, body.toStdString()) << c.name;
            EXPECT_EQ(moved.header("Content-Type"), "application/json") << c.name;
        }
        // A POST to the settings route is no question the server knows.
        EXPECT_EQ(o.body,
                  post ? "{\"success\":false,\"msg\":\"Alamat tidak dikenal\"}" : "{\"success\":true,\"msg\":\"2.0\"}")
            << c.name;
    }
}

TEST_F(HttpRequestTest, endlessRedirects_stopAfterTheSameNumberOfHopsForGetAndPost)
{
    std::vector<std::size_t> hops;
    for (const auto& [method, status] : {std::pair{"GET", 302}, std::pair{"POST", 307}}) {
        sandbox::Scenario scenario;
        scenario.redirectStatus = status; // every path, /moved/... included
        server.setScenario(scenario);
        server.clearRequests();
        const Outcome o = run(method, url("/api_api/x"),
                              method == std::string("POST") ? std::optional<QByteArray>("{}") : std::nullopt,
                              milliseconds(2000), milliseconds(2000), milliseconds(2000));
        EXPECT_EQ(o.status, WaitStatus::Failed) << method;
        EXPECT_EQ(o.failure.kind, FailureKind::Other) << method;
        EXPECT_EQ(o.failure.detail, u"Too many redirects") << method;
        hops.push_back(targetsOf(server.requests()).size());
    }
    EXPECT_EQ(hops, (std::vector<std::size_t>{51, 51}));
}

// Each hop starts afresh: a second hop that never answers is a silent server, although the reply of the
// first (the redirect) had begun.
TEST_F(HttpRequestTest, failureOnASecondHop_isDescribedByThatHop)
{
    for (const auto& [method, status] : {std::pair{"GET", 302}, std::pair{"POST", 307}}) {
        sandbox::Scenario scenario;
        scenario.faultPath = "/api_api/";
        scenario.redirectStatus = status;
        scenario.redirectTo = "/behaviour/never";
        server.setScenario(scenario);
        server.clearRequests();
        const Outcome o = run(method, url("/api_api/x"),
                              method == std::string("POST") ? std::optional<QByteArray>("{}") : std::nullopt,
                              milliseconds(2000), milliseconds(2000), milliseconds(300));
        EXPECT_EQ(o.failure.kind, FailureKind::SilentServer) << method;
        EXPECT_EQ(targetsOf(server.requests()), (std::set<std::string>{"/api_api/x", "/behaviour/never"})) << method;
    }
}

// A body that leaves slowly but without long pauses passes every send time-out; the floor ends it.
TEST_F(HttpRequestTest, uploadBelowTheRateFloor_failsAsASlowTransfer)
{
    HttpRequest request;
    request.setTimeouts(milliseconds(2000), milliseconds(2000), milliseconds(5000), milliseconds(5000));
    request.setTransferRateFloor(2 << 20, milliseconds(500));
    request.Open(u"POST", u16(url("/behaviour/sip?ms=100")), true);
    request.Send(QByteArray(8 << 20, 'x'));
    EXPECT_EQ(finish(request), WaitStatus::Failed);
    EXPECT_EQ(request.failure().kind, FailureKind::SlowTransfer);
    EXPECT_EQ(request.failure().floorBytes, 2 << 20);
    EXPECT_EQ(request.failure().floorWindow, milliseconds(500));
}

TEST_F(HttpRequestTest, replyBelowTheRateFloor_failsNamingTheFloor)
{
    struct Case {
        std::int64_t floorBytes;
        milliseconds window;
    };
    // The trickle brings 11 bytes every 100 ms, and never pauses as long as the receive time-out.
    for (const Case& c : {Case{1024, milliseconds(1000)}, Case{500, milliseconds(400)}}) {
        HttpRequest request;
        request.setTimeouts(milliseconds(2000), milliseconds(2000), milliseconds(2000), milliseconds(2000));
        request.setTransferRateFloor(c.floorBytes, c.window);
        request.Open(u"GET", u16(url("/behaviour/trickle?chunks=200&ms=100")), true);
        request.Send();
        EXPECT_EQ(finish(request), WaitStatus::Failed);
        EXPECT_EQ(request.failure().kind, FailureKind::SlowTransfer) << c.floorBytes;
        EXPECT_EQ(request.failure().floorBytes, c.floorBytes);
        EXPECT_EQ(request.failure().floorWindow, c.window);
    }
}

TEST_F(HttpRequestTest, freshObjects_shareNoConnectionAndNoCookie)
{
    for (const char* path : {"/behaviour/cookie", "/behaviour/status?code=200"}) {
        const Outcome o =
            run("GET", url(path), std::nullopt, milliseconds(2000), milliseconds(2000), milliseconds(2000));
        ASSERT_EQ(o.status, WaitStatus::Complete) << path;
    }
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].connection, requests[1].connection);
    EXPECT_EQ(requests[1].requestsOnIt, 1);
    EXPECT_FALSE(requests[1].header("Cookie"));
}

// The check above can fail: one shared manager, as Qt is normally used, reuses the connection and sends
// the cookie back.
TEST_F(HttpRequestTest, sharedManager_wouldReuseConnectionAndSendCookie)
{
    QNetworkAccessManager shared;
    for (const char* path : {"/behaviour/cookie", "/behaviour/status?code=200"}) {
        QNetworkRequest request(QUrl(QString::fromStdString(url(path))));
        request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
        std::unique_ptr<QNetworkReply> reply(shared.get(request));
        // In slices, as the program waits: under Wine a wait for more events can miss the reply's end.
        while (!reply->isFinished()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
    }
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].connection, requests[1].connection);
    EXPECT_EQ(requests[1].header("Cookie"), "sid=sandbox-cookie");
}

TEST_F(HttpRequestTest, waitForResponse_returnsWithinItsSliceWhileTheRequestGoesOn)
{
    HttpRequest request;
    request.Open(u"GET", u16(url("/behaviour/slow?ms=400")), true);
    request.Send();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(request.WaitForResponse(milliseconds(50)), WaitStatus::Pending);
    EXPECT_LT(clock.elapsed(), 200);
    EXPECT_EQ(finish(request), WaitStatus::Complete);
    EXPECT_EQ(request.ResponseText(), u"{\"success\":true,\"msg\":\"lambat\"}");
}

TEST_F(HttpRequestTest, synchronousOpen_sendReturnsWhenDone)
{
    HttpRequest request;
    request.Open(u"GET", u16(url("/behaviour/status?code=200&body=ok")), false);
    request.Send();
    EXPECT_TRUE(request.isFinished());
    EXPECT_EQ(request.WaitForResponse(milliseconds(0)), WaitStatus::Complete);
    EXPECT_EQ(request.ResponseText(), u"ok");
}

TEST_F(HttpRequestTest, abortAndMisuse_failWithTheirKinds)
{
    HttpRequest aborted;
    aborted.Open(u"GET", u16(url("/behaviour/never")), true);
    aborted.Send();
    EXPECT_EQ(aborted.WaitForResponse(milliseconds(50)), WaitStatus::Pending);
    aborted.abort();
    EXPECT_EQ(aborted.WaitForResponse(milliseconds(50)), WaitStatus::Failed);
    EXPECT_EQ(aborted.failure().kind, FailureKind::Canceled);

    HttpRequest unsent;
    unsent.Open(u"GET", u16(url("/behaviour/status")), true);
    EXPECT_EQ(unsent.WaitForResponse(milliseconds(50)), WaitStatus::Failed);
    EXPECT_EQ(unsent.failure().kind, FailureKind::Other);
    EXPECT_EQ(unsent.failure().detail, u"The request was never sent");

    HttpRequest nul;
    nul.Open(u"GET", u16(url("/behaviour/status")), true);
    nul.SetRequestHeader(u"X-Test", std::u16string(u"a\0b", 3));
    nul.Send();
    EXPECT_EQ(nul.WaitForResponse(milliseconds(50)), WaitStatus::Failed);
    EXPECT_EQ(nul.failure().kind, FailureKind::HeaderRefused);
    EXPECT_EQ(nul.failure().headerName, u"X-Test");
    for (const auto& r : server.requests()) {
        EXPECT_FALSE(r.header("X-Test")) << r.target;
    }
}

// When the application is told to quit while a request waits, every later event loop refuses to run;
// the wait must give the request up instead of spinning until the time-out.
TEST_F(HttpRequestTest, applicationQuitting_cancelsTheWaitingRequest)
{
    WaitStatus status = WaitStatus::Pending;
    FailureKind failure = FailureKind::None;
    int waits = 0;
    qint64 took = 0;
    QTimer::singleShot(0, [&] {
        HttpRequest request;
        request.setTimeouts(milliseconds(2000), milliseconds(2000), milliseconds(2000), milliseconds(5000));
        request.Open(u"GET", u16(url("/behaviour/never")), true);
        request.Send();
        QTimer::singleShot(100, qApp, &QCoreApplication::quit);
        QElapsedTimer clock;
        clock.start();
        while ((status = request.WaitForResponse(milliseconds(50))) == WaitStatus::Pending) {
            ++waits;
        }
        took = clock.elapsed();
        failure = request.failure().kind;
    });
    QCoreApplication::exec();
    EXPECT_EQ(status, WaitStatus::Failed);
    EXPECT_EQ(failure, FailureKind::Canceled);
    EXPECT_LT(waits, 10);
    EXPECT_LT(took, 2000);
}

TEST(DecodeBody, charsetNames)
{
    struct Case {
        const char* name;
        QByteArray body;
        QByteArray charset;
        std::u16string expected;
    };
    for (const Case& c : {
             Case{"none", "caf\xC3\xA9", "", u"caf\u00e9"},
             Case{"utf-8 any case", "caf\xC3\xA9", "UTF-8", u"caf\u00e9"},
             Case{"utf8", "\xF0\x9F\x98\x80", "utf8", u"\U0001F600"},
             Case{"latin1", "caf\xE9", "iso-8859-1", u"caf\u00e9"},
             // Decoded by Qt where it has ICU, by the program's own table where not (the Qt for Windows).
             Case{"windows-1252",
                  "\x80 \x93"
                  "caf\xE9\x94 \x8A\x9F\xFF",
                  "Windows-1252", u"\u20ac \u201ccaf\u00e9\u201d \u0160\u0178\u00ff"},
             Case{"cp1252 alias", "\x85\x99", "cp1252", u"\u2026\u2122"},
             Case{"unknown", "caf\xC3\xA9", "x-unknown", u"caf\u00e9"},
             Case{"bom kept", "\xEF\xBB\xBF{}", "", u"\ufeff{}"},
         }) {
        EXPECT_EQ(platform::decodeBody(c.body, c.charset), c.expected) << c.name;
    }
}

TEST(LoadCaFile, missingOrEmptyFile_givesError)
{
    EXPECT_EQ(platform::loadCaFile(QStringLiteral("/nonexistent.pem")).error,
              u"Sertifikat CA tidak dapat dibaca dari /nonexistent.pem");
    EXPECT_FALSE(platform::loadCaFile(QStringLiteral("/dev/null")).error.empty());
}
