#pragma once

#include "platform/browser.h"

namespace app {

// The desktop's default browser (QDesktopServices).
class DesktopBrowser final : public platform::Browser {
public:
    bool openUrl(std::u16string_view url) override;
};

} // namespace app
