#include "client/http_exchange.h"

#include "client/request_text.h"
#include "platform/http_request.h"

#include "json/utf8.h"

#include <QCoreApplication>
#include <QString>

#include <algorithm>

namespace client {

namespace {

constexpr char16_t kCanceled[] = u"The operation has been canceled";

QByteArray utf8Bytes(std::u16string_view text)
{
    const std::string bytes = json::Utf16ToUtf8(text);
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
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

Client::~Client() = default;

std::u16string Client::serverUrl(std::u16string_view path) const
{
    return m_settings.serverBase + std::u16string(path);
}

std::u16string Client::localUrl(std::u16string_view endpoint, std::u16string_view npsn) const
{
    return m_settings.localBase + u"/WebService/" + percentEncode(endpoint) + u"?npsn=" + percentEncode(npsn);
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
                               std::optional<std::u16string_view> token, std::optional<QByteArray> body)
{
    if (m_cancelled) {
        return {{}, {}, kCanceled};
    }
    if (!m_setupError.empty()) {
        return {{}, {}, m_setupError};
    }
    platform::HttpRequest request;
    const Timeouts& t = m_settings.timeouts;
    request.setTimeouts(t.resolve, t.connect, t.send, t.receive);
    request.setTransferRateFloor(t.rateFloorBytes, t.rateWindow);
    request.setExtraCaCertificates(m_extraCa);
    request.Open(method, url, true);
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
        return {{}, {}, request.failure()};
    }
    return {request.takeResponseBody(), request.responseCharset(), {}, request.status()};
}

std::u16string Client::HttpExchange(std::u16string_view method, std::u16string_view url,
                                    std::optional<std::u16string_view> token, std::optional<std::u16string_view> body)
{
    std::optional<QByteArray> bytes;
    if (body) {
        bytes = utf8Bytes(*body);
    }
    return exchange(method, url, token, std::move(bytes)).text();
}

} // namespace client
