#pragma once

// The sandbox on free ports, a client pointed at it, a recording view whose dialogs also show the
// client's refusals (as the program's front ends show them), and the window's state: what the startup
// check and the send run need, with real HTTP in between.

#include "recording_view.h"
#include "sandbox_fixture.h"

#include "workflow/refusal_box.h"
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

    client::RefusalNotice& refusalNotice() override { return refusalBox; }

    std::vector<std::u16string> lines(std::initializer_list<const char16_t*> texts) const
    {
        return {texts.begin(), texts.end()};
    }

    RecordingDialogs dialogs;
    workflow::RefusalBox refusalBox{dialogs};
    RecordingView view{dialogs};
    workflow::WindowState state;
    QTemporaryDir dataDir;
};

} // namespace testing_support
