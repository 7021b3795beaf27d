// The ways the sandbox misbehaves: the /behaviour/ routes on both servers, named after what they do, for
// tests of the client's transport; and the scenario's faults on the services' own routes.

#include "sandbox/sandbox_state.h"

#include "sandbox/tap_server.h"

#include "json/json_escape.h"

#include <algorithm>
#include <cstdlib>

namespace sandbox {

namespace {

using detail::kJsonType;
using detail::Reply;
using detail::verdict;

// What a held request gets once the scenario changes or the sandbox stops.
Reply released()
{
    return Reply{503, "text/plain", "dilepas", {{"Connection", "close"}}};
}

// The reply has been set up on the response already.
Reply setUpOnResponse()
{
    return Reply{-1, {}, {}, {}};
}

// Pairs of hex digits as bytes; an odd digit at the end is dropped.
std::string hexBytes(std::string_view hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(json::hexDigitValue(static_cast<unsigned char>(hex[i])) * 16 +
                                   json::hexDigitValue(static_cast<unsigned char>(hex[i + 1])));
    }
    return bytes;
}

// Announces `length` bytes and sends a few of them; then closes the connection (`stall` false) or holds it.
Reply sendPart(Sandbox::State& state, httplib::Response& res, bool stall, std::size_t length, std::uint64_t seen)
{
    res.set_content_provider(
        length, "text/plain",
        [&state, stall, seen, length, sent = false](std::size_t, std::size_t, httplib::DataSink& sink) mutable {
            if (sent) {
                return false;
            }
            sent = true;
            const std::string half(std::min<std::size_t>(stall ? 10 : 500, length / 2), 'x');
            sink.write(half.data(), half.size());
            if (stall) {
                state.holdForever(seen);
            }
            return true;
        });
    return setUpOnResponse();
}

Reply sendTrickle(Sandbox::State& state, httplib::Response& res, long long chunks, std::chrono::milliseconds pause,
                  std::uint64_t seen)
{
    res.set_chunked_content_provider("text/plain", [&state, chunks, pause, seen](std::size_t, httplib::DataSink& sink) {
        for (long long i = 0; i < chunks; ++i) {
            if (!state.hold(pause, seen)) {
                return false;
            }
            const std::string piece = "potongan " + std::to_string(i + 1) + "\n";
            sink.write(piece.data(), piece.size());
        }
        sink.done();
        return true;
    });
    return setUpOnResponse();
}

// `total` bytes (?bytes=N) in chunks, with no length announced; with `total` negative, until the client
// leaves.
Reply sendFlood(Sandbox::State& state, httplib::Response& res, long long total, std::uint64_t seen)
{
    res.set_chunked_content_provider("text/plain", [&state, total, seen](std::size_t offset, httplib::DataSink& sink) {
        static const std::string piece(64 * 1024, 'x');
        const auto left = total < 0 ? piece.size() : static_cast<std::size_t>(total) - offset;
        if (left == 0 || !state.hold(std::chrono::milliseconds(0), seen)) {
            sink.done();
            return true;
        }
        return sink.write(piece.data(), std::min(left, piece.size()));
    });
    return setUpOnResponse();
}

// Sends the head and half the body, announcing the body's own length or `announced`, then closes.
Reply cutOff(Reply reply, std::size_t announced, httplib::Response& res)
{
    auto full = reply.takeBody();
    res.status = reply.status;
    res.set_content_provider(announced != 0 ? announced : full->size(), reply.contentType,
                             [full, sent = false](std::size_t, std::size_t, httplib::DataSink& sink) mutable {
                                 if (sent) {
                                     return false;
                                 }
                                 sent = true;
                                 sink.write(full->data(), full->size() / 2);
                                 return true;
                             });
    return setUpOnResponse();
}

Reply drip(Sandbox::State& state, Reply reply, const Scenario& s, httplib::Response& res, std::uint64_t seen)
{
    auto full = reply.takeBody();
    res.status = reply.status;
    res.set_content_provider(full->size(), reply.contentType,
                             [&state, full, every = s.dripEvery, piece = std::max<std::size_t>(s.dripBytes, 1),
                              seen](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                 if (!state.hold(every, seen)) {
                                     return false;
                                 }
                                 sink.write(full->data() + offset, std::min(length, piece));
                                 return true;
                             });
    return setUpOnResponse();
}

} // namespace

std::string Sandbox::State::readBody(const detail::Target& target, const httplib::Request& req,
                                     const httplib::ContentReader* reader)
{
    const bool unread = target.rawPath == "/behaviour/unread";
    // /behaviour/sip?ms=M reads the body one piece at a time with a pause of M ms after each, as a
    // congested link would take it.
    const auto sipPause = std::chrono::milliseconds(
        target.rawPath == "/behaviour/sip" ? std::atoll(target.param("ms").value_or("100").c_str()) : 0);
    const std::uint64_t arrival = [this] {
        std::lock_guard lock(mutex);
        return generation;
    }();
    std::string body;
    if (reader && !unread) {
        if (req.has_header("Content-Length")) {
            body.reserve(req.get_header_value<std::uint64_t>("Content-Length"));
        }
        (*reader)([&](const char* data, std::size_t length) {
            body.append(data, length);
            return sipPause.count() == 0 || hold(sipPause, arrival);
        });
    }
    return body;
}

std::optional<Reply> Sandbox::State::serveBehaviour(const detail::Target& t, httplib::Response& res, std::uint64_t seen)
{
    if (t.segments.size() < 2 || t.segments[0] != "behaviour") {
        return std::nullopt;
    }
    const std::string& what = t.segments[1];
    const auto number = [&](std::string_view name, long long fallback) {
        const auto text = t.param(name);
        return text ? std::atoll(text->c_str()) : fallback;
    };
    if (what == "slow") {
        hold(std::chrono::milliseconds(number("ms", 1000)), seen);
        return Reply{200, std::string(kJsonType), verdict(true, "lambat"), {}};
    }
    if (what == "never" || what == "unread") {
        holdForever(seen);
        return released();
    }
    if (what == "status") {
        return Reply{
            static_cast<int>(number("code", 500)), "text/plain; charset=utf-8", t.param("body").value_or(""), {}};
    }
    if (what == "bytes") {
        // /behaviour/bytes/<hex digits>/<content type>, anything after ignored, so that a client can
        // append its own path to it.
        return Reply{200,
                     t.segments.size() > 3 ? t.segments[3] : "text/plain",
                     hexBytes(t.segments.size() > 2 ? t.segments[2] : ""),
                     {}};
    }
    if (what == "sip") {
        return Reply{200, std::string(kJsonType), verdict(true, "diteguk"), {}};
    }
    if (what == "cookie") {
        return Reply{200, std::string(kJsonType), verdict(true, "kue"), {{"Set-Cookie", "sid=sandbox-cookie"}}};
    }
    if (what == "drop" || what == "stall") {
        // ?length=N announces N bytes (1000 unless given), however few are sent.
        return sendPart(*this, res, what == "stall", static_cast<std::size_t>(number("length", 1000)), seen);
    }
    if (what == "trickle") {
        return sendTrickle(*this, res, number("chunks", 5), std::chrono::milliseconds(number("ms", 100)), seen);
    }
    if (what == "flood") {
        return sendFlood(*this, res, number("bytes", -1), seen);
    }
    return Reply{404, "text/plain", "perilaku tidak dikenal", {}};
}

std::optional<Reply> Sandbox::State::serveFaulty(Side side, const Scenario& s, const RecordedRequest& r,
                                                 const detail::Target& target, const std::string& body,
                                                 httplib::Response& res, std::uint64_t seen)
{
    if (target.rawPath.compare(0, s.faultPath.size(), s.faultPath) != 0) {
        return std::nullopt;
    }
    if (s.delay.count() > 0) {
        hold(s.delay, seen);
    }
    Reply reply;
    if (s.neverReply) {
        holdForever(seen);
        reply = released();
    } else if (s.error500) {
        reply = Reply{
            500, "text/html; charset=utf-8", "<html><body><h1>500 Internal Server Error</h1></body></html>\n", {}};
    } else if (s.redirectStatus != 0) {
        const std::string location = s.redirectTo.empty() ? std::string(detail::kMovedPrefix) + r.target : s.redirectTo;
        reply = Reply{
            s.redirectStatus, "text/plain; charset=utf-8", "Dipindahkan ke " + location, {{"Location", location}}};
    } else {
        reply = route(side, s, r, target, body);
        if (s.replyStatus != 0) {
            reply.status = s.replyStatus;
        }
    }
    if (s.dropMidReply) {
        return cutOff(std::move(reply), s.announcedLength, res);
    }
    if (s.dripEvery.count() > 0) {
        return drip(*this, std::move(reply), s, res, seen);
    }
    return reply;
}

} // namespace sandbox
