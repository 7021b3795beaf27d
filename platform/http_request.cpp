#include "platform/http_request.h"

#include "platform/qt_text.h"

#include "json/utf8.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

// Replies larger than this are received without reserving their announced length up front, so that a
// wrong Content-Length cannot make the program ask for memory it will never use.
constexpr qint64 kLargestReservation = qint64(1) << 30;
// Reply data is taken from Qt's buffer at most this much per event-loop turn: when the loop fell
// behind a fast sender, tens of megabytes can be waiting, and copying them in one go would stall it.
constexpr qint64 kLargestReadPerTurn = qint64(1) << 20;

// Why a request failed when its transfer fell below the rate floor.
std::u16string slowTransferDescription(std::int64_t floorBytes, std::chrono::milliseconds window)
{
    const auto number = [](std::int64_t value) {
        const std::string digits = std::to_string(value);
        return std::u16string(digits.begin(), digits.end());
    };
    const std::u16string amount =
        floorBytes % 1024 == 0 ? number(floorBytes / 1024) + u" KiB" : number(floorBytes) + u" byte";
    const std::u16string span =
        window.count() % 1000 == 0 ? number(window.count() / 1000) + u" detik" : number(window.count()) + u" ms";
    return u"Transfer data terlalu lambat: kurang dari " + amount + u" dalam " + span;
}

// The redirects of a request that keeps its method, refused as Qt refuses them for a GET.
constexpr char16_t kTooManyRedirects[] = u"Too many redirects";
constexpr char16_t kInsecureRedirect[] = u"Insecure redirect";

bool holdsLineBreakOrNul(const QByteArray& bytes)
{
    return bytes.contains('\r') || bytes.contains('\n') || bytes.contains('\0');
}

// The error Qt reports for a reply that arrived whole with this HTTP status: such a reply is a
// completed exchange, not a failure.
QNetworkReply::NetworkError errorForStatus(int status)
{
    switch (status) {
    case 400:
    case 418:
        return QNetworkReply::ProtocolInvalidOperationError;
    case 401:
        return QNetworkReply::AuthenticationRequiredError;
    case 403:
        return QNetworkReply::ContentAccessDenied;
    case 404:
        return QNetworkReply::ContentNotFoundError;
    case 405:
        return QNetworkReply::ContentOperationNotPermittedError;
    case 407:
        return QNetworkReply::ProxyAuthenticationRequiredError;
    case 409:
        return QNetworkReply::ContentConflictError;
    case 410:
        return QNetworkReply::ContentGoneError;
    case 500:
        return QNetworkReply::InternalServerError;
    case 501:
        return QNetworkReply::OperationNotImplementedError;
    case 503:
        return QNetworkReply::ServiceUnavailableError;
    default:
        if (status > 500) {
            return QNetworkReply::UnknownServerError;
        }
        if (status >= 400) {
            return QNetworkReply::UnknownContentError;
        }
        return QNetworkReply::NoError;
    }
}

// A request body made of byte arrays read in place: a table of a hundred megabytes goes out without
// first being copied into one array behind its wrapper. Random access, so Qt can rewind it for a
// resend.
class PiecesDevice final : public QIODevice {
public:
    explicit PiecesDevice(QByteArrayList pieces) : m_pieces(std::move(pieces))
    {
        for (const QByteArray& piece : m_pieces) {
            m_size += piece.size();
        }
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_size; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        qint64 skip = pos();
        qint64 copied = 0;
        for (const QByteArray& piece : m_pieces) {
            if (copied == maxSize) {
                break;
            }
            if (skip >= piece.size()) {
                skip -= piece.size();
                continue;
            }
            const qint64 count = std::min<qint64>(piece.size() - skip, maxSize - copied);
            std::memcpy(data + copied, piece.constData() + skip, static_cast<std::size_t>(count));
            copied += count;
            skip = 0;
        }
        return copied;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArrayList m_pieces;
    qint64 m_size = 0;
};

std::u16string describe(const QNetworkReply& reply, bool replyStarted)
{
    switch (reply.error()) {
    case QNetworkReply::HostNotFoundError:
        return u"The server name or address could not be resolved";
    case QNetworkReply::ConnectionRefusedError:
        return u"A connection with the server could not be established (connection refused)";
    case QNetworkReply::RemoteHostClosedError:
        return replyStarted ? u"The connection with the server was terminated abnormally"
                            : u"The server closed the connection without replying";
    case QNetworkReply::TimeoutError:
        return u"The operation timed out";
    case QNetworkReply::SslHandshakeFailedError:
        return u"A security error occurred (" + toU16(reply.errorString()) + u")";
    default:
        return toU16(reply.errorString());
    }
}

FailureKind certificateFailure(const std::vector<QSslError::SslError>& errors)
{
    if (errors.empty()) {
        return FailureKind::TlsFailed;
    }
    const bool mismatch = std::find(errors.begin(), errors.end(), QSslError::HostNameMismatch) != errors.end();
    return mismatch && errors.size() == 1 ? FailureKind::CertificateMismatch : FailureKind::CertificateUntrusted;
}

FailureKind kindOf(const QNetworkReply& reply, bool replyStarted, const std::vector<QSslError::SslError>& sslErrors)
{
    switch (reply.error()) {
    case QNetworkReply::HostNotFoundError:
        return FailureKind::NameNotResolved;
    case QNetworkReply::ConnectionRefusedError:
        return FailureKind::Refused;
    case QNetworkReply::RemoteHostClosedError:
        return replyStarted ? FailureKind::ConnectionDropped : FailureKind::ClosedWithoutReply;
    case QNetworkReply::SslHandshakeFailedError:
        return certificateFailure(sslErrors);
    default:
        return FailureKind::Other;
    }
}

QByteArray charsetOf(const QByteArray& contentType)
{
    for (const QByteArray& part : contentType.split(';')) {
        const QByteArray parameter = part.trimmed();
        if (parameter.size() > 8 && parameter.first(8).toLower() == "charset=") {
            QByteArray value = parameter.sliced(8).trimmed();
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) {
                value = value.sliced(1, value.size() - 2);
            }
            return value.toLower();
        }
    }
    return {};
}

bool namesWindows1252(QByteArrayView charset)
{
    for (const char* name : {"windows-1252", "cp1252", "x-cp1252"}) {
        if (charset.compare(name, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

// Windows-1252, the usual legacy charset of servers on Windows, for a Qt without ICU (the one for Windows
// knows only the Unicode charsets and Latin-1). It is Latin-1 but for 0x80-0x9F; the five positions it
// leaves undefined stay the C1 controls of the same value.
std::u16string decodeWindows1252(QByteArrayView body)
{
    static constexpr char16_t k80To9F[32] = {
        u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
        u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
        u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
        u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178'};
    std::u16string text;
    text.reserve(static_cast<std::size_t>(body.size()));
    for (const char c : body) {
        const auto byte = static_cast<unsigned char>(c);
        text += byte >= 0x80 && byte <= 0x9F ? k80To9F[byte - 0x80] : static_cast<char16_t>(byte);
    }
    return text;
}

} // namespace

std::u16string decodeBody(QByteArrayView body, QByteArrayView charset)
{
    const auto utf8 = [&] {
        return json::Utf8ToUtf16(std::string_view(body.data(), static_cast<std::size_t>(body.size())));
    };
    if (charset.isEmpty() || charset.compare("utf-8", Qt::CaseInsensitive) == 0 ||
        charset.compare("utf8", Qt::CaseInsensitive) == 0) {
        return utf8();
    }
    QStringDecoder decoder(charset.toByteArray().constData());
    if (!decoder.isValid()) {
        return namesWindows1252(charset) ? decodeWindows1252(body) : utf8();
    }
    const QString text = decoder(body);
    return toU16(text);
}

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
        m_setupFailure = u"The address is not a valid http or https URL: " + std::u16string(url);
        m_setupFailureKind = FailureKind::InvalidAddress;
    }
}

void HttpRequest::SetRequestHeader(std::u16string_view name, std::u16string_view value)
{
    QByteArray n = toUtf8Bytes(name);
    QByteArray v = toUtf8Bytes(value);
    if (m_setupFailure.empty() && (holdsLineBreakOrNul(n) || holdsLineBreakOrNul(v))) {
        m_setupFailure =
            u"The request header " + std::u16string(name) + u" holds a line break or a NUL character and was not sent";
        m_setupFailureKind = FailureKind::HeaderRefused;
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
    if (!m_setupFailure.empty()) {
        fail(m_setupFailureKind, std::exchange(m_setupFailure, {}));
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
    if (!qtFollowsRedirects()) {
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    }
    if (url.scheme().compare(u"https", Qt::CaseInsensitive) == 0) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
        if (!m_extraCa.isEmpty()) {
            tls.addCaCertificates(m_extraCa);
        }
        request.setSslConfiguration(tls);
    }

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
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [this] {
        m_replyStarted = true;
        enterReceive();
        bool known = false;
        const qint64 length = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && length > m_body.capacity() && length <= kLargestReservation) {
            m_body.reserve(length);
        }
        m_charset = charsetOf(m_reply->rawHeader("Content-Type"));
        noteFlow(Flow::Download, m_received);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [this] {
        enterReceive();
        readAvailable();
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this] { onFinished(); });
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [this](const QList<QSslError>& errors) {
        for (const QSslError& error : errors) {
            m_sslErrors.push_back(error.error());
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
    arm(Phase::Resolve);
}

bool HttpRequest::qtFollowsRedirects() const
{
    return m_method == "GET" || m_method == "HEAD";
}

bool HttpRequest::followRedirectKeepingMethod(int status)
{
    const QByteArray location = m_reply->rawHeader("Location");
    if (qtFollowsRedirects() || (status != 307 && status != 308) || location.isEmpty()) {
        return false;
    }
    const QUrl from = m_reply->url();
    const QUrl to = from.resolved(QUrl::fromEncoded(location));
    if (m_redirectsLeft == 0) {
        fail(FailureKind::Other, kTooManyRedirects);
        return true;
    }
    if (from.scheme() == u"https" && to.scheme() == u"http") {
        fail(FailureKind::Other, kInsecureRedirect);
        return true;
    }
    if (to.scheme() != u"http" && to.scheme() != u"https") {
        return false;
    }
    --m_redirectsLeft;
    QNetworkReply* redirect = std::exchange(m_reply, nullptr);
    QObject::disconnect(redirect, nullptr, nullptr, nullptr);
    if (m_bodyDevice) {
        m_bodyDevice.release()->setParent(redirect);
    }
    redirect->deleteLater();
    m_body.clear();
    m_received = 0;
    m_charset.clear();
    sendTo(to);
    return true;
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
    if (!m_reply || !m_reply->isOpen()) {
        return false;
    }
    const qint64 available = std::min(m_reply->bytesAvailable(), kLargestReadPerTurn);
    if (available <= 0) {
        return false;
    }
    const qsizetype before = m_body.size();
    m_body.resize(before + available);
    const qint64 read = std::max<qint64>(m_reply->read(m_body.data() + before, available), 0);
    m_body.resize(before + read);
    m_received += read;
    noteFlow(Flow::Download, m_received);
    return read > 0 && m_reply->bytesAvailable() > 0;
}

void HttpRequest::readAvailable()
{
    if (readSome() && !m_readScheduled) {
        m_readScheduled = true;
        QMetaObject::invokeMethod(
            m_reply,
            [this] {
                m_readScheduled = false;
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
    if (!m_cancelled && readSome()) {
        QMetaObject::invokeMethod(m_reply, [this] { onFinished(); }, Qt::QueuedConnection);
        return;
    }
    m_phase = Phase::Done;
    if (m_cancelled) {
        fail(FailureKind::Canceled, u"The operation has been canceled");
    } else if (m_tooSlow) {
        fail(FailureKind::SlowTransfer, slowTransferDescription(m_rateFloorBytes, m_rateWindow));
    } else if (m_timedOutIn != Phase::Idle) {
        switch (m_timedOutIn) {
        case Phase::Resolve:
            fail(FailureKind::ResolveTimeout, u"The operation timed out while resolving the server name");
            break;
        case Phase::Connect:
            fail(FailureKind::ConnectTimeout, u"The operation timed out while connecting to the server");
            break;
        case Phase::Send:
            fail(FailureKind::SendTimeout, u"The operation timed out while sending the request");
            break;
        default:
            fail(m_replyStarted ? FailureKind::ReplyStalled : FailureKind::SilentServer,
                 u"The operation timed out while waiting for the reply");
            break;
        }
    } else {
        const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const QNetworkReply::NetworkError error = m_reply->error();
        if (error == QNetworkReply::NoError || (status.isValid() && error == errorForStatus(status.toInt()))) {
            if (followRedirectKeepingMethod(status.toInt())) {
                return;
            }
            m_requestBody = {};
            m_finished = true;
            m_status = status.toInt();
        } else {
            fail(kindOf(*m_reply, status.isValid(), m_sslErrors), describe(*m_reply, status.isValid()));
        }
    }
    if (m_waitLoop) {
        m_waitLoop->quit();
    }
}

void HttpRequest::fail(FailureKind kind, std::u16string description)
{
    m_failureKind = kind;
    m_timer.stop();
    stopFlow();
    m_requestBody = {};
    m_phase = Phase::Done;
    m_finished = true;
    m_failure = std::move(description);
    m_body = {};
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
        fail(FailureKind::Canceled, u"The operation has been canceled");
    }
}

WaitStatus HttpRequest::WaitForResponse(std::chrono::milliseconds timeout)
{
    if (!m_finished && m_phase == Phase::Idle) {
        fail(FailureKind::Other, u"The request was never sent");
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
    return m_failure.empty() ? WaitStatus::Complete : WaitStatus::Failed;
}

std::u16string HttpRequest::ResponseText() const
{
    return decodeBody(m_body, m_charset);
}

} // namespace platform
