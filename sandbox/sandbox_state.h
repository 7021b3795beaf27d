#pragma once

// What a Sandbox holds while it serves, shared by the files that serve it: sandbox.cpp (starting,
// recording, dispatching), local_service.cpp, regional_server.cpp and fault_behaviours.cpp. Internal to
// the sandbox.

#include "sandbox/http_text.h"
#include "sandbox/sandbox.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace httplib {
class ContentReader;
struct Request;
struct Response;
} // namespace httplib

namespace sandbox {

namespace detail {

class TapServer;

inline constexpr std::string_view kJsonType = "application/json";
// Where a redirect of the scenario points when it names no address.
inline constexpr std::string_view kMovedPrefix = "/moved";

// A reply with status -1 has been set up on the response already (a body sent in pieces or cut off).
struct Reply {
    int status = 200;
    std::string contentType = std::string(kJsonType);
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // A table's reply, served from where the scenario keeps it instead of from `body`: a copy per request
    // made the sandbox, not the client, the slow end of a large table's fetch.
    std::shared_ptr<const std::string> keptBody = nullptr;

    std::shared_ptr<const std::string> takeBody()
    {
        return keptBody ? std::move(keptBody) : std::make_shared<const std::string>(std::move(body));
    }
};

// The local service's reply for a table, or nothing for an unknown name.
std::optional<std::shared_ptr<const std::string>> localTable(const Scenario& s, const std::string& name);
Reply serveLocal(const Scenario& s, const Target& t, const RecordedRequest& r);

// The local date, "YYYY-MM-DD": sends are counted per day.
std::string today();

// The "results" of a table reply: nothing when the reply is no object or has no such member, 0 when it
// is no whole number.
std::optional<long long> rowCountOf(std::string_view table);

} // namespace detail

struct Sandbox::State {
    Options options;
    std::unique_ptr<detail::TapServer> local;
    std::unique_ptr<detail::TapServer> regional;
    std::thread localThread;
    std::thread regionalThread;
    int localPort = 0;
    int serverPort = 0;
    bool tls = false;
    bool started = false;

    mutable std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::uint64_t generation = 0; // bumped by every scenario change, to release held requests
    Scenario scenario;
    std::map<const std::string*, long long> tableRows; // row counts of the scenario's tableReplies
    std::vector<RecordedRequest> recorded;
    std::vector<ReceivedTable> received;
    std::map<std::string, std::pair<std::string, int>> sends; // npsn -> (day, count)
    std::string lastLoginNpsn;
    std::function<void(const RecordedRequest&, int)> observer;

    // Waits until `until`, the stop, or a scenario change after the one a request was served with
    // (`seen`, read with the scenario, so that a change in between is not missed); true when the full
    // time passed.
    template <class Clock>
    bool holdUntil(std::chrono::time_point<Clock> until, std::uint64_t seen)
    {
        std::unique_lock lock(mutex);
        return !wake.wait_until(lock, until, [&] { return stopping || generation != seen; });
    }
    bool hold(std::chrono::milliseconds duration, std::uint64_t seen)
    {
        return holdUntil(std::chrono::steady_clock::now() + duration, seen);
    }
    void holdForever(std::uint64_t seen)
    {
        std::unique_lock lock(mutex);
        wake.wait(lock, [&] { return stopping || generation != seen; });
    }

    // Records the request and replies to it; called by both servers' routes, on their threads.
    void serve(Side side, const httplib::Request& req, httplib::Response& res, const httplib::ContentReader* reader);
    // The reply of the side's service, for a target under /moved as for the same target without it.
    detail::Reply route(Side side, const Scenario& s, const RecordedRequest& r, const detail::Target& target,
                        const std::string& body);

    detail::Reply serveRegional(const Scenario& s, const detail::Target& t, const RecordedRequest& r,
                                const std::string& body);
    // Complete sends counted today for the NPSN; the caller holds `mutex`.
    int sendsCountedToday(const std::string& npsn) const;

    // The request's body, read as the behaviour routes ask: not at all for /behaviour/unread, slowly for
    // /behaviour/sip.
    std::string readBody(const detail::Target& target, const httplib::Request& req,
                         const httplib::ContentReader* reader);
    // The reply of a /behaviour/ route; nothing for any other target.
    std::optional<detail::Reply> serveBehaviour(const detail::Target& t, httplib::Response& res, std::uint64_t seen);
    // The reply as the scenario's faults make it, when they hit the target's path; otherwise nothing.
    std::optional<detail::Reply> serveFaulty(Side side, const Scenario& s, const RecordedRequest& r,
                                             const detail::Target& target, const std::string& body,
                                             httplib::Response& res, std::uint64_t seen);
};

} // namespace sandbox
