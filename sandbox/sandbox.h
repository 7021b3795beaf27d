#pragma once

// A stand-in for both outside servers, on loopback: the school's local data service (plain HTTP) and
// the regional server (plain HTTP or HTTPS). Used in-process by tests on free ports and, as the
// murenta-sandbox program, for demos and operator training. Every request is recorded; scenario
// switches make either side misbehave in named ways. Serves from its own threads.

#include "mth_version.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sandbox {

// One user of the local service's user list.
struct LocalUser {
    std::string username;
    std::string role; // "peran_id_str"
    std::string password;
};

// The school the local service belongs to: its service token, its NPSN and its users.
struct School {
    std::string token;
    std::string npsn;
    std::vector<LocalUser> users;
};

// The demo school: token "sandbox-token-5774", NPSN "20500123", the operator
// "operator@smpn1-sukamaju.sch.id" with the role "Operator Sekolah", and two other users.
School demoSchool();

// The names of the demo tables, in the order the regional server lists them.
inline constexpr const char* kDemoEndpoints = "getSekolah,getSiswa,getGuru,getKelas";

// A table reply of the local service, {"results":N,"id":...,"start":0,"limit":N,"rows":[...]}, one row per
// line, deterministic for a given name and row count, with some non-ASCII names.
std::string generateTable(const std::string& name, std::size_t rows);

struct Scenario {
    School school = demoSchool();
    std::string version = MTH_VERSION;      // the "msg" of /api_api/ambil_seting/versi
    std::string endpoints = kDemoEndpoints; // the "msg" of /api_api/ambil_seting/endpoint
    int sendsToday = 0;                     // complete sends already counted today when the scenario is set
    bool refuseLogin = false;               // /api_api/cek_pengguna always says no
    // The "msg" of a successful login in place of the day's send count (a reply that gives no number).
    std::optional<std::string> loginCount;
    std::string failUpload;                 // table whose upload is refused
    std::string failProcess;                // table whose processing fails
    // Faults on every route whose path begins with faultPath (all routes when it is empty; the
    // /behaviour/ routes never):
    std::string faultPath;
    std::chrono::milliseconds delay{0}; // wait this long before replying
    bool neverReply = false;            // hold the request without a reply until the scenario changes
    bool error500 = false;              // status 500 with an HTML body
    bool dropMidReply = false;          // send the head and half the body, then close the connection
    std::size_t announcedLength = 0;    // with dropMidReply: the Content-Length sent (0: the body's own)
    int replyStatus = 0;                // the usual reply, but with this HTTP status (0: the usual one)
    // Redirect with this status (301, 302, 303, 307, 308; 0: none) to redirectTo, or, when that is
    // empty, to the same target under /moved (served as without it, faults included):
    int redirectStatus = 0;
    std::string redirectTo;
    // Send the reply's body dripBytes at a time, one piece every dripEvery (0: all at once).
    std::chrono::milliseconds dripEvery{0};
    std::size_t dripBytes = 1;
    // Local endpoint replies served exactly as given (any name, getPengguna included), before the
    // demo tables. A reply is shared, not copied, when scenarios are copied.
    std::map<std::string, std::shared_ptr<const std::string>> tableReplies;
    void setTable(const std::string& name, std::string reply)
    {
        tableReplies[name] = std::make_shared<const std::string>(std::move(reply));
    }
};

struct Options {
    std::string host = "127.0.0.1";
    int localPort = 0;  // 0: a free port
    int serverPort = 0; // 0: a free port
    // PEM files; with both set the regional server speaks HTTPS.
    std::string tlsCertFile;
    std::string tlsKeyFile;
    // Recorded request bodies are cut to this many bytes (bodySize keeps the full size).
    std::size_t bodyRecordLimit = static_cast<std::size_t>(-1);
};

// Whether this build serves HTTPS (Options::tlsCertFile); a build without a TLS library serves plain
// HTTP only, and start() refuses a certificate.
bool httpsAvailable();

enum class Side { Local, Regional };

struct RecordedRequest {
    Side side = Side::Local;
    std::string method;
    std::string target;                                       // as on the request line, percent-escapes and all
    std::vector<std::pair<std::string, std::string>> headers; // in the order sent, names as sent, values trimmed
    std::string head; // request line and header lines exactly as received, the blank line after them included
    std::string body;
    std::size_t bodySize = 0;
    int connection = 0;   // per server: 1 for its first accepted connection, then 2, ...
    int requestsOnIt = 0; // 1 for the first request on that connection, then 2, ...
    int clientPort = 0;

    // The value of the first header of that name (ASCII letter case ignored); nothing when absent.
    std::optional<std::string> header(std::string_view name) const;
};

// A table the regional server accepted.
struct ReceivedTable {
    std::string npsn;
    std::string name;
    long long rows = 0;
    std::size_t bytes = 0;  // of the table reply inside data_json
    std::string receivedAt; // local time, "YYYY-MM-DD HH:MM:SS"
    bool processed = false;
};

class Sandbox final {
public:
    explicit Sandbox(Options options = {}, Scenario scenario = {});
    ~Sandbox(); // stops
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    // Binds both servers and starts serving. Nothing on success; otherwise what failed (a busy port, an
    // unreadable certificate or key). Ignores SIGPIPE for the whole process.
    std::optional<std::string> start();
    // Wakes every held request and stops both servers; safe to call twice.
    void stop();

    int localPort() const;
    int serverPort() const;
    std::string localUrl() const;  // "http://127.0.0.1:P"
    std::string serverUrl() const; // "http://127.0.0.1:P", or https with TLS

    Scenario scenario() const;
    // Replaces the scenario, and releases requests held by neverReply. The sends-today count restarts
    // from the new scenario's value.
    void setScenario(Scenario scenario);

    std::vector<RecordedRequest> requests() const;
    std::vector<RecordedRequest> requests(Side side) const;
    void clearRequests();
    std::vector<ReceivedTable> receivedTables() const;
    // Complete sends (summary rebuilds) counted today for the NPSN.
    int sendsToday(const std::string& npsn) const;

    // Called once per request after it is recorded, from the serving thread (for a request log).
    void setRequestObserver(std::function<void(const RecordedRequest&, int status)> observer);

    struct State;

private:
    std::unique_ptr<State> m_state;
};

} // namespace sandbox
