#pragma once

// CheckEmail's refusals as the operator sees them: a message box with no title of its own and no icon,
// among the dialogs of the window or of the console.

#include "client/refusal_notice.h"
#include "platform/dialogs.h"

namespace workflow {

class RefusalBox final : public client::RefusalNotice {
public:
    // The dialogs must outlive the box.
    explicit RefusalBox(platform::Dialogs& dialogs) : m_dialogs(dialogs) {}

    void showRefusal(std::u16string_view reason) override
    {
        m_dialogs.messageBox(reason, std::nullopt, platform::MessageIcon::None);
    }

private:
    platform::Dialogs& m_dialogs;
};

} // namespace workflow
