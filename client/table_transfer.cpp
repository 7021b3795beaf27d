#include "client/http_exchange.h"

#include "client/request_text.h"
#include "platform/http_request.h"

#include "json/json.h"
#include "json/utf8.h"

#include <string_view>

namespace client {

namespace {

constexpr std::string_view kUploadPrefix = "{\"data_json\":";

std::string_view view(const QByteArray& bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

bool isUtf8(const QByteArray& charset)
{
    return charset.isEmpty() || charset == "utf-8" || charset == "utf8";
}

// A whole number written as text: an optional sign and digits, nothing else.
bool isWholeNumberText(std::u16string_view text)
{
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
        text.remove_prefix(1);
    }
    return !text.empty() && text.find_first_not_of(u"0123456789") == std::u16string_view::npos;
}

std::int64_t rowCount(const std::optional<json::JsonValue>& root)
{
    if (!root) {
        return 0;
    }
    const json::JsonValue& results = (*root)[u"results"];
    if (results.isNumber()) {
        return results.asNumber().toInt64().value_or(0);
    }
    if (results.isString() && isWholeNumberText(results.asString())) {
        const json::ParsedDecimal parsed = json::Decimal::parse(results.asString());
        if (parsed.status == json::Decimal::Conversion::Ok) {
            return parsed.value.toInt64().value_or(0);
        }
    }
    return 0;
}

// What SendTable returns for a table reply that is not uploaded: the reply's "message" text when it
// holds that word, else "gagal".
std::u16string messageOrFailure(std::u16string_view reply)
{
    if (reply.find(u"message") != std::u16string_view::npos) {
        return json::GetJsonField(reply, u"message");
    }
    return u"gagal";
}

// Why a summary rebuild failed when the server answered it with an error status.
std::u16string summaryStatusFailure(int status)
{
    const std::string digits = std::to_string(status);
    return u"Server Tervalis menjawab rekap data dengan status HTTP " + std::u16string(digits.begin(), digits.end());
}

QByteArray uploadBody(std::string_view data)
{
    QByteArray body;
    body.reserve(static_cast<qsizetype>(kUploadPrefix.size() + data.size() + 1));
    body.append(kUploadPrefix.data(), static_cast<qsizetype>(kUploadPrefix.size()));
    body.append(data.data(), static_cast<qsizetype>(data.size()));
    body.append('}');
    return body;
}

} // namespace

std::u16string Client::SendTable(std::u16string_view endpoint, std::u16string_view npsn, std::u16string_view token)
{
    m_lastRowCount = 0;
    Reply table = exchange(u"GET", localUrl(endpoint, npsn), token, std::nullopt);
    if (!table.ok()) {
        return u"gagal";
    }
    // A reply with an error status is the service failing, whatever its body holds: never a table.
    if (!table.hasSuccessStatus()) {
        return messageOrFailure(table.text());
    }

    // The table stays in the bytes it came in whenever they are UTF-8: the words are searched and the
    // row count parsed right there, and the same bytes go out in the upload. Only another charset, or
    // bytes that are not well-formed, take the way through decoded text.
    QByteArray data;
    if (isUtf8(table.charset) && isWellFormedUtf8(view(table.body))) {
        data = std::move(table.body);
        if (view(data).find("results") == std::string_view::npos) {
            return messageOrFailure(json::Utf8ToUtf16(view(data)));
        }
        m_lastRowCount = rowCount(json::ParseJsonUtf8(view(data)));
    } else {
        const std::u16string text = table.text();
        table.body = {};
        if (text.find(u"results") == std::u16string::npos) {
            return messageOrFailure(text);
        }
        m_lastRowCount = rowCount(json::ParseJson(text));
        const std::string bytes = json::Utf16ToUtf8(text);
        data = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }

    QByteArray body = uploadBody(view(data));
    data = {};
    const std::u16string reply = postTable(endpoint, npsn, std::move(body)).text();
    if (reply.find(u"\"success\":true") != std::u16string::npos) {
        return u"sukses";
    }
    return reply;
}

Client::Reply Client::postTable(std::u16string_view endpoint, std::u16string_view npsn, QByteArray body)
{
    return exchange(u"POST", serverUrl(u"/api_api/kirim_data/" + percentEncode(npsn) + u"/" + percentEncode(endpoint)),
                    std::nullopt, std::move(body));
}

std::u16string Client::PostData(std::u16string_view endpoint, std::u16string_view npsn, std::u16string_view data)
{
    return postTable(endpoint, npsn, uploadBody(json::Utf16ToUtf8(data))).text();
}

std::u16string Client::ProcessData(std::u16string_view npsn, std::u16string_view endpoint)
{
    return HttpExchange(u"GET",
                        serverUrl(u"/api_api/proses_data/" + percentEncode(npsn) + u"/" + percentEncode(endpoint)));
}

std::u16string Client::UpdateSummary()
{
    const Reply reply = exchange(u"GET", serverUrl(u"/cron_cron/update_summary"), std::nullopt, std::nullopt);
    if (reply.ok() && reply.status >= 400) {
        return u"Error: " + summaryStatusFailure(reply.status);
    }
    return reply.text();
}

} // namespace client
