#include "client/http_exchange.h"

#include "client/failure_description.h"
#include "client/request_text.h"
#include "platform/http_request.h"
#include "platform/qt_text.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <QUrl>

#include <algorithm>

namespace client {

namespace {

bool startsWithBase(std::u16string_view url, std::u16string_view base)
{
    if (base.empty() || !url.starts_with(base)) {
        return false;
    }
    const std::u16string_view rest = url.substr(base.size());
    return rest.empty() || rest.front() == u'/' || rest.front() == u'?';
}

// Scheme, host and port of an address, or the whole text when it has none of them.
std::u16string originOf(std::u16string_view url)
{
    const QUrl parsed(QString::fromUtf16(url.data(), static_cast<qsizetype>(url.size())), QUrl::TolerantMode);
    if (!parsed.isValid() || parsed.host().isEmpty()) {
        return std::u16string(url);
    }
    return parsed.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
        .toString()
        .toStdU16String();
}

void dropTrailingSlashes(std::u16string& base)
{
    while (!base.empty() && base.back() == u'/') {
        base.pop_back();
    }
}

} // namespace

std::u16string defaultServerBase()
{
    return QStringLiteral(MTH_SERVER_URL).toStdU16String();
}

std::u16string Client::Reply::text() const
{
    return ok() ? platform::decodeBody(body, charset) : u"Error: " + failure;
}

Client::Client(ClientSettings settings, platform::Dialogs& dialogs)
    : m_settings(std::move(settings)), m_dialogs(dialogs)
{
    dropTrailingSlashes(m_settings.serverBase);
    dropTrailingSlashes(m_settings.localBase);
    if (!m_settings.caFile.empty()) {
        platform::CaCertificates ca = platform::loadCaFile(QString::fromStdU16String(m_settings.caFile));
        m_extraCa = std::move(ca.certificates);
        m_setupError = std::move(ca.error);
    }
}

Client::~Client()
{
    joinTableReader();
}

std::u16string Client::serverUrl(std::u16string_view path) const
{
    return m_settings.serverBase + std::u16string(path);
}

std::u16string Client::localUrl(std::u16string_view endpoint, std::u16string_view npsn) const
{
    return m_settings.localBase + u"/WebService/" + percentEncode(endpoint) + u"?npsn=" + percentEncode(npsn);
}

Client::Reply Client::failed(platform::FailureKind kind, std::u16string_view url, std::u16string_view detail) const
{
    ServiceAddress where{Service::RegionalServer, originOf(url)};
    if (startsWithBase(url, m_settings.localBase)) {
        where = {Service::LocalMurenta, m_settings.localBase};
    } else if (startsWithBase(url, m_settings.serverBase)) {
        where.address = m_settings.serverBase;
    }
    return {{}, {}, describeFailure(kind, where, detail), 0, kind};
}

void Client::cancelAll()
{
    m_cancelled = true;
    // Aborting finishes each request at once; its wait loop then returns the failure.
    for (platform::HttpRequest* request : m_inFlight) {
        request->abort();
    }
}

Client::Reply Client::exchange(std::u16string_view method, std::u16string_view url,
                               std::optional<std::u16string_view> token, std::optional<QByteArrayList> body,
                               ReplySize size)
{
    if (m_cancelled) {
        return failed(platform::FailureKind::Canceled, url, {});
    }
    if (!m_setupError.empty()) {
        return {{}, {}, m_setupError};
    }
    platform::HttpRequest request;
    const Timeouts& t = m_settings.timeouts;
    request.setTimeouts(t.resolve, t.connect, t.send, t.receive);
    request.setTransferRateFloor(t.rateFloorBytes, t.rateWindow);
    request.setExtraCaCertificates(m_extraCa);
    if (size == ReplySize::Limited) {
        request.setReplyLimit(m_settings.largestReply);
    }
    request.Open(method, url, true);
    if (m_progressObserver) {
        m_progressObserver({url, 0, 0});
        request.setProgressHandler([this, url, received = qint64(0), sent = qint64(0)](qint64 in, qint64 out) mutable {
            received = in >= 0 ? in : received;
            sent = out >= 0 ? out : sent;
            m_progressObserver({url, received, sent});
        });
    }
    if (token) {
        request.SetRequestHeader(u"Authorization", u"Bearer " + std::u16string(*token));
    }
    request.SetRequestHeader(u"Content-Type", u"application/json");
    if (body) {
        request.Send(std::move(*body));
    } else {
        request.Send();
    }

    m_inFlight.push_back(&request);
    platform::WaitStatus status;
    do {
        status = request.WaitForResponse(kWaitSlice);
        QCoreApplication::processEvents();
    } while (status == platform::WaitStatus::Pending);
    m_inFlight.erase(std::find(m_inFlight.begin(), m_inFlight.end(), &request));

    if (status == platform::WaitStatus::Failed) {
        // A redirect that was not followed is told by where it pointed.
        const std::u16string& detail = request.failureKind() == platform::FailureKind::RedirectElsewhere
                                           ? request.redirectTarget()
                                           : request.failure();
        return failed(request.failureKind(), url, detail);
    }
    return {request.takeResponseBody(), request.responseCharset(), {}, request.status()};
}

bool Client::waitUntil(const std::function<bool()>& ready)
{
    while (!ready()) {
        if (m_cancelled) {
            return false;
        }
        // Returns after the next event, the wake-up of whatever made `ready` say yes among them: no timer
        // ticks meanwhile.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

std::u16string Client::HttpExchange(std::u16string_view method, std::u16string_view url,
                                    std::optional<std::u16string_view> token, std::optional<std::u16string_view> body)
{
    std::optional<QByteArrayList> bytes;
    if (body) {
        bytes = QByteArrayList{platform::toUtf8Bytes(*body)};
    }
    return exchange(method, url, token, std::move(bytes)).text();
}

} // namespace client
