#include "sandbox/sandbox.h"

#include "sandbox/tap_server.h"

#include "json/json.h"
#include "json/json_escape.h"
#include "json/local_parse_errors.h"
#include "json/utf8.h"

#if MTH_SANDBOX_TLS
#include <openssl/err.h>
#include <openssl/ssl.h>
#endif

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <mutex>
#include <thread>

namespace sandbox {

namespace {

constexpr std::string_view kOperatorRole = "Operator Sekolah";
constexpr std::string_view kJsonType = "application/json";
// Where a redirect of the scenario points when it names no address.
constexpr std::string_view kMovedPrefix = "/moved";

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// %XX escapes decoded; a malformed escape stays as it is. "+" stays a plus.
std::string percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = json::hexDigitValue(static_cast<unsigned char>(text[i + 1]));
            const int lo = json::hexDigitValue(static_cast<unsigned char>(text[i + 2]));
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The path split at "/" into decoded segments (the empty segment before the first "/" dropped), and
// the decoded query parameters.
struct Target {
    std::string rawPath;
    std::vector<std::string> segments;
    std::vector<std::pair<std::string, std::string>> query;

    std::optional<std::string> param(std::string_view name) const
    {
        for (const auto& [key, value] : query) {
            if (key == name) {
                return value;
            }
        }
        return std::nullopt;
    }
};

Target parseTarget(std::string_view target)
{
    Target t;
    const std::size_t q = target.find('?');
    t.rawPath = std::string(target.substr(0, q));
    std::string_view path = t.rawPath;
    if (!path.empty() && path.front() == '/') {
        path.remove_prefix(1);
    }
    while (true) {
        const std::size_t slash = path.find('/');
        t.segments.push_back(percentDecode(path.substr(0, slash)));
        if (slash == std::string_view::npos) {
            break;
        }
        path.remove_prefix(slash + 1);
    }
    if (q != std::string_view::npos) {
        std::string_view query = target.substr(q + 1);
        while (!query.empty()) {
            const std::size_t amp = query.find('&');
            const std::string_view pair = query.substr(0, amp);
            const std::size_t eq = pair.find('=');
            t.query.emplace_back(percentDecode(pair.substr(0, eq)),
                                 eq == std::string_view::npos ? std::string() : percentDecode(pair.substr(eq + 1)));
            if (amp == std::string_view::npos) {
                break;
            }
            query.remove_prefix(amp + 1);
        }
    }
    return t;
}

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

// Fills method, target and headers from a head exactly as it arrived.
void readHead(std::string_view head, RecordedRequest& r)
{
    bool first = true;
    while (!head.empty()) {
        std::size_t end = head.find('\n');
        std::string_view line = head.substr(0, end);
        head.remove_prefix(end == std::string_view::npos ? head.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            break;
        }
        if (first) {
            first = false;
            const std::size_t a = line.find(' ');
            const std::size_t b = line.find(' ', a == std::string_view::npos ? a : a + 1);
            r.method = std::string(line.substr(0, a));
            if (a != std::string_view::npos) {
                r.target = std::string(line.substr(a + 1, b == std::string_view::npos ? b : b - a - 1));
            }
            continue;
        }
        const std::size_t colon = line.find(':');
        r.headers.emplace_back(std::string(line.substr(0, colon)),
                               colon == std::string_view::npos ? std::string()
                                                               : std::string(trimBlanks(line.substr(colon + 1))));
    }
}

std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + '"';
}

// The replies of the regional server, written without blanks inside "success":true and "msg":"...".
std::string verdict(bool success, std::string_view msg)
{
    return std::string("{\"success\":") + (success ? "true" : "false") + ",\"msg\":" + jsonString(msg) + "}";
}

std::string localMessage(std::string_view message)
{
    return "{\"success\":false,\"message\":" + jsonString(message) + "}";
}

std::string htmlEscape(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string localTime(const char* format)
{
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &now);
#else
    localtime_r(&now, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, format, &parts);
    return text;
}

std::string today()
{
    return localTime("%Y-%m-%d");
}

std::string utf8(const json::JsonValue& value)
{
    return json::Utf16ToUtf8(value.asString());
}

// The "results" of a table reply: nothing when the reply is no object or has no such member, 0 when it
// is no whole number.
std::optional<long long> rowCountOf(std::string_view table)
{
    // Requests are served on threads that end before the program.
    json::LocalParseErrors parseErrors;
    const auto root = json::ParseJsonUtf8(table);
    const json::JsonValue* results = root ? root->find(u"results") : nullptr;
    if (!results) {
        return std::nullopt;
    }
    return results->isNumber() ? results->asNumber().toInt64().value_or(0) : 0;
}

std::size_t demoRows(const std::string& name)
{
    if (name == "getSekolah") {
        return 1;
    }
    if (name == "getSiswa") {
        return 24;
    }
    if (name == "getGuru") {
        return 6;
    }
    if (name == "getKelas") {
        return 4;
    }
    return 0;
}

std::string userList(const School& school)
{
    std::string out = "{\"results\":" + std::to_string(school.users.size()) + ",\"rows\":[";
    for (std::size_t i = 0; i < school.users.size(); ++i) {
        const LocalUser& u = school.users[i];
        out += i == 0 ? "\n" : ",\n";
        out += "{\"pengguna_id\":\"" + std::to_string(1000 + i) + "\",\"username\":" + jsonString(u.username) +
               ",\"nama\":" + jsonString(u.username.substr(0, u.username.find('@'))) +
               ",\"peran_id_str\":" + jsonString(u.role) + ",\"password\":" + jsonString(u.password) + "}";
    }
    return out + "\n]}\n";
}

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

#if MTH_SANDBOX_TLS
// The regional server's TLS context, from the options' certificate and key; stays null for plain HTTP.
std::optional<std::string> makeTlsContext(const Options& options, SSL_CTX*& context)
{
    if (options.tlsCertFile.empty() && options.tlsKeyFile.empty()) {
        return std::nullopt;
    }
    context = SSL_CTX_new(TLS_server_method());
    if (!context || SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION) != 1 ||
        SSL_CTX_use_certificate_chain_file(context, options.tlsCertFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, options.tlsKeyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(context) != 1) {
        char reason[256] = "";
        ERR_error_string_n(ERR_get_error(), reason, sizeof reason);
        SSL_CTX_free(context);
        context = nullptr;
        return "cannot use the certificate " + options.tlsCertFile + " and key " + options.tlsKeyFile + ": " + reason;
    }
    return std::nullopt;
}

void releaseTlsContext(SSL_CTX* context)
{
    SSL_CTX_free(context);
}
#else
std::optional<std::string> makeTlsContext(const Options& options, ssl_ctx_st*&)
{
    if (options.tlsCertFile.empty() && options.tlsKeyFile.empty()) {
        return std::nullopt;
    }
    return "this sandbox is built without a TLS library: it serves plain HTTP only";
}

void releaseTlsContext(ssl_ctx_st*) {}
#endif

} // namespace

bool httpsAvailable()
{
    return MTH_SANDBOX_TLS != 0;
}

std::optional<std::string> RecordedRequest::header(std::string_view name) const
{
    for (const auto& [key, value] : headers) {
        if (equalsIgnoringCase(key, name)) {
            return value;
        }
    }
    return std::nullopt;
}

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

    // The local service's reply for a table, or nothing for an unknown name.
    std::optional<std::shared_ptr<const std::string>> table(const Scenario& s, const std::string& name) const
    {
        if (const auto it = s.tableReplies.find(name); it != s.tableReplies.end()) {
            return it->second;
        }
        if (name == "getPengguna") {
            return std::make_shared<const std::string>(userList(s.school));
        }
        if (const std::size_t rows = demoRows(name); rows > 0) {
            return std::make_shared<const std::string>(generateTable(name, rows));
        }
        return std::nullopt;
    }

    Reply serveLocal(const Scenario& s, const Target& t, const RecordedRequest& r)
    {
        if (t.segments.size() != 2 || t.segments[0] != "WebService" || r.method != "GET") {
            return {404, std::string(kJsonType), localMessage("Layanan tidak ditemukan"), {}};
        }
        const std::string& name = t.segments[1];
        if (r.header("Authorization").value_or("") != "Bearer " + s.school.token) {
            return {401, std::string(kJsonType), localMessage("Token tidak valid"), {}};
        }
        if (t.param("npsn").value_or("") != s.school.npsn) {
            return {200, std::string(kJsonType), localMessage("NPSN tidak terdaftar di layanan ini"), {}};
        }
        const auto reply = table(s, name);
        if (!reply) {
            return {404, std::string(kJsonType), localMessage("Layanan tidak ditemukan: " + name), {}};
        }
        return {200, std::string(kJsonType), {}, {}, *reply};
    }

    Reply serveRegional(const Scenario& s, const Target& t, const RecordedRequest& r, const std::string& body)
    {
        const auto& seg = t.segments;
        const bool get = r.method == "GET";
        const bool post = r.method == "POST";
        if (seg.size() == 3 && seg[0] == "api_api" && seg[1] == "ambil_seting" && get) {
            if (seg[2] == "versi") {
                return {200, std::string(kJsonType), verdict(true, s.version), {}};
            }
            if (seg[2] == "endpoint") {
                return {200, std::string(kJsonType), verdict(true, s.endpoints), {}};
            }
            return {200, std::string(kJsonType), verdict(false, "Seting tidak dikenal: " + seg[2]), {}};
        }
        if (seg.size() == 2 && seg[0] == "api_api" && seg[1] == "cek_pengguna" && post) {
            return {200, std::string(kJsonType), login(s, body), {}};
        }
        if (seg.size() == 4 && seg[0] == "api_api" && seg[1] == "kirim_data" && post) {
            return {200, std::string(kJsonType), upload(s, seg[2], seg[3], body), {}};
        }
        if (seg.size() == 4 && seg[0] == "api_api" && seg[1] == "proses_data" && get) {
            return {200, std::string(kJsonType), process(s, seg[2], seg[3]), {}};
        }
        if (seg.size() == 2 && seg[0] == "cron_cron" && seg[1] == "update_summary" && get) {
            std::lock_guard lock(mutex);
            auto& [day, count] = sends[lastLoginNpsn.empty() ? s.school.npsn : lastLoginNpsn];
            if (day != today()) {
                day = today();
                count = 0;
            }
            ++count;
            return {200, std::string(kJsonType), verdict(true, "Ringkasan diperbarui"), {}};
        }
        if (seg.size() == 1 && seg[0] == "unduhan" && get) {
            return {200, "text/html; charset=utf-8", downloadPage(s), {}};
        }
        if (seg.size() == 1 && seg[0] == "progres_data" && get) {
            return {200, "text/html; charset=utf-8", progressPage(), {}};
        }
        return {404, std::string(kJsonType), verdict(false, "Alamat tidak dikenal"), {}};
    }

    std::string login(const Scenario& s, const std::string& body)
    {
        if (s.refuseLogin) {
            return verdict(false, "Login ditolak oleh server");
        }
        json::LocalParseErrors parseErrors;
        const auto root = json::ParseJsonUtf8(body);
        if (!root || !root->isObject()) {
            return verdict(false, "Permintaan login tidak terbaca");
        }
        const std::string npsn = utf8((*root)[u"npsn"]);
        const std::string email = utf8((*root)[u"email"]);
        const std::string password = utf8((*root)[u"password"]);
        const bool known =
            npsn == s.school.npsn && std::any_of(s.school.users.begin(), s.school.users.end(), [&](const LocalUser& u) {
                return u.username == email && u.password == password && u.role == kOperatorRole;
            });
        if (!known) {
            return verdict(false, "Login gagal: NPSN, pengguna atau kata sandi salah");
        }
        std::lock_guard lock(mutex);
        lastLoginNpsn = npsn;
        const auto it = sends.find(npsn);
        const int count = it != sends.end() && it->second.first == today() ? it->second.second : 0;
        return verdict(true, s.loginCount.value_or(std::to_string(count)));
    }

    std::string upload(const Scenario& s, const std::string& npsn, const std::string& name, const std::string& body)
    {
        if (npsn != s.school.npsn) {
            return verdict(false, "NPSN tidak dikenal: " + npsn);
        }
        if (name == s.failUpload) {
            return verdict(false, "Gagal menyimpan data " + name);
        }
        constexpr std::string_view prefix = "{\"data_json\":";
        if (body.size() < prefix.size() + 1 || body.compare(0, prefix.size(), prefix) != 0 || body.back() != '}') {
            return verdict(false, "Isi kiriman bukan {\"data_json\":...}");
        }
        const std::string_view inner = std::string_view(body).substr(prefix.size(), body.size() - prefix.size() - 1);
        std::optional<long long> rows;
        if (const auto expected = table(s, name)) {
            if (inner != **expected) {
                return verdict(false, "data_json tidak sama dengan tabel " + name + " dari layanan lokal");
            }
            {
                std::lock_guard lock(mutex);
                if (const auto it = tableRows.find(expected->get()); it != tableRows.end()) {
                    rows = it->second;
                }
            }
            if (!rows) {
                rows = rowCountOf(inner).value_or(0);
            }
        } else if (!(rows = rowCountOf(inner))) {
            return verdict(false, "data_json tidak memuat \"results\"");
        }
        std::lock_guard lock(mutex);
        std::erase_if(received, [&](const ReceivedTable& t) { return t.npsn == npsn && t.name == name; });
        received.push_back({npsn, name, *rows, inner.size(), localTime("%Y-%m-%d %H:%M:%S"), false});
        return verdict(true, "Data " + name + " diterima: " + std::to_string(*rows) + " baris");
    }

    std::string process(const Scenario& s, const std::string& npsn, const std::string& name)
    {
        if (name == s.failProcess) {
            return verdict(false, "Gagal memproses data " + name);
        }
        std::lock_guard lock(mutex);
        for (ReceivedTable& t : received) {
            if (t.npsn == npsn && t.name == name) {
                t.processed = true;
                return verdict(true, "Data " + name + " diproses");
            }
        }
        return verdict(false, "Data " + name + " belum diterima");
    }

    static std::string downloadPage(const Scenario& s)
    {
        return "<!DOCTYPE html>\n<html lang=\"id\"><head><meta charset=\"utf-8\"><title>Unduhan</title></head>"
               "<body><h1>Unduh Murenta Tervalis Helper</h1><p>Versi terbaru: " +
               htmlEscape(s.version) + "</p></body></html>\n";
    }

    std::string progressPage()
    {
        std::string rows;
        {
            std::lock_guard lock(mutex);
            for (const ReceivedTable& t : received) {
                rows += "<tr><td>" + htmlEscape(t.name) + "</td><td>" + htmlEscape(t.npsn) + "</td><td>" +
                        std::to_string(t.rows) + "</td><td>" + std::to_string(t.bytes) + "</td><td>" +
                        htmlEscape(t.receivedAt) + "</td><td>" + (t.processed ? "ya" : "belum") + "</td></tr>\n";
            }
        }
        return "<!DOCTYPE html>\n<html lang=\"id\"><head><meta charset=\"utf-8\"><title>Progres Data</title></head>"
               "<body><h1>Progres Data</h1>\n<table>\n<tr><th>Tabel</th><th>NPSN</th><th>Baris</th><th>Byte</th>"
               "<th>Diterima</th><th>Diproses</th></tr>\n" +
               rows + "</table></body></html>\n";
    }

    // Routes named after what they do, on both servers, for tests of the client's transport.
    std::optional<Reply> serveBehaviour(const Target& t, httplib::Response& res, std::uint64_t seen)
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
            return Reply{503, "text/plain", "dilepas", {{"Connection", "close"}}};
        }
        if (what == "status") {
            return Reply{
                static_cast<int>(number("code", 500)), "text/plain; charset=utf-8", t.param("body").value_or(""), {}};
        }
        if (what == "bytes") {
            // /behaviour/bytes/<hex digits>/<content type>, anything after ignored, so that a client can
            // append its own path to it.
            std::string bytes;
            const std::string hex = t.segments.size() > 2 ? t.segments[2] : "";
            for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
                bytes += static_cast<char>(json::hexDigitValue(static_cast<unsigned char>(hex[i])) * 16 +
                                           json::hexDigitValue(static_cast<unsigned char>(hex[i + 1])));
            }
            return Reply{200, t.segments.size() > 3 ? t.segments[3] : "text/plain", bytes, {}};
        }
        if (what == "sip") {
            return Reply{200, std::string(kJsonType), verdict(true, "diteguk"), {}};
        }
        if (what == "cookie") {
            return Reply{200, std::string(kJsonType), verdict(true, "kue"), {{"Set-Cookie", "sid=sandbox-cookie"}}};
        }
        if (what == "drop" || what == "stall") {
            // ?length=N announces N bytes (1000 unless given), however few are sent.
            const bool stall = what == "stall";
            const auto length = static_cast<std::size_t>(number("length", 1000));
            res.set_content_provider(
                length, "text/plain",
                [this, stall, seen, length, sent = false](std::size_t, std::size_t, httplib::DataSink& sink) mutable {
                    if (sent) {
                        return false;
                    }
                    sent = true;
                    const std::string half(std::min<std::size_t>(stall ? 10 : 500, length / 2), 'x');
                    sink.write(half.data(), half.size());
                    if (stall) {
                        holdForever(seen);
                    }
                    return true;
                });
            return Reply{-1, {}, {}, {}};
        }
        if (what == "trickle") {
            const long long chunks = number("chunks", 5);
            const auto pause = std::chrono::milliseconds(number("ms", 100));
            res.set_chunked_content_provider(
                "text/plain", [this, chunks, pause, seen](std::size_t, httplib::DataSink& sink) {
                    for (long long i = 0; i < chunks; ++i) {
                        if (!hold(pause, seen)) {
                            return false;
                        }
                        const std::string piece = "potongan " + std::to_string(i + 1) + "\n";
                        sink.write(piece.data(), piece.size());
                    }
                    sink.done();
                    return true;
                });
            return Reply{-1, {}, {}, {}};
        }
        if (what == "flood") {
            // ?bytes=N bytes in chunks, with no length announced; without it, until the client leaves.
            const long long total = number("bytes", -1);
            res.set_chunked_content_provider(
                "text/plain", [this, total, seen](std::size_t offset, httplib::DataSink& sink) {
                    static const std::string piece(64 * 1024, 'x');
                    const auto left = total < 0 ? piece.size() : static_cast<std::size_t>(total) - offset;
                    if (left == 0 || !hold(std::chrono::milliseconds(0), seen)) {
                        sink.done();
                        return true;
                    }
                    return sink.write(piece.data(), std::min(left, piece.size()));
                });
            return Reply{-1, {}, {}, {}};
        }
        return Reply{404, "text/plain", "perilaku tidak dikenal", {}};
    }

    void serve(Side side, const httplib::Request& req, httplib::Response& res, const httplib::ContentReader* reader)
    {
        RecordedRequest r;
        r.side = side;
        if (const detail::ConnectionInfo* c = detail::TapServer::currentConnection()) {
            readHead(c->head, r);
            r.head = c->head;
            r.connection = c->id;
            r.requestsOnIt = c->requestsOnIt;
            r.clientPort = c->clientPort;
        }
        const Target target = parseTarget(r.target);
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

        Reply reply;
        if (auto behaviour = serveBehaviour(target, res, seen)) {
            reply = std::move(*behaviour);
        } else {
            const bool faulty = target.rawPath.compare(0, s.faultPath.size(), s.faultPath) == 0;
            if (faulty && s.delay.count() > 0) {
                hold(s.delay, seen);
            }
            if (faulty && s.neverReply) {
                holdForever(seen);
                reply = Reply{503, "text/plain", "dilepas", {{"Connection", "close"}}};
            } else if (faulty && s.error500) {
                reply = Reply{500,
                              "text/html; charset=utf-8",
                              "<html><body><h1>500 Internal Server Error</h1></body></html>\n",
                              {}};
            } else if (faulty && s.redirectStatus != 0) {
                const std::string location = s.redirectTo.empty() ? std::string(kMovedPrefix) + r.target : s.redirectTo;
                reply = Reply{s.redirectStatus,
                              "text/plain; charset=utf-8",
                              "Dipindahkan ke " + location,
                              {{"Location", location}}};
            } else {
                const Target routed = target.rawPath.rfind(std::string(kMovedPrefix) + "/", 0) == 0
                                          ? parseTarget(std::string_view(r.target).substr(kMovedPrefix.size()))
                                          : target;
                reply = side == Side::Local ? serveLocal(s, routed, r) : serveRegional(s, routed, r, body);
                if (faulty && s.replyStatus != 0) {
                    reply.status = s.replyStatus;
                }
            }
            if (faulty && s.dropMidReply) {
                auto full = reply.takeBody();
                res.status = reply.status;
                res.set_content_provider(
                    s.announcedLength != 0 ? s.announcedLength : full->size(), reply.contentType,
                    [full, sent = false](std::size_t, std::size_t, httplib::DataSink& sink) mutable {
                        if (sent) {
                            return false;
                        }
                        sent = true;
                        sink.write(full->data(), full->size() / 2);
                        return true;
                    });
                reply.status = -1;
            } else if (faulty && s.dripEvery.count() > 0) {
                auto full = reply.takeBody();
                res.status = reply.status;
                res.set_content_provider(full->size(), reply.contentType,
                                         [this, full, every = s.dripEvery,
                                          piece = std::max<std::size_t>(s.dripBytes, 1),
                                          seen](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                             if (!hold(every, seen)) {
                                                 return false;
                                             }
                                             sink.write(full->data() + offset, std::min(length, piece));
                                             return true;
                                         });
                reply.status = -1;
            }
        }
        if (reply.status >= 0) {
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
        } else if (res.status < 0) {
            res.status = 200;
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
};

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
    if (auto error = makeTlsContext(s.options, tls)) {
        return error;
    }
    s.tls = tls != nullptr;
    s.local = std::make_unique<detail::TapServer>(nullptr);
    s.regional = std::make_unique<detail::TapServer>(tls);
    releaseTlsContext(tls);

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
        rows[reply.get()] = rowCountOf(*reply).value_or(0);
    }
    {
        std::lock_guard lock(m_state->mutex);
        m_state->sends[scenario.school.npsn] = {today(), scenario.sendsToday};
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
    const auto it = m_state->sends.find(npsn);
    return it != m_state->sends.end() && it->second.first == today() ? it->second.second : 0;
}

void Sandbox::setRequestObserver(std::function<void(const RecordedRequest&, int)> observer)
{
    std::lock_guard lock(m_state->mutex);
    m_state->observer = std::move(observer);
}

} // namespace sandbox
