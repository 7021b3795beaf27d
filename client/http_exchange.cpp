#include "client/http_exchange.h"

#include "client/client.h"
#include "client/failure_description.h"
#include "platform/http_request.h"
#include "platform/qt_text.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>

namespace client {

std::u16string ExchangeReply::text() const
{
    return ok() ? platform::decodeBody(body, charset) : u"Error: " + describeFailure(*failure);
}

ExchangeReply Client::failed(ExchangeFailure failure)
{
    m_lastFailure = {.cause = OperationFailure::Cause::Exchange, .exchange = failure};
    return {.failure = std::move(failure)};
}

ExchangeReply Client::exchange(std::u16string_view method, std::u16string_view url,
                               std::optional<std::u16string_view> token, std::optional<QByteArrayList> body,
                               ReplySize size)
{
    m_lastFailure = {};
    m_lastReplyStatus = 0;
    if (m_cancelled) {
        return failed({serviceAt(url), {.kind = platform::FailureKind::Canceled}});
    }
    if (!m_setupError.empty()) {
        return failed({.where = serviceAt(url), .setupError = m_setupError});
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
        return failed({serviceAt(url), request.failure()});
    }
    m_lastReplyStatus = request.status();
    return {request.takeResponseBody(), request.responseCharset(), m_lastReplyStatus};
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
