// The Sandbox itself: starting and stopping both servers, recording each request and handing it to the
// route that replies, and the scenario and records the tests read.

#include "sandbox/sandbox.h"

#include "sandbox/sandbox_state.h"
#include "sandbox/tap_server.h"
#include "sandbox/tls_context.h"

#include <algorithm>
#include <csignal>
#include <iterator>

namespace sandbox {

namespace {

// The request as far as its connection tells: the head as it arrived, and where it came from.
RecordedRequest arrived(Side side)
{
    RecordedRequest r;
    r.side = side;
    if (const detail::ConnectionInfo* c = detail::TapServer::currentConnection()) {
        detail::readHead(c->head, r);
        r.head = c->head;
        r.connection = c->id;
        r.requestsOnIt = c->requestsOnIt;
        r.clientPort = c->clientPort;
    }
    return r;
}

void respond(detail::Reply reply, httplib::Response& res)
{
    if (reply.status < 0) {
        if (res.status < 0) {
            res.status = 200;
        }
        return;
    }
    res.status = reply.status;
    for (const auto& [name, value] : reply.headers) {
        res.set_header(name, value);
    }
    if (reply.keptBody) {
        auto kept = reply.takeBody();
        res.set_content_provider(kept->size(), reply.contentType,
                                 [kept](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                     return sink.write(kept->data() + offset, length);
                                 });
    } else {
        res.set_content(std::move(reply.body), reply.contentType);
    }
}

} // namespace

void Sandbox::State::serve(Side side, const httplib::Request& req, httplib::Response& res,
                           const httplib::ContentReader* reader)
{
    RecordedRequest r = arrived(side);
    const detail::Target target = detail::parseTarget(r.target);
    const std::string body = readBody(target, req, reader);
    r.bodySize = body.size();
    r.body = body.substr(0, options.bodyRecordLimit);
    Scenario s;
    std::uint64_t seen = 0;
    {
        std::lock_guard lock(mutex);
        recorded.push_back(r);
        s = scenario;
        seen = generation;
    }

    if (auto behaviour = serveBehaviour(target, res, seen)) {
        respond(std::move(*behaviour), res);
    } else if (auto faulty = serveFaulty(side, s, r, target, body, res, seen)) {
        respond(std::move(*faulty), res);
    } else {
        respond(route(side, s, r, target, body), res);
    }
    std::function<void(const RecordedRequest&, int)> notify;
    {
        std::lock_guard lock(mutex);
        notify = observer;
    }
    if (notify) {
        notify(r, res.status);
    }
}

detail::Reply Sandbox::State::route(Side side, const Scenario& s, const RecordedRequest& r,
                                    const detail::Target& target, const std::string& body)
{
    const detail::Target routed =
        target.rawPath.rfind(std::string(detail::kMovedPrefix) + "/", 0) == 0
            ? detail::parseTarget(std::string_view(r.target).substr(detail::kMovedPrefix.size()))
            : target;
    return side == Side::Local ? detail::serveLocal(s, routed, r) : serveRegional(s, routed, r, body);
}

Sandbox::Sandbox(Options options, Scenario scenario) : m_state(std::make_unique<State>())
{
    m_state->options = std::move(options);
    setScenario(std::move(scenario));
}

Sandbox::~Sandbox()
{
    stop();
}

std::optional<std::string> Sandbox::start()
{
    State& s = *m_state;
    if (s.started) {
        return std::nullopt;
    }
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    ssl_ctx_st* tls = nullptr;
    if (auto error = detail::makeTlsContext(s.options, tls)) {
        return error;
    }
    s.tls = tls != nullptr;
    s.local = std::make_unique<detail::TapServer>(nullptr);
    s.regional = std::make_unique<detail::TapServer>(tls);
    detail::releaseTlsContext(tls);

    const auto route = [this](detail::TapServer& server, Side side) {
        server.Get(".*", [this, side](const httplib::Request& req, httplib::Response& res) {
            m_state->serve(side, req, res, nullptr);
        });
        server.Post(".*",
                    [this, side](const httplib::Request& req, httplib::Response& res,
                                 const httplib::ContentReader& reader) { m_state->serve(side, req, res, &reader); });
        server.set_payload_max_length(static_cast<std::size_t>(-1));
    };
    route(*s.local, Side::Local);
    route(*s.regional, Side::Regional);

    const auto bind = [&](detail::TapServer& server, int port) {
        if (port == 0) {
            return server.bind_to_any_port(s.options.host);
        }
        return server.bind_to_port(s.options.host, port) ? port : -1;
    };
    s.localPort = bind(*s.local, s.options.localPort);
    if (s.localPort < 0) {
        return "cannot listen on " + s.options.host + " port " + std::to_string(s.options.localPort);
    }
    s.serverPort = bind(*s.regional, s.options.serverPort);
    if (s.serverPort < 0) {
        return "cannot listen on " + s.options.host + " port " + std::to_string(s.options.serverPort);
    }
    s.localThread = std::thread([&s] { s.local->listen_after_bind(); });
    s.regionalThread = std::thread([&s] { s.regional->listen_after_bind(); });
    // stop() only reaches a server whose accept loop is running.
    while (!s.local->is_running() || !s.regional->is_running()) {
        std::this_thread::yield();
    }
    s.started = true;
    return std::nullopt;
}
void Sandbox::stop()
{
    State& s = *m_state;
    {
        std::lock_guard lock(s.mutex);
        s.stopping = true;
    }
    s.wake.notify_all();
    for (auto* server : {s.local.get(), s.regional.get()}) {
        if (server) {
            server->stop();
        }
    }
    for (std::thread* t : {&s.localThread, &s.regionalThread}) {
        if (t->joinable()) {
            t->join();
        }
    }
}

int Sandbox::localPort() const
{
    return m_state->localPort;
}

int Sandbox::serverPort() const
{
    return m_state->serverPort;
}

std::string Sandbox::localUrl() const
{
    return "http://" + m_state->options.host + ":" + std::to_string(m_state->localPort);
}

std::string Sandbox::serverUrl() const
{
    return (m_state->tls ? "https://" : "http://") + m_state->options.host + ":" + std::to_string(m_state->serverPort);
}

Scenario Sandbox::scenario() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->scenario;
}

void Sandbox::setScenario(Scenario scenario)
{
    std::map<const std::string*, long long> rows;
    for (const auto& [name, reply] : scenario.tableReplies) {
        rows[reply.get()] = detail::rowCountOf(*reply).value_or(0);
    }
    {
        std::lock_guard lock(m_state->mutex);
        m_state->sends[scenario.school.npsn] = {detail::today(), scenario.sendsToday};
        m_state->scenario = std::move(scenario);
        m_state->tableRows = std::move(rows);
        ++m_state->generation;
    }
    m_state->wake.notify_all();
}

std::vector<RecordedRequest> Sandbox::requests() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->recorded;
}

std::vector<RecordedRequest> Sandbox::requests(Side side) const
{
    std::vector<RecordedRequest> out;
    std::lock_guard lock(m_state->mutex);
    std::copy_if(m_state->recorded.begin(), m_state->recorded.end(), std::back_inserter(out),
                 [side](const RecordedRequest& r) { return r.side == side; });
    return out;
}

void Sandbox::clearRequests()
{
    std::lock_guard lock(m_state->mutex);
    m_state->recorded.clear();
}

std::vector<ReceivedTable> Sandbox::receivedTables() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->received;
}

int Sandbox::sendsToday(const std::string& npsn) const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->sendsCountedToday(npsn);
}

void Sandbox::setRequestObserver(std::function<void(const RecordedRequest&, int)> observer)
{
    std::lock_guard lock(m_state->mutex);
    m_state->observer = std::move(observer);
}

} // namespace sandbox
