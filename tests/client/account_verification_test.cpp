#include "sandbox_fixture.h"

#include "json/json.h"

using namespace testing_support;
using sandbox::LocalUser;
using Cause = client::OperationFailure::Cause;

namespace {

constexpr char kOperator[] = "Operator Sekolah";

std::string userList(const std::vector<LocalUser>& users)
{
    std::string rows;
    for (const LocalUser& u : users) {
        rows += (rows.empty() ? "" : ",") + std::string("{\"username\":\"") + u.username + "\",\"peran_id_str\":\"" +
                u.role + "\",\"password\":\"" + u.password + "\"}";
    }
    return "{\"results\":" + std::to_string(users.size()) + ",\"rows\":[" + rows + "]}";
}

} // namespace

class CheckEmailTest : public SandboxTest {};

TEST_F(CheckEmailTest, verdictPasswordAndMessageForEachUserList)
{
    const std::vector<LocalUser> one = {{"ops@sekolah.id", kOperator, "pw-1"}};
    struct Case {
        const char* name;
        std::string reply;
        std::u16string typed;
        std::u16string verdict;
        std::u16string password; // OperatorPassword afterwards (it starts as "stale")
        std::optional<std::u16string> message;
        Cause cause; // of LastFailure
    };
    for (const Case& c : {
             Case{"exact name", userList(one), u"ops@sekolah.id", u"valid", u"pw-1", std::nullopt, Cause::None},
             Case{"spaces around the typed name", userList(one), u"  ops@sekolah.id ", u"valid", u"pw-1", std::nullopt,
                  Cause::None},
             Case{"tab is not trimmed", userList(one), u"\tops@sekolah.id", u"tidak valid", u"stale",
                  u"Gagal: Username Salah !!!", Cause::UserNotFound},
             Case{"other letter case", userList(one), u"OPS@sekolah.id", u"tidak valid", u"stale",
                  u"Gagal: Username Salah !!!", Cause::UserNotFound},
             Case{"other role", userList({{"ops@sekolah.id", "Guru", "pw-1"}}), u"ops@sekolah.id", u"tidak valid",
                  u"stale", u"Gagal: Username Salah !!!", Cause::UserNotFound},
             Case{"role in other case", userList({{"ops@sekolah.id", "operator sekolah", "pw-1"}}), u"ops@sekolah.id",
                  u"tidak valid", u"stale", u"Gagal: Username Salah !!!", Cause::UserNotFound},
             Case{"empty list", userList({}), u"ops@sekolah.id", u"tidak valid", u"stale", u"Gagal: Username Salah !!!",
                  Cause::UserNotFound},
             Case{"two matches: the last password stays",
                  userList({{"ops@sekolah.id", kOperator, "first"},
                            {"x", "Guru", "y"},
                            {"ops@sekolah.id", kOperator, "second"}}),
                  u"ops@sekolah.id", u"valid", u"second", std::nullopt, Cause::None},
             Case{"empty typed name matches an empty user name", userList({{"", kOperator, "kosong"}}), u"   ",
                  u"valid", u"kosong", std::nullopt, Cause::None},
             Case{"number password read as its digits",
                  "{\"results\":1,\"rows\":[{\"username\":\"ops@sekolah.id\",\"peran_id_str\":\"Operator "
                  "Sekolah\",\"password\":12345}]}",
                  u"ops@sekolah.id", u"valid", u"12345", std::nullopt, Cause::None},
             Case{"absent user name does not match an empty one",
                  "{\"results\":1,\"rows\":[{\"peran_id_str\":\"Operator Sekolah\",\"password\":\"p\"}]}", u"",
                  u"tidak valid", u"stale", u"Gagal: Username Salah !!!", Cause::UserNotFound},
             Case{"results but no rows", "{\"results\":0}", u"ops@sekolah.id", u"tidak valid", u"stale",
                  u"Gagal: Username Salah !!!", Cause::UserNotFound},
             Case{"results but not JSON", "results?", u"ops@sekolah.id", u"tidak valid", u"stale",
                  u"Gagal: Username Salah !!!", Cause::UserNotFound},
             Case{"rows holding non-objects", "{\"results\":2,\"rows\":[1,\"ops@sekolah.id\"]}", u"ops@sekolah.id",
                  u"tidak valid", u"stale", u"Gagal: Username Salah !!!", Cause::UserNotFound},
             Case{"message instead of results", "{\"message\":\"Token salah\"}", u"ops@sekolah.id", u"tidak valid",
                  u"stale", u"Error: Token salah", Cause::ServiceMessage},
             Case{"word message without a text member", "{\"message\":42}", u"ops@sekolah.id", u"tidak valid", u"stale",
                  u"Error: ", Cause::ServiceMessage},
             Case{"neither results nor message", "Layanan sibuk", u"ops@sekolah.id", u"tidak valid", u"stale",
                  u"Layanan sibuk", Cause::UnknownReply},
         }) {
        // An earlier match leaves its password behind; a failed check must not change it.
        setScenario([&](sandbox::Scenario& s) { s.setTable("getPengguna", userList({{"old", kOperator, "stale"}})); });
        ASSERT_EQ(client->CheckEmail(npsn, token, u"old"), u"valid");
        setScenario([&](sandbox::Scenario& s) { s.setTable("getPengguna", c.reply); });
        refusals.shown.clear();
        EXPECT_EQ(client->CheckEmail(npsn, token, c.typed), c.verdict) << c.name;
        EXPECT_EQ(client->OperatorPassword(), c.password) << c.name;
        EXPECT_EQ(refusals.shown, c.message ? std::vector{*c.message} : std::vector<std::u16string>{}) << c.name;
        EXPECT_EQ(client->LastFailure().cause, c.cause) << c.name;
    }
}

TEST_F(CheckEmailTest, demoSchool_operatorIsValidWithItsPassword)
{
    EXPECT_EQ(client->CheckEmail(npsn, token, u" operator@smpn1-sukamaju.sch.id "), u"valid");
    EXPECT_EQ(client->OperatorPassword(), u16(school.users[0].password));
    EXPECT_EQ(client->CheckEmail(npsn, u"wrong-token", u"operator@smpn1-sukamaju.sch.id"), u"tidak valid");
    ASSERT_EQ(refusals.shown.size(), 1u);
    EXPECT_EQ(refusals.shown[0], u"Error: Token tidak valid");
}

TEST_F(CheckEmailTest, localServiceDown_showsTheErrorText)
{
    const std::string local = server->localUrl();
    server->stop();
    client::ClientSettings settings;
    settings.localBase = u16(local);
    settings.timeouts = shortTimeouts();
    client::Client c(settings, refusals);
    EXPECT_EQ(c.CheckEmail(npsn, token, u"operator@smpn1-sukamaju.sch.id"), u"tidak valid");
    ASSERT_EQ(refusals.shown.size(), 1u);
    EXPECT_EQ(refusals.shown[0], u"Error: Layanan Murenta lokal (" + u16(local) +
                                     u") tidak dapat dihubungi: koneksi ditolak. Pastikan aplikasi Murenta "
                                     u"sedang berjalan.");
    EXPECT_TRUE(c.OperatorPassword().empty());
}

class GetLocalDataTest : public SandboxTest {};

TEST_F(GetLocalDataTest, requestCarriesTokenThenContentType)
{
    struct Case {
        std::u16string endpoint;
        std::u16string npsnValue;
        std::u16string tokenValue;
        std::string target;
        std::string authorization;
    };
    for (const Case& c : {
             Case{u"getPengguna", u"20500123", u"abc", "/WebService/getPengguna?npsn=20500123", "Bearer abc"},
             Case{u"get Siswa/../x", u"1&npsn=2#f", u"t", "/WebService/get%20Siswa%2F..%2Fx?npsn=1%26npsn%3D2%23f",
                  "Bearer t"},
             Case{u"getGuru", u"", u"", "/WebService/getGuru?npsn=", "Bearer"},
         }) {
        server->clearRequests();
        client->GetLocalData(c.endpoint, c.npsnValue, c.tokenValue);
        const auto requests = server->requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].side, sandbox::Side::Local);
        EXPECT_EQ(requests[0].method, "GET");
        EXPECT_EQ(requests[0].target, c.target);
        EXPECT_EQ(requests[0].bodySize, 0u);
        std::vector<std::string> order;
        for (const auto& [name, value] : requests[0].headers) {
            if (name == "Authorization" || name == "Content-Type") {
                order.push_back(name + ": " + value);
            }
        }
        EXPECT_EQ(order,
                  (std::vector<std::string>{"Authorization: " + c.authorization, "Content-Type: application/json"}));
    }
}

TEST_F(GetLocalDataTest, replyReturnedUnchanged)
{
    setScenario([](sandbox::Scenario& s) { s.setTable("getX", "{\"results\":1,\r\n\"rows\":[\"\xC3\xA9\"]}"); });
    EXPECT_EQ(client->GetLocalData(u"getX", npsn, token), u"{\"results\":1,\r\n\"rows\":[\"\u00e9\"]}");
    EXPECT_EQ(client->GetLocalData(u"getX", npsn, u"salah"), u"{\"success\":false,\"message\":\"Token tidak valid\"}");
}

class CheckUserTest : public SandboxTest {};

TEST_F(CheckUserTest, loginBody_valuesEscapedOrdinaryOnesUnchanged)
{
    struct Case {
        const char* name;
        std::u16string npsnValue;
        std::u16string email;
        std::u16string password;
        std::string body;
    };
    for (const Case& c : {
             Case{"ordinary", u"20500123", u"ops@sekolah.id", u"e3f1c0a9",
                  "{\"npsn\":\"20500123\",\"email\":\"ops@sekolah.id\",\"password\":\"e3f1c0a9\"}"},
             Case{"empty password", u"1", u"a", u"", "{\"npsn\":\"1\",\"email\":\"a\",\"password\":\"\"}"},
             Case{"quote cannot add a member", u"1", u"a\",\"npsn\":\"2", u"p",
                  "{\"npsn\":\"1\",\"email\":\"a\\\",\\\"npsn\\\":\\\"2\",\"password\":\"p\"}"},
             Case{"backslash and controls", u"1\\", u"b\nc", u"\t\x01",
                  "{\"npsn\":\"1\\\\\",\"email\":\"b\\u000ac\",\"password\":\"\\u0009\\u0001\"}"},
             Case{"non-ASCII as UTF-8", u"1", u"guru.\u00e9@sekolah.id", u"\u20ac",
                  "{\"npsn\":\"1\",\"email\":\"guru.\xC3\xA9@sekolah.id\",\"password\":\"\xE2\x82\xAC\"}"},
         }) {
        server->clearRequests();
        client->CheckUser(c.npsnValue, c.email, c.password);
        const auto requests = server->requests();
        ASSERT_EQ(requests.size(), 1u) << c.name;
        EXPECT_EQ(requests[0].method, "POST") << c.name;
        EXPECT_EQ(requests[0].target, "/api_api/cek_pengguna") << c.name;
        EXPECT_EQ(requests[0].header("Content-Type"), "application/json") << c.name;
        EXPECT_FALSE(requests[0].header("Authorization")) << c.name;
        EXPECT_EQ(requests[0].body, c.body) << c.name;
        // Whatever the values, the body is one object with exactly these three members and values.
        const auto root = json::ParseJsonUtf8(requests[0].body);
        ASSERT_TRUE(root) << c.name;
        EXPECT_TRUE(json::LastParseErrors().empty()) << c.name;
        EXPECT_EQ(root->count(), 3u) << c.name;
        EXPECT_EQ((*root)[u"npsn"].asString(), c.npsnValue) << c.name;
        EXPECT_EQ((*root)[u"email"].asString(), c.email) << c.name;
        EXPECT_EQ((*root)[u"password"].asString(), c.password) << c.name;
    }
}

TEST_F(CheckUserTest, replyReturnedUnchanged)
{
    const std::u16string op = u16(school.users[0].username);
    const std::u16string pw = u16(school.users[0].password);
    EXPECT_EQ(client->CheckUser(npsn, op, pw), u"{\"success\":true,\"msg\":\"0\"}");
    EXPECT_EQ(client->CheckUser(npsn, op, u"salah"),
              u"{\"success\":false,\"msg\":\"Login gagal: NPSN, pengguna atau kata sandi salah\"}");
    setScenario([](sandbox::Scenario& s) { s.sendsToday = 9; });
    EXPECT_EQ(client->CheckUser(npsn, op, pw), u"{\"success\":true,\"msg\":\"9\"}");
    setScenario([](sandbox::Scenario& s) { s.refuseLogin = true; });
    EXPECT_EQ(client->CheckUser(npsn, op, pw), u"{\"success\":false,\"msg\":\"Login ditolak oleh server\"}");
    server->stop();
    EXPECT_EQ(client->CheckUser(npsn, op, pw).rfind(u"Error: ", 0), 0u);
}
