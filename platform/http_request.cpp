#include "platform/http_request.h"

#include "platform/pieces_device.h"
#include "platform/qt_text.h"
#include "platform/reply_errors.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>

#include <algorithm>
#include <new>

namespace platform {

namespace {

// The most of an announced length reserved before the bytes come, so that a wrong Content-Length
// cannot make the program ask for memory it will never use; beyond it the buffer grows as they come.
constexpr qint64 kLargestReservation = qint64(64) << 20;
// Reply data is taken from Qt's buffer at most this much per event-loop turn: when the loop fell
// behind a fast sender, megabytes can be waiting, and copying them in one go would stall it.
constexpr qint64 kLargestReadPerTurn = qint64(1) << 20;
// Qt stops reading from the network while this much waits to be read: otherwise a fast sender piles
// up its data in Qt's buffers beside the body, without bound, and when memory runs out it runs out
// there, where nothing can catch it.
constexpr qint64 kReadBuffer = 4 * kLargestReadPerTurn;

// Failures that have no kind of their own, in technical words.
constexpr char16_t kTooManyRedirects[] = u"Too many redirects";
constexpr char16_t kNeverSent[] = u"The request was never sent";

// Scheme, host and port alike: the only redirects a request follows.
bool sameOrigin(const QUrl& a, const QUrl& b)
{
    const auto defaultPort = [](const QUrl& url) { return url.scheme() == u"https" ? 443 : 80; };
    return a.scheme() == b.scheme() && a.host() == b.host() && a.port(defaultPort(a)) == b.port(defaultPort(b));
}

bool holdsLineBreakOrNul(const QByteArray& bytes)
{
    return bytes.contains('\r') || bytes.contains('\n') || bytes.contains('\0');
}

} // namespace

CaCertificates loadCaFile(const QString& path)
{
    CaCertificates result;
    result.certificates = QSslCertificate::fromPath(path, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
    if (result.certificates.isEmpty()) {
        result.error = u"Sertifikat CA tidak dapat dibaca dari " + toU16(path);
    }
    return result;
}

HttpRequest::HttpRequest()
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
        m_timedOutIn = m_phase;
        if (m_reply) {
            m_reply->abort();
        }
    });
    m_rateTimer.setSingleShot(true);
    m_rateTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_rateTimer, &QTimer::timeout, &m_rateTimer, [this] {
        m_tooSlow = true;
        if (m_reply) {
            m_reply->abort();
        }
    });
}

HttpRequest::~HttpRequest()
{
    m_timer.stop();
    if (m_reply) {
        QObject::disconnect(m_reply, nullptr, nullptr, nullptr);
        m_reply->abort();
    }
}

void HttpRequest::setTimeouts(std::chrono::milliseconds resolve, std::chrono::milliseconds connect,
                              std::chrono::milliseconds send, std::chrono::milliseconds receive)
{
    m_resolveTimeout = resolve;
    m_connectTimeout = connect;
    m_sendTimeout = send;
    m_receiveTimeout = receive;
}

void HttpRequest::setTransferRateFloor(std::int64_t floorBytes, std::chrono::milliseconds window)
{
    m_rateFloorBytes = floorBytes;
    m_rateWindow = window;
    m_rate = TransferRateFloor(floorBytes, window);
}

void HttpRequest::setExtraCaCertificates(QList<QSslCertificate> certificates)
{
    m_extraCa = std::move(certificates);
}

void HttpRequest::Open(std::u16string_view method, std::u16string_view url, bool async)
{
    m_method = toUtf8Bytes(method);
    m_url = QUrl(toQString(url), QUrl::TolerantMode);
    m_async = async;
    const QString scheme = m_url.scheme().toLower();
    if (!m_url.isValid() || (scheme != u"http" && scheme != u"https") || m_url.host().isEmpty()) {
        m_setupFailure = {.kind = FailureKind::InvalidAddress};
    }
}

void HttpRequest::SetRequestHeader(std::u16string_view name, std::u16string_view value)
{
    QByteArray n = toUtf8Bytes(name);
    QByteArray v = toUtf8Bytes(value);
    if (!m_setupFailure.failed() && (holdsLineBreakOrNul(n) || holdsLineBreakOrNul(v))) {
        m_setupFailure = {.kind = FailureKind::HeaderRefused, .headerName = std::u16string(name)};
    }
    m_headers.emplace_back(std::move(n), std::move(v));
}

void HttpRequest::Send()
{
    start({}, false);
}

void HttpRequest::Send(QByteArray body)
{
    start({std::move(body)}, true);
}

void HttpRequest::Send(QByteArrayList body)
{
    start(std::move(body), true);
}

void HttpRequest::start(QByteArrayList body, bool hasBody)
{
    if (m_phase != Phase::Idle || m_finished) {
        return;
    }
    if (m_setupFailure.failed()) {
        fail(std::exchange(m_setupFailure, {}));
        return;
    }
    m_requestBody = std::move(body);
    m_requestHasBody = hasBody;
    m_hasBody = hasBody && std::any_of(m_requestBody.cbegin(), m_requestBody.cend(),
                                       [](const QByteArray& piece) { return !piece.isEmpty(); });
    m_manager = std::make_unique<QNetworkAccessManager>();
    sendTo(m_url);

    if (!m_async) {
        while (WaitForResponse(std::chrono::milliseconds(50)) == WaitStatus::Pending) {
        }
    }
}

void HttpRequest::sendTo(const QUrl& url)
{
    m_hop = {};
    QNetworkRequest request = buildRequest(url);
    if (m_requestHasBody) {
        // Each hop reads the body afresh; a device read by an earlier hop goes with that hop's reply.
        m_bodyDevice = std::make_unique<PiecesDevice>(m_requestBody);
        // Unless told its length and that it need not be buffered, Qt first copies the whole body on
        // this thread.
        request.setHeader(QNetworkRequest::ContentLengthHeader, m_bodyDevice->size());
        request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
        m_reply = m_manager->sendCustomRequest(request, m_method, m_bodyDevice.get());
    } else {
        m_reply = m_manager->sendCustomRequest(request, m_method);
    }
    m_reply->setReadBufferSize(kReadBuffer);
    connectReply();
    arm(Phase::Resolve);
}

QNetworkRequest HttpRequest::buildRequest(const QUrl& url) const
{
    QNetworkRequest request(url);
    bool acceptEncodingSet = false;
    for (const auto& [name, value] : m_headers) {
        request.setRawHeader(name, value);
        acceptEncodingSet = acceptEncodingSet || name.compare("accept-encoding", Qt::CaseInsensitive) == 0;
    }
    // Qt would otherwise ask for compressed replies and turn a large one into a decompression error.
    if (!acceptEncodingSet) {
        request.setRawHeader("Accept-Encoding", "identity");
    }
    // The phase signals below are only known to mean what they say on HTTP/1.1.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    // Redirects are followed here, hop by hop, so that each hop starts afresh and none leaves the origin.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (url.scheme().compare(u"https", Qt::CaseInsensitive) == 0) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
        if (!m_extraCa.isEmpty()) {
            tls.addCaCertificates(m_extraCa);
        }
        request.setSslConfiguration(tls);
    }
    return request;
}

void HttpRequest::connectReply()
{
    QNetworkReply* reply = m_reply;
    QObject::connect(reply, &QNetworkReply::socketStartedConnecting, reply, [this] { arm(Phase::Connect); });
    QObject::connect(reply, &QNetworkReply::encrypted, reply, [this] {
        if (m_phase < Phase::Send) {
            arm(Phase::Send);
        }
    });
    // Written headers prove the connection; with a body, Qt says so after the first chunk, so the end of
    // sending is the last upload progress instead.
    QObject::connect(reply, &QNetworkReply::requestSent, reply, [this] {
        if (m_phase < Phase::Send) {
            arm(Phase::Send);
        }
        if (!m_hasBody) {
            enterReceive();
        }
    });
    QObject::connect(reply, &QNetworkReply::uploadProgress, reply, [this](qint64 sent, qint64 total) {
        if (total <= 0 || m_phase > Phase::Send) {
            return;
        }
        if (sent >= total) {
            stopFlow();
            enterReceive();
        } else {
            arm(Phase::Send);
            noteFlow(Flow::Upload, sent);
        }
    });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [this] { onMetaData(); });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [this] {
        enterReceive();
        readAvailable();
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this] { onFinished(); });
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [this](const QList<QSslError>& errors) {
        for (const QSslError& error : errors) {
            m_hop.sslErrors.push_back(error.error());
        }
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [this](qint64 received, qint64) {
        if (m_progressHandler) {
            m_progressHandler(received, -1);
        }
    });
    QObject::connect(reply, &QNetworkReply::uploadProgress, reply, [this](qint64 sent, qint64) {
        if (m_progressHandler) {
            m_progressHandler(-1, sent);
        }
    });
}

bool HttpRequest::followsRedirect(int status) const
{
    // Any other method would have to become a GET on 301, 302 and 303, without its body.
    if (m_method == "GET" || m_method == "HEAD") {
        return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    }
    return status == 307 || status == 308;
}

bool HttpRequest::followRedirect(int status)
{
    const QByteArray location = m_reply->rawHeader("Location");
    if (!followsRedirect(status) || location.isEmpty()) {
        return false;
    }
    const QUrl from = m_reply->url();
    const QUrl to = from.resolved(QUrl::fromEncoded(location));
    if (!sameOrigin(from, to)) {
        fail({.kind = FailureKind::RedirectElsewhere, .redirectTarget = toU16(to.toString(QUrl::RemoveUserInfo))});
        return true;
    }
    if (m_redirectsLeft == 0) {
        fail({.kind = FailureKind::Other, .detail = kTooManyRedirects});
        return true;
    }
    --m_redirectsLeft;
    QNetworkReply* redirect = std::exchange(m_reply, nullptr);
    QObject::disconnect(redirect, nullptr, nullptr, nullptr);
    if (m_bodyDevice) {
        m_bodyDevice.release()->setParent(redirect);
    }
    redirect->deleteLater();
    sendTo(to);
    return true;
}

void HttpRequest::onMetaData()
{
    m_hop.replyStarted = true;
    enterReceive();
    bool known = false;
    const qint64 length = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
    m_hop.announcedLength = known ? length : -1;
    if (known && m_replyLimit > 0 && length > m_replyLimit) {
        stop(FailureKind::ReplyTooLarge);
        return;
    }
    m_hop.charset = charsetOf(m_reply->rawHeader("Content-Type"));
    makeRoom(std::min(length, kLargestReservation));
    noteFlow(Flow::Download, m_hop.body.size());
}

void HttpRequest::makeRoom(qsizetype size)
{
    const qsizetype capacity = m_hop.body.capacity();
    if (size <= capacity || m_stoppedFor != FailureKind::None) {
        return;
    }
    qsizetype room = std::max(size, 2 * capacity);
    if (m_hop.announcedLength >= size) {
        room = std::min<qsizetype>(room, m_hop.announcedLength);
    }
    try {
        m_hop.body.reserve(room);
    } catch (const std::bad_alloc&) {
        stop(FailureKind::OutOfMemory);
    }
}

void HttpRequest::stop(FailureKind kind)
{
    if (m_stoppedFor == FailureKind::None) {
        m_stoppedFor = kind;
    }
    m_hop.body = {};
    // Not at once: Qt may still be inside the signal that brought the reply's head.
    QMetaObject::invokeMethod(m_reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

void HttpRequest::arm(Phase phase)
{
    m_phase = phase;
    std::chrono::milliseconds timeout{0};
    switch (phase) {
    case Phase::Resolve:
        timeout = m_resolveTimeout;
        break;
    case Phase::Connect:
        timeout = m_connectTimeout;
        break;
    case Phase::Send:
        timeout = m_sendTimeout;
        break;
    case Phase::Receive:
        timeout = m_receiveTimeout;
        break;
    case Phase::Idle:
    case Phase::Done:
        break;
    }
    if (timeout.count() > 0) {
        m_timer.start(timeout);
    } else {
        m_timer.stop();
    }
}

void HttpRequest::noteFlow(Flow flow, qint64 total)
{
    if (m_rateFloorBytes <= 0 || m_rateWindow.count() <= 0 || m_phase == Phase::Done) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (m_flow != flow) {
        m_flow = flow;
        m_rate.start(now);
    }
    m_rate.progress(total, now);
    m_rateTimer.start(
        std::max(std::chrono::milliseconds(0), std::chrono::ceil<std::chrono::milliseconds>(m_rate.deadline() - now)));
}

void HttpRequest::stopFlow()
{
    m_flow = Flow::None;
    m_rateTimer.stop();
}

void HttpRequest::enterReceive()
{
    if (m_phase != Phase::Done) {
        arm(Phase::Receive);
    }
}

bool HttpRequest::readSome()
{
    if (!m_reply || !m_reply->isOpen() || m_stoppedFor != FailureKind::None) {
        return false;
    }
    const qint64 available = std::min(m_reply->bytesAvailable(), kLargestReadPerTurn);
    if (available <= 0) {
        return false;
    }
    const qsizetype before = m_hop.body.size();
    if (m_replyLimit > 0 && before + available > m_replyLimit) {
        stop(FailureKind::ReplyTooLarge);
        return false;
    }
    makeRoom(before + available);
    if (m_stoppedFor != FailureKind::None) {
        return false;
    }
    m_hop.body.resize(before + available);
    const qint64 read = std::max<qint64>(m_reply->read(m_hop.body.data() + before, available), 0);
    m_hop.body.resize(before + read);
    noteFlow(Flow::Download, m_hop.body.size());
    return read > 0 && m_reply->bytesAvailable() > 0;
}

void HttpRequest::readAvailable()
{
    if (readSome() && !m_hop.readScheduled) {
        m_hop.readScheduled = true;
        QMetaObject::invokeMethod(
            m_reply,
            [this] {
                m_hop.readScheduled = false;
                readAvailable();
            },
            Qt::QueuedConnection);
    }
}

void HttpRequest::onFinished()
{
    m_timer.stop();
    stopFlow();
    if (m_finished) {
        return;
    }
    // What is still buffered is read a piece per turn before the request counts as finished.
    if (!m_cancelled && m_stoppedFor == FailureKind::None && readSome()) {
        QMetaObject::invokeMethod(
            m_reply, [this] { onFinished(); }, Qt::QueuedConnection);
        return;
    }
    m_phase = Phase::Done;
    if (m_cancelled) {
        fail({.kind = FailureKind::Canceled});
    } else if (m_stoppedFor != FailureKind::None) {
        fail({.kind = m_stoppedFor});
    } else if (m_tooSlow) {
        fail({.kind = FailureKind::SlowTransfer, .floorBytes = m_rateFloorBytes, .floorWindow = m_rateWindow});
    } else if (m_timedOutIn != Phase::Idle) {
        fail({.kind = timeoutKind()});
    } else {
        const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const QNetworkReply::NetworkError error = m_reply->error();
        if (error == QNetworkReply::NoError || (status.isValid() && error == errorForStatus(status.toInt()))) {
            if (followRedirect(status.toInt())) {
                return;
            }
            m_requestBody = {};
            m_finished = true;
            m_status = status.toInt();
        } else {
            fail(failureOf(*m_reply, status.isValid(), m_hop.sslErrors));
        }
    }
    if (m_waitLoop) {
        m_waitLoop->quit();
    }
}

FailureKind HttpRequest::timeoutKind() const
{
    switch (m_timedOutIn) {
    case Phase::Resolve:
        return FailureKind::ResolveTimeout;
    case Phase::Connect:
        return FailureKind::ConnectTimeout;
    case Phase::Send:
        return FailureKind::SendTimeout;
    default:
        return m_hop.replyStarted ? FailureKind::ReplyStalled : FailureKind::SilentServer;
    }
}

void HttpRequest::fail(RequestFailure failure)
{
    m_timer.stop();
    stopFlow();
    m_requestBody = {};
    m_phase = Phase::Done;
    m_finished = true;
    m_failure = std::move(failure);
    m_hop.body = {};
    if (m_waitLoop) {
        m_waitLoop->quit();
    }
}

void HttpRequest::abort()
{
    if (m_finished) {
        return;
    }
    m_cancelled = true;
    if (m_reply) {
        m_reply->abort();
    } else {
        fail({.kind = FailureKind::Canceled});
    }
}

WaitStatus HttpRequest::WaitForResponse(std::chrono::milliseconds timeout)
{
    if (!m_finished && m_phase == Phase::Idle) {
        fail({.kind = FailureKind::Other, .detail = kNeverSent});
    }
    if (!m_finished) {
        QEventLoop loop;
        QTimer slice;
        slice.setSingleShot(true);
        slice.setTimerType(Qt::PreciseTimer);
        QObject::connect(&slice, &QTimer::timeout, &loop, &QEventLoop::quit);
        slice.start(timeout);
        m_waitLoop = &loop;
        const int rc = loop.exec(QEventLoop::ExcludeUserInputEvents);
        m_waitLoop = nullptr;
        // An event loop refuses to run once the application has been told to quit; waiting again would
        // only spin, so the request is given up.
        if (rc == -1 && !m_finished) {
            abort();
        }
    }
    if (!m_finished) {
        return WaitStatus::Pending;
    }
    return m_failure.failed() ? WaitStatus::Failed : WaitStatus::Complete;
}

std::u16string HttpRequest::ResponseText() const
{
    return decodeBody(m_hop.body, m_hop.charset);
}

} // namespace platform
