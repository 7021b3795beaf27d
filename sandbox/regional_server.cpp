// The regional server: its settings, the operator's login, the tables it accepts and processes, the
// day's send count, and its two pages.

#include "sandbox/sandbox_state.h"

#include "json/json.h"
#include "json/local_parse_errors.h"
#include "json/utf8.h"

#include <algorithm>
#include <ctime>

namespace sandbox {

namespace {

using detail::htmlEscape;
using detail::kJsonType;
using detail::Reply;
using detail::today;
using detail::verdict;

constexpr std::string_view kOperatorRole = "Operator Sekolah";

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

std::string utf8(const json::JsonValue& value)
{
    return json::Utf16ToUtf8(value.asString());
}

std::string login(Sandbox::State& state, const Scenario& s, const std::string& body)
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
    std::lock_guard lock(state.mutex);
    state.lastLoginNpsn = npsn;
    return verdict(true, s.loginCount.value_or(std::to_string(state.sendsCountedToday(npsn))));
}

std::string upload(Sandbox::State& state, const Scenario& s, const std::string& npsn, const std::string& name,
                   const std::string& body)
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
    if (const auto expected = detail::localTable(s, name)) {
        if (inner != **expected) {
            return verdict(false, "data_json tidak sama dengan tabel " + name + " dari layanan lokal");
        }
        {
            std::lock_guard lock(state.mutex);
            if (const auto it = state.tableRows.find(expected->get()); it != state.tableRows.end()) {
                rows = it->second;
            }
        }
        if (!rows) {
            rows = detail::rowCountOf(inner).value_or(0);
        }
    } else if (!(rows = detail::rowCountOf(inner))) {
        return verdict(false, "data_json tidak memuat \"results\"");
    }
    std::lock_guard lock(state.mutex);
    std::erase_if(state.received, [&](const ReceivedTable& t) { return t.npsn == npsn && t.name == name; });
    state.received.push_back({npsn, name, *rows, inner.size(), localTime("%Y-%m-%d %H:%M:%S"), false});
    return verdict(true, "Data " + name + " diterima: " + std::to_string(*rows) + " baris");
}

std::string process(Sandbox::State& state, const Scenario& s, const std::string& npsn, const std::string& name)
{
    if (name == s.failProcess) {
        return verdict(false, "Gagal memproses data " + name);
    }
    std::lock_guard lock(state.mutex);
    for (ReceivedTable& t : state.received) {
        if (t.npsn == npsn && t.name == name) {
            t.processed = true;
            return verdict(true, "Data " + name + " diproses");
        }
    }
    return verdict(false, "Data " + name + " belum diterima");
}

// A summary rebuild completes a send: counted for the NPSN that logged in last.
std::string updateSummary(Sandbox::State& state, const Scenario& s)
{
    std::lock_guard lock(state.mutex);
    auto& [day, count] = state.sends[state.lastLoginNpsn.empty() ? s.school.npsn : state.lastLoginNpsn];
    if (day != today()) {
        day = today();
        count = 0;
    }
    ++count;
    return verdict(true, "Ringkasan diperbarui");
}

std::string downloadPage(const Scenario& s)
{
    return "<!DOCTYPE html>\n<html lang=\"id\"><head><meta charset=\"utf-8\"><title>Unduhan</title></head>"
           "<body><h1>Unduh Murenta Tervalis Helper</h1><p>Versi terbaru: " +
           htmlEscape(s.version) + "</p></body></html>\n";
}

std::string progressPage(const Sandbox::State& state)
{
    std::string rows;
    {
        std::lock_guard lock(state.mutex);
        for (const ReceivedTable& t : state.received) {
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

} // namespace

namespace detail {

std::string today()
{
    return localTime("%Y-%m-%d");
}

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

} // namespace detail

Reply Sandbox::State::serveRegional(const Scenario& s, const detail::Target& t, const RecordedRequest& r,
                                    const std::string& body)
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
        return {200, std::string(kJsonType), login(*this, s, body), {}};
    }
    if (seg.size() == 4 && seg[0] == "api_api" && seg[1] == "kirim_data" && post) {
        return {200, std::string(kJsonType), upload(*this, s, seg[2], seg[3], body), {}};
    }
    if (seg.size() == 4 && seg[0] == "api_api" && seg[1] == "proses_data" && get) {
        return {200, std::string(kJsonType), process(*this, s, seg[2], seg[3]), {}};
    }
    if (seg.size() == 2 && seg[0] == "cron_cron" && seg[1] == "update_summary" && get) {
        return {200, std::string(kJsonType), updateSummary(*this, s), {}};
    }
    if (seg.size() == 1 && seg[0] == "unduhan" && get) {
        return {200, "text/html; charset=utf-8", downloadPage(s), {}};
    }
    if (seg.size() == 1 && seg[0] == "progres_data" && get) {
        return {200, "text/html; charset=utf-8", progressPage(*this), {}};
    }
    return {404, std::string(kJsonType), verdict(false, "Alamat tidak dikenal"), {}};
}

int Sandbox::State::sendsCountedToday(const std::string& npsn) const
{
    const auto it = sends.find(npsn);
    return it != sends.end() && it->second.first == today() ? it->second.second : 0;
}

} // namespace sandbox
