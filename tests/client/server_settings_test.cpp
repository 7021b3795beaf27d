#include "sandbox_fixture.h"

#include "mth_version.h"

using namespace testing_support;

class GetSettingTest : public SandboxTest {};

TEST_F(GetSettingTest, keyGoesStraightAfterThePath)
{
    struct Case {
        std::u16string key;
        std::string target;
        std::u16string reply;
    };
    for (const Case& c : {
             Case{u"versi", "/api_api/ambil_seting/versi", u"{\"success\":true,\"msg\":\"" MTH_VERSION "\"}"},
             Case{u"endpoint", "/api_api/ambil_seting/endpoint",
                  u"{\"success\":true,\"msg\":\"getSekolah,getSiswa,getGuru,getKelas\"}"},
             Case{u"a/b?c#d%e f", "/api_api/ambil_seting/a%2Fb%3Fc%23d%25e%20f",
                  u"{\"success\":false,\"msg\":\"Seting tidak dikenal: a/b?c#d%e f\"}"},
         }) {
        server->clearRequests();
        EXPECT_EQ(client->GetSetting(c.key), c.reply) << c.target;
        const auto requests = server->requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].side, sandbox::Side::Regional);
        EXPECT_EQ(requests[0].method, "GET");
        EXPECT_EQ(requests[0].target, c.target);
        EXPECT_EQ(requests[0].bodySize, 0u);
        EXPECT_FALSE(requests[0].header("Authorization"));
        EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
    }
}

TEST_F(GetSettingTest, replyReturnedUnchanged)
{
    setScenario([](sandbox::Scenario& s) {
        s.setTable("unused", "");
        s.version = "2.1 \"beta\"";
    });
    EXPECT_EQ(client->GetSetting(u"versi"), u"{\"success\":true,\"msg\":\"2.1 \\\"beta\\\"\"}");
    setScenario([](sandbox::Scenario& s) { s.error500 = true; });
    EXPECT_EQ(client->GetSetting(u"versi"), u"<html><body><h1>500 Internal Server Error</h1></body></html>\n");
}

TEST_F(GetSettingTest, serverDown_givesErrorText)
{
    const std::string base = server->serverUrl();
    server->stop();
    client::ClientSettings settings;
    settings.serverBase = u16(base);
    settings.timeouts = shortTimeouts();
    client::Client c(settings, refusals);
    EXPECT_EQ(c.GetSetting(u"versi").rfind(u"Error: ", 0), 0u);
}
