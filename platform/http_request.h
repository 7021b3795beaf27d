#pragma once

// One HTTP request on Qt Network, driven the way the exchange drives its request object: set the
// time-outs, open, set headers in order, send, wait in short slices, read the reply. Every object makes
// one request with a network access manager of its own, so nothing passes from one request to the next:
// no cookies, no cached credentials, no kept-alive connection. HTTP/2 is off and the reply is asked for
// uncompressed ("Accept-Encoding: identity" unless a header of that name was set). HTTPS verifies the
// certificate chain and the host name; extra CA certificates can be added, verification can never be
// turned off. Needs a QCoreApplication; lives on the thread that created it.
//
// The four time-outs, as Qt lets them be measured (a value of zero waits without limit):
//  - resolve: from Send until the first connection attempt starts (the host name look-up);
//  - connect: from then until the connection is usable: TLS handshake done for HTTPS, the first request
//    bytes written for HTTP;
//  - send: the longest pause while the request body is written (re-armed on upload progress);
//  - receive: the longest pause while waiting for reply data: from the end of sending to the first
//    reply bytes, then between any two pieces of the reply. A reply that keeps flowing is never cut,
//    however long it takes in all.
// A phase that outlasts its time-out fails the request with the kind of that phase.
//
// The transfer rate has a floor as well: while the body is being sent, and from the reply's head to its
// end, at least 1 KiB must move in every 30 s (setTransferRateFloor), else the request fails as a slow
// transfer, naming that floor. The wait for the reply's head is bounded by the receive time-out alone.
//
// Redirects are followed within the origin only (scheme, host and port), so that the headers and the
// body, a token or a password among them, go nowhere but where they were sent: a GET or HEAD follows
// 301, 302, 303, 307 and 308 as it was; any other method follows only 307 and 308, with method and body
// kept; at most QNetworkRequest::maximumRedirectsAllowed hops. Each hop starts afresh: nothing of an
// earlier hop's reply (body, charset, whether it began, TLS errors) describes the next. A redirect that
// would be followed but points to another origin fails the request (RedirectElsewhere, naming where it
// pointed); any other redirect is taken as the reply.
//
// Reply size: a body beyond setReplyLimit fails the request (ReplyTooLarge), and one that does not fit
// in memory fails it too (OutOfMemory); either way what came is dropped and the program goes on. An
// announced length is reserved up front only up to a modest step; the buffer grows as the bytes come.
//
// The HTTP status is never judged: a reply with any status, 404 or 500 included, completes with its
// body. Failures are transport failures only (no connection, TLS refused, time-out, too slow, a refused
// redirect, connection lost, too large, cancelled): a RequestFailure value, for the caller to word.

#include "platform/reply_text.h"
#include "platform/request_failure.h"
#include "platform/transfer_rate_floor.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QEventLoop;
class QIODevice;
class QNetworkAccessManager;
class QNetworkReply;

namespace platform {

enum class WaitStatus {
    Pending,  // the time passed first; the request goes on
    Complete, // a reply arrived whole (any status)
    Failed,   // the request failed; see failure()
};

class HttpRequest final {
public:
    HttpRequest();
    ~HttpRequest(); // aborts a request still running
    Q_DISABLE_COPY_MOVE(HttpRequest)

    void setTimeouts(std::chrono::milliseconds resolve, std::chrono::milliseconds connect,
                     std::chrono::milliseconds send, std::chrono::milliseconds receive);
    // At least `floorBytes` must move in every `window` of a transfer (zero for either: no floor).
    void setTransferRateFloor(std::int64_t floorBytes, std::chrono::milliseconds window);
    // A reply body (of any hop) longer than this many bytes fails the request; zero for no limit.
    void setReplyLimit(qint64 bytes) { m_replyLimit = bytes; }
    // Trusted for HTTPS in addition to the system's CA certificates.
    void setExtraCaCertificates(QList<QSslCertificate> certificates);

    // Prepares the request. An address that is not an absolute http or https URL makes the request fail
    // when it is sent. With async false, Send returns only when the request has ended.
    void Open(std::u16string_view method, std::u16string_view url, bool async);
    // Adds a header; sent in the order added, after Host. A name or value holding a line break or a NUL
    // (which would let the value add headers of its own) makes the request fail when it is sent.
    void SetRequestHeader(std::u16string_view name, std::u16string_view value);
    // Starts the request, without a body or with these bytes (shared, not copied). A body given in
    // pieces is sent as the pieces one after another, read where they lie, never joined in memory.
    void Send();
    void Send(QByteArray body);
    void Send(QByteArrayList body);

    // Waits at most `timeout` (processing network events and timers, not user input). When the
    // application is quitting the request is cancelled instead of waited for.
    WaitStatus WaitForResponse(std::chrono::milliseconds timeout);
    // Ends a running request at once; it fails as Canceled.
    void abort();

    bool isFinished() const { return m_finished; }
    // The reply's HTTP status once WaitForResponse said Complete; 0 otherwise.
    int status() const { return m_status; }
    // What went wrong, once WaitForResponse said Failed; of kind None otherwise.
    const RequestFailure& failure() const { return m_failure; }
    // Called as reply bytes arrive and as body bytes are written, with the running total of that
    // direction and -1 for the other; for showing progress. Set before Send.
    void setProgressHandler(std::function<void(qint64 received, qint64 sent)> handler)
    {
        m_progressHandler = std::move(handler);
    }
    // The reply body decoded as its Content-Type charset says (UTF-8 when it names none or one Qt
    // does not know); empty before completion.
    std::u16string ResponseText() const;
    // The reply body as received, handed over (the request keeps none afterwards).
    QByteArray takeResponseBody() { return std::exchange(m_hop.body, {}); }
    // The charset the reply's Content-Type names, lower case; empty when it names none.
    const QByteArray& responseCharset() const { return m_hop.charset; }

private:
    enum class Phase { Idle, Resolve, Connect, Send, Receive, Done };

    // What the reply of one hop (the request, or its repeat after a redirect) has brought so far.
    struct Hop {
        QByteArray body;
        QByteArray charset;
        qint64 announcedLength = -1; // the Content-Length, -1 when none was sent
        bool replyStarted = false;
        bool readScheduled = false;
        std::vector<QSslError::SslError> sslErrors;
    };

    void start(QByteArrayList body, bool hasBody);
    // Sends one hop to `url`.
    void sendTo(const QUrl& url);
    // The request of a hop to `url`: headers, attributes and TLS settings, without its body.
    QNetworkRequest buildRequest(const QUrl& url) const;
    void connectReply();
    // Whether `status` is a redirect this method follows.
    bool followsRedirect(int status) const;
    // Starts the next hop and returns true when the reply is a redirect the request follows (or fails
    // the request when it points elsewhere or hops too often).
    bool followRedirect(int status);
    void onMetaData();
    // Room for `size` body bytes; the capacity grows in steps, up to the announced length.
    void makeRoom(qsizetype size);
    // Ends the reply; the request fails with `kind` when it finishes.
    void stop(FailureKind kind);
    void arm(Phase phase);
    // The kind of failure of a request whose phase outlasted its time-out.
    FailureKind timeoutKind() const;
    void enterReceive();
    enum class Flow { None, Upload, Download };
    // `total` bytes have moved in `flow` so far; a new direction starts a new count.
    void noteFlow(Flow flow, qint64 total);
    void stopFlow();
    bool readSome(); // true when more is waiting
    void readAvailable();
    void onFinished();
    void fail(RequestFailure failure);

    std::chrono::milliseconds m_resolveTimeout{5000};
    std::chrono::milliseconds m_connectTimeout{5000};
    std::chrono::milliseconds m_sendTimeout{15000};
    std::chrono::milliseconds m_receiveTimeout{30000};
    QList<QSslCertificate> m_extraCa;
    std::int64_t m_rateFloorBytes = 1024;
    std::chrono::milliseconds m_rateWindow{30000};
    qint64 m_replyLimit = 0;

    QByteArray m_method;
    QUrl m_url;
    bool m_async = true;
    std::vector<std::pair<QByteArray, QByteArray>> m_headers;
    QByteArrayList m_requestBody; // kept for a redirect that repeats the request
    bool m_requestHasBody = false;
    int m_redirectsLeft = QNetworkRequest().maximumRedirectsAllowed();
    RequestFailure m_setupFailure; // found by Open or SetRequestHeader, reported by Send

    std::unique_ptr<QIODevice> m_bodyDevice; // read by the reply, so it outlives m_manager
    std::unique_ptr<QNetworkAccessManager> m_manager;
    QNetworkReply* m_reply = nullptr; // owned by m_manager
    QTimer m_timer;
    QEventLoop* m_waitLoop = nullptr;
    Phase m_phase = Phase::Idle;
    Phase m_timedOutIn = Phase::Idle;
    TransferRateFloor m_rate{m_rateFloorBytes, m_rateWindow};
    QTimer m_rateTimer;
    Flow m_flow = Flow::None;
    bool m_tooSlow = false;
    FailureKind m_stoppedFor = FailureKind::None;
    bool m_hasBody = false;
    bool m_cancelled = false;
    bool m_finished = false;
    RequestFailure m_failure;
    std::function<void(qint64, qint64)> m_progressHandler;
    int m_status = 0;
    Hop m_hop;
};

// Reads CA certificates from a PEM file, for setExtraCaCertificates.
struct CaCertificates {
    QList<QSslCertificate> certificates;
    std::u16string error; // empty on success
};
CaCertificates loadCaFile(const QString& path);

} // namespace platform
