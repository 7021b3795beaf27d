// The school's local data service: the tables of the scenario's school, for its token and NPSN.

#include "sandbox/sandbox_state.h"

namespace sandbox {

namespace {

using detail::jsonString;
using detail::kJsonType;
using detail::Reply;

std::string localMessage(std::string_view message)
{
    return "{\"success\":false,\"message\":" + jsonString(message) + "}";
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

} // namespace

namespace detail {

std::optional<std::shared_ptr<const std::string>> localTable(const Scenario& s, const std::string& name)
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
    const auto reply = localTable(s, name);
    if (!reply) {
        return {404, std::string(kJsonType), localMessage("Layanan tidak ditemukan: " + name), {}};
    }
    return {200, std::string(kJsonType), {}, {}, *reply};
}

} // namespace detail

} // namespace sandbox
