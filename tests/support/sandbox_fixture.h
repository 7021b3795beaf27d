#pragma once

// A test fixture with the sandbox serving both sides on free loopback ports and a client pointed at
// it, with short time-outs so that failing requests end quickly.

#include "client/client.h"
#include "client/refusal_notice.h"
#include "sandbox/sandbox.h"

#include "json/utf8.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace testing_support {

// HTTPS cases need a sandbox that serves TLS and the openssl command for their certificates; the Windows
// build has neither (no TLS library for MinGW), so they are skipped there with this reason.
inline constexpr const char* kNoHttpsSandbox = "this build's sandbox serves plain HTTP only (no TLS library for MinGW)";

inline std::u16string u16(std::string_view utf8)
{
    return json::Utf8ToUtf16(utf8);
}

inline std::string u8(std::u16string_view text)
{
    return json::Utf16ToUtf8(text);
}

inline client::Timeouts shortTimeouts()
{
    using std::chrono::milliseconds;
    return {milliseconds(2000), milliseconds(2000), milliseconds(2000), milliseconds(1500)};
}

// What the client gave the operator to read, in order: CheckEmail's reasons for refusing.
class RecordingRefusals final : public client::RefusalNotice {
public:
    void showRefusal(std::u16string_view reason) override { shown.emplace_back(reason); }

    std::vector<std::u16string> shown;
};

class SandboxTest : public ::testing::Test {
protected:
    void SetUp() override { startSandbox({}); }

    // Where the fixture's client shows its refusals.
    virtual client::RefusalNotice& refusalNotice() { return refusals; }

    // Restarts the sandbox with these options (TLS, for instance) and makes a new client for it.
    void startSandbox(sandbox::Options options, client::ClientSettings settings = {})
    {
        client.reset();
        server = std::make_unique<sandbox::Sandbox>(std::move(options));
        const auto error = server->start();
        ASSERT_FALSE(error) << *error;
        settings.serverBase = u16(server->serverUrl());
        settings.localBase = u16(server->localUrl());
        settings.timeouts = shortTimeouts();
        client = std::make_unique<client::Client>(std::move(settings), refusalNotice());
    }

    void setScenario(const std::function<void(sandbox::Scenario&)>& change)
    {
        sandbox::Scenario s = server->scenario();
        change(s);
        server->setScenario(std::move(s));
    }

    std::u16string serverUrl(std::string_view path) const { return u16(server->serverUrl() + std::string(path)); }

    const sandbox::School school = sandbox::demoSchool();
    const std::u16string token = u16(school.token);
    const std::u16string npsn = u16(school.npsn);
    RecordingRefusals refusals;
    std::unique_ptr<sandbox::Sandbox> server;
    std::unique_ptr<client::Client> client;
};

} // namespace testing_support
