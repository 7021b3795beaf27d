#pragma once

// The server and local-service client: HttpExchange, the one request routine, and the operations the
// startup check and the send run call, each in the file named after what it implements. Every operation reports with a
// text, never an exception: the reply body, a verdict word, or "Error: " followed by what failed in transport. HTTP
// status codes are judged in two places only: a table is uploaded only from a 2xx reply of the local service, and a
// summary rebuild answered with 4xx or 5xx has failed. Needs a QCoreApplication; every wait processes
// pending events at least every 50 ms, so the window stays usable and can start other work meanwhile
// (guarding against a second send run is the caller's concern). Exchanges never run in parallel; each
// makes one request of its own and carries nothing to the next. Values put into addresses (key,
// endpoint, NPSN) are percent-encoded, and values put into the login body JSON-escaped, so that none
// can change the request's shape.
//
// A client must outlive every exchange it runs: an event handled during a wait must not destroy it
// (to stop, call cancelAll and let the operation return). It shows nothing itself: what CheckEmail must
// show the operator goes through the RefusalNotice the program gives it (client/refusal_notice.h).

#include "client/failure.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QSslCertificate>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace platform {
class HttpRequest;
}

namespace client {

struct ExchangeReply;
class RefusalNotice;

// The regional server the program was built for (the build's MTH_SERVER_URL).
std::u16string defaultServerBase();
// The school's local data service.
inline constexpr char16_t kDefaultLocalBase[] = u"http://127.0.0.1:5774";
// The longest time an exchange goes without processing events.
inline constexpr std::chrono::milliseconds kWaitSlice{50};
// The largest reply, in bytes, of any request but a table's fetch.
inline constexpr std::int64_t kLargestReply = std::int64_t(16) << 20;

// What each request may take, phase by phase (see platform/http_request.h; zero waits without limit).
struct Timeouts {
    std::chrono::milliseconds resolve{5000};
    std::chrono::milliseconds connect{5000};
    std::chrono::milliseconds send{15000};
    std::chrono::milliseconds receive{30000};
    // At least rateFloorBytes must move in every rateWindow of a transfer (zero for either: no floor).
    std::int64_t rateFloorBytes = 1024;
    std::chrono::milliseconds rateWindow{30000};
};

// How far the request under way has come: its address and the bytes received and sent so far.
struct TransferProgress {
    std::u16string_view url;
    std::int64_t received = 0;
    std::int64_t sent = 0;
};

struct ClientSettings {
    // Base addresses; requests go to base + path as written ("/api_api/cek_pengguna"). Slashes at the
    // end of a base are dropped, so "https://host/" serves as well as "https://host".
    std::u16string serverBase = defaultServerBase();
    std::u16string localBase = kDefaultLocalBase;
    // A PEM file of CA certificates trusted for HTTPS besides the system's; empty for none.
    std::u16string caFile;
    Timeouts timeouts;
    // A longer reply fails its exchange ("Balasan dari ... terlalu besar"); a table's fetch has no limit.
    std::int64_t largestReply = kLargestReply;
};

class Client final {
public:
    // `refusals` shows CheckEmail's messages; it must outlive the client.
    Client(ClientSettings settings, RefusalNotice& refusals);
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Empty when the settings are usable; otherwise why not (the CA file gave no certificate), and every
    // exchange then fails with "Error: " + this text without sending anything.
    const std::u16string& setupError() const { return m_setupError; }
    const std::u16string& serverBase() const { return m_settings.serverBase; }
    const std::u16string& localBase() const { return m_settings.localBase; }

    // One request: method and full address; with a token the header "Authorization: Bearer " + token
    // comes first, then "Content-Type: application/json" (on every request, GETs included); the body
    // is sent as UTF-8. Returns the reply body decoded as its charset says (UTF-8 when it names none),
    // whatever the status, or "Error: " + a description of the transport failure in Indonesian that
    // names the service (the local Murenta service when the address starts with the local base, else
    // the Tervalis server) with its address, and the cause (see client/failure_description.h). A reply
    // beyond the settings' largestReply is such a failure, and so is a redirect to another origin (no
    // redirect leaves the scheme, host and port it was sent to, with the token or a password).
    std::u16string HttpExchange(std::u16string_view method, std::u16string_view url,
                                std::optional<std::u16string_view> token = std::nullopt,
                                std::optional<std::u16string_view> body = std::nullopt);

    // GET server + "/api_api/ambil_seting/" + key; the reply unchanged.
    std::u16string GetSetting(std::u16string_view key);

    // GET local + "/WebService/" + endpoint + "?npsn=" + npsn with the token; the reply unchanged, of
    // any size.
    std::u16string GetLocalData(std::u16string_view endpoint, std::u16string_view npsn, std::u16string_view token);
    // Whether the user name (spaces at either end ignored) belongs to a user with the role "Operator
    // Sekolah" in the local user list: "valid", keeping that user's password as OperatorPassword (the
    // last one when several match), or "tidak valid" after a message box without title or icon:
    // "Gagal: Username Salah !!!" when no user matches (also when the reply holds no readable "rows"
    // list), "Error: " + the reply's "message" when the reply lacks "results", the whole reply when it
    // lacks both, and the "Error: " text of a transport failure. The box goes through the RefusalNotice.
    std::u16string CheckEmail(std::u16string_view npsn, std::u16string_view token, std::u16string_view userName);
    // POST server + "/api_api/cek_pengguna" with {"npsn":"…","email":"…","password":"…"}, the values
    // JSON-escaped; the reply unchanged.
    std::u16string CheckUser(std::u16string_view npsn, std::u16string_view email, std::u16string_view password);

    // Fetches a table from the local service and uploads the reply unchanged. "sukses" when the server
    // says "success":true; otherwise the upload reply (or its "Error: " text). When the table reply
    // lacks "results" or its status is not 2xx, nothing is uploaded: its "message" text if it holds the
    // word "message", else "gagal" (also for any transport failure of the fetch). Sets LastRowCount. The
    // reply is read on a worker thread, its row count parsed while the upload runs, so no wait keeps
    // events from being processed however large the table; the upload body is the reply's bytes exactly,
    // whatever they are. The table's reply has no size limit; when memory runs out fetching, reading or
    // uploading it, the table fails ("gagal", or the upload's "Error: " text) and LastFailure says so.
    // The thread that reads a reply is the client's own: the next SendTable, or the client's destruction,
    // waits for it to end (it may still be reading when cancelAll came).
    std::u16string SendTable(std::u16string_view endpoint, std::u16string_view npsn, std::u16string_view token);
    // POST server + "/api_api/kirim_data/" + npsn + "/" + endpoint with {"data_json":<data>}, the data
    // inserted as it is; the reply unchanged.
    std::u16string PostData(std::u16string_view endpoint, std::u16string_view npsn, std::u16string_view data);
    // GET server + "/api_api/proses_data/" + npsn + "/" + endpoint; the reply unchanged.
    std::u16string ProcessData(std::u16string_view npsn, std::u16string_view endpoint);
    // GET server + "/cron_cron/update_summary"; the reply unchanged, except that a reply with a 4xx or
    // 5xx status gives "Error: " + the summary status failure (the page it came with is dropped).
    std::u16string UpdateSummary();

    // The password CheckEmail found last; empty until it finds one, never cleared.
    const std::u16string& OperatorPassword() const { return m_operatorPassword; }
    // The row count of the table SendTable fetched last: its "results" as a whole number (a number
    // rounded half to even, or a text of digits), 0 when it is anything else, the fetch failed, or
    // cancelAll came before the count was read.
    std::int64_t LastRowCount() const { return m_lastRowCount; }
    // Why the operation run last did not succeed, as values; of cause None when it succeeded or when the
    // reply it returned says why not. Kept, like LastRowCount, until the next operation.
    const OperationFailure& LastFailure() const { return m_lastFailure; }
    // The HTTP status of the reply the last exchange brought, 0 when it brought none: what is left to
    // tell of a reply that gives no reason of its own (an error page).
    int LastReplyStatus() const { return m_lastReplyStatus; }

    // Ends the exchange in flight at once and refuses every later one: they all give "Error: " + the
    // cancelled-request description. For closing the program mid-request.
    void cancelAll();
    bool isCancelled() const { return m_cancelled; }

    // Told when an exchange starts (both counts 0) and as its bytes arrive or leave; empty for none.
    void setProgressObserver(std::function<void(const TransferProgress&)> observer)
    {
        m_progressObserver = std::move(observer);
    }

private:
    // Only a table's fetch takes a reply of any size.
    enum class ReplySize { Limited, Unlimited };

    // Runs one request. Each exchange clears LastFailure first and keeps its own failure there, and its
    // reply's status as LastReplyStatus.
    ExchangeReply exchange(std::u16string_view method, std::u16string_view url,
                           std::optional<std::u16string_view> token, std::optional<QByteArrayList> body,
                           ReplySize size = ReplySize::Limited);
    ExchangeReply postTable(std::u16string_view endpoint, std::u16string_view npsn, QByteArray data);
    // Processes events as they come until `ready` says yes; false when cancelAll came first. Another thread
    // that makes `ready` say yes must then wake this thread's event dispatcher.
    bool waitUntil(const std::function<bool()>& ready);
    void joinTableReader();
    std::u16string serverUrl(std::u16string_view path) const;
    std::u16string localUrl(std::u16string_view endpoint, std::u16string_view npsn) const;
    // The service an address belongs to, as the operator knows it.
    ServiceAddress serviceAt(std::u16string_view url) const;
    ExchangeReply failed(ExchangeFailure failure);
    // CheckEmail's answer when it refuses, once the operator has seen why.
    std::u16string refuse(std::u16string_view reason, OperationFailure failure);
    // SendTable's answer for a table that did not fit in memory.
    std::u16string outOfMemory();

    ClientSettings m_settings;
    RefusalNotice& m_refusals;
    std::u16string m_setupError;
    QList<QSslCertificate> m_extraCa;
    std::vector<platform::HttpRequest*> m_inFlight; // innermost last: events may start an exchange inside one
    bool m_cancelled = false;
    std::function<void(const TransferProgress&)> m_progressObserver;
    std::u16string m_operatorPassword;
    std::int64_t m_lastRowCount = 0;
    OperationFailure m_lastFailure;
    int m_lastReplyStatus = 0;
    std::thread m_tableReader;
};

} // namespace client
