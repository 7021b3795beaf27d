#include "client/client.h"

#include "client/http_exchange.h"
#include "client/request_text.h"
#include "platform/qt_text.h"
#include "platform/reply_text.h"

#include "json/decimal.h"
#include "json/json.h"
#include "json/local_parse_errors.h"
#include "json/root_member.h"
#include "json/utf8.h"

#include <QAbstractEventDispatcher>

#include <chrono>
#include <exception>
#include <functional>
#include <future>
#include <new>
#include <optional>
#include <string_view>
#include <thread>

namespace client {

namespace {

constexpr std::string_view kUploadPrefix = "{\"data_json\":";

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

std::int64_t rowCount(const json::JsonValue& results)
{
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

// The "message" text of a table reply that holds that word.
std::optional<std::u16string> messageIn(std::u16string_view reply)
{
    if (reply.find(u"message") != std::u16string_view::npos) {
        return json::GetJsonField(reply, u"message");
    }
    return std::nullopt;
}

// What SendTable answers for a table reply of HTTP `status` that is not uploaded, the reply's "message"
// text when it holds that word, else "gagal"; and why, as a value. An error status is the reason
// whatever the reply holds.
std::u16string notUploaded(int status, std::optional<std::u16string> message, OperationFailure& why)
{
    using Cause = OperationFailure::Cause;
    const bool errorStatus = status < 200 || status >= 300;
    const Cause cause = errorStatus ? Cause::ErrorStatus : message ? Cause::ServiceMessage : Cause::UnknownReply;
    why = {.cause = cause, .status = status, .message = message.value_or(u"")};
    return message ? std::move(*message) : u"gagal";
}

// Why a summary rebuild failed when the server answered it with an error status.
std::u16string summaryStatusFailure(int status)
{
    return u"Server Tervalis menjawab rekap data dengan status HTTP " + json::decimalText(status);
}

// What the table reply says about sending it: whether it holds "results" and is uploaded, else its
// "message" if it has one; or that it could not be read for want of memory.
struct TableVerdict {
    bool upload = false;
    std::optional<std::u16string> message;
    bool outOfMemory = false;
};

// A table's row count, or nothing when memory ran out while it was read.
using RowCount = std::optional<std::int64_t>;

// The verdict on a table's text, in its bytes or decoded: the word is the same in both.
template <typename Char>
TableVerdict verdictOn(std::basic_string_view<Char> text, const Char* results,
                       const std::function<std::u16string()>& decoded)
{
    if (text.find(results) != text.npos) {
        return {true, {}};
    }
    return {false, messageIn(decoded())};
}

// Looks at a table reply on a thread of its own: first the verdict, then (when it is uploaded) the row
// count, read while the upload runs. The row count is the root's member "results", which leads every
// table reply, so its reading stops there instead of building the whole tree. The table is read
// in the bytes it came in whenever they are UTF-8; only another charset, or bytes that are not
// well-formed, are read as decoded text. Owns everything it reads, so the UI thread may stop waiting
// for it at any time; wakes the UI thread's event dispatcher as each result is set. Never throws: what
// it could not do is in the results.
void examineTable(QByteArray body, QByteArray charset, std::promise<TableVerdict> verdict, std::promise<RowCount> rows,
                  QAbstractEventDispatcher* waiting) noexcept
{
    // The thread ends before the program: its parses must keep no state of the thread's own.
    json::LocalParseErrors parseErrors;
    bool judged = false;
    const auto judge = [&](TableVerdict found) {
        const bool upload = found.upload;
        verdict.set_value(std::move(found));
        waiting->wakeUp();
        judged = true;
        return upload;
    };
    const auto count = [&](RowCount counted) {
        rows.set_value(counted);
        waiting->wakeUp();
    };
    try {
        if (isUtf8(charset) && json::isWellFormedUtf8(platform::byteView(body))) {
            const std::string_view text = platform::byteView(body);
            if (judge(verdictOn(text, "results", [&] { return json::Utf8ToUtf16(text); }))) {
                count(rowCount(json::RootMemberUtf8(text, u"results")));
            }
        } else {
            std::u16string text = platform::decodeBody(body, charset);
            body = {};
            // The text is handed to GetJsonField only when nothing is uploaded, so it can be moved.
            if (judge(verdictOn(std::u16string_view(text), u"results", [&] { return std::move(text); }))) {
                count(rowCount(json::RootMember(text, u"results")));
            }
        }
    } catch (...) {
        // Reading a table throws only when memory runs out (an allocation, or a text longer than a string
        // can hold); everything it held is released by now.
        if (judged) {
            count(std::nullopt);
        } else {
            judge({false, {}, true});
        }
    }
}

template <typename T>
bool isReady(const std::future<T>& result)
{
    return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

} // namespace

std::u16string Client::SendTable(std::u16string_view endpoint, std::u16string_view npsn, std::u16string_view token)
{
    m_lastRowCount = 0;
    ExchangeReply table = exchange(u"GET", localUrl(endpoint, npsn), token, std::nullopt, ReplySize::Unlimited);
    if (!table.ok()) {
        return u"gagal";
    }
    // A reply with an error status is the service failing, whatever its body holds: never a table.
    if (!table.hasSuccessStatus()) {
        try {
            return notUploaded(table.status, messageIn(table.text()), m_lastFailure);
        } catch (const std::bad_alloc&) {
            return outOfMemory();
        }
    }

    // The reply goes out as it came in; only the verdict and the row count are read from its text, on
    // another thread, so that the window keeps turning through a table of any size.
    std::promise<TableVerdict> verdictPromise;
    std::promise<RowCount> rowsPromise;
    std::future<TableVerdict> verdict = verdictPromise.get_future();
    std::future<RowCount> rows = rowsPromise.get_future();
    joinTableReader();
    try {
        m_tableReader = std::thread(examineTable, table.body, table.charset, std::move(verdictPromise),
                                    std::move(rowsPromise), QAbstractEventDispatcher::instance());
    } catch (const std::exception&) {
        // No thread starts when memory (or the system's threads) ran out.
        return outOfMemory();
    }
    // Cancelled meanwhile: the upload then fails at once with the cancellation's text.
    if (waitUntil([&] { return isReady(verdict); })) {
        TableVerdict judged = verdict.get();
        if (judged.outOfMemory) {
            return outOfMemory();
        }
        if (!judged.upload) {
            return notUploaded(table.status, std::move(judged.message), m_lastFailure);
        }
    }

    const ExchangeReply uploaded = postTable(endpoint, npsn, std::move(table.body));
    if (waitUntil([&] { return isReady(rows); })) {
        const RowCount counted = rows.get();
        if (!counted) {
            return outOfMemory();
        }
        m_lastRowCount = *counted;
    }
    const std::u16string reply = uploaded.text();
    if (reply.find(u"\"success\":true") != std::u16string::npos) {
        return u"sukses";
    }
    return reply;
}

void Client::joinTableReader()
{
    if (m_tableReader.joinable()) {
        m_tableReader.join();
    }
}

std::u16string Client::outOfMemory()
{
    m_lastFailure = {.cause = OperationFailure::Cause::OutOfMemory};
    return u"gagal";
}

ExchangeReply Client::postTable(std::u16string_view endpoint, std::u16string_view npsn, QByteArray data)
{
    // The data is sent where it lies, between the wrapper's two ends.
    return exchange(u"POST", serverUrl(u"/api_api/kirim_data/" + percentEncode(npsn) + u"/" + percentEncode(endpoint)),
                    std::nullopt,
                    QByteArrayList{QByteArray(kUploadPrefix.data(), static_cast<qsizetype>(kUploadPrefix.size())),
                                   std::move(data), QByteArray("}")});
}

std::u16string Client::PostData(std::u16string_view endpoint, std::u16string_view npsn, std::u16string_view data)
{
    return postTable(endpoint, npsn, platform::toUtf8Bytes(data)).text();
}

std::u16string Client::ProcessData(std::u16string_view npsn, std::u16string_view endpoint)
{
    return HttpExchange(u"GET",
                        serverUrl(u"/api_api/proses_data/" + percentEncode(npsn) + u"/" + percentEncode(endpoint)));
}

std::u16string Client::UpdateSummary()
{
    const ExchangeReply reply = exchange(u"GET", serverUrl(u"/cron_cron/update_summary"), std::nullopt, std::nullopt);
    if (reply.ok() && reply.status >= 400) {
        m_lastFailure = {.cause = OperationFailure::Cause::ErrorStatus, .status = reply.status};
        return u"Error: " + summaryStatusFailure(reply.status);
    }
    return reply.text();
}

} // namespace client
