#pragma once

#include "platform/browser.h"

namespace platform {

// The desktop's default browser (QDesktopServices).
class DesktopBrowser final : public Browser {
public:
    bool openUrl(std::u16string_view url) override;
};

} // namespace platform
