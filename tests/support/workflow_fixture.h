#pragma once

// The sandbox on free ports, a client pointed at it, a recording view sharing the client's dialogs, and
// the window's state: what the startup check and the send run need, with real HTTP in between.

#include "recording_view.h"
#include "sandbox_fixture.h"

#include "workflow/window_state.h"

#include <QTemporaryDir>

namespace testing_support {

class WorkflowTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        view.boxes = {token, npsn, u16(school.users.front().username)};
    }

    std::vector<std::u16string> lines(std::initializer_list<const char16_t*> texts) const
    {
        return {texts.begin(), texts.end()};
    }

    RecordingView view{dialogs};
    workflow::WindowState state;
    QTemporaryDir dataDir;
};

} // namespace testing_support
