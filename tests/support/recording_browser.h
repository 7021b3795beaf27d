#pragma once

// A Browser for tests: records every page it is asked to open and answers with `result`.

#include "platform/browser.h"

#include <string>
#include <vector>

namespace testing_support {

class RecordingBrowser final : public platform::Browser {
public:
    bool openUrl(std::u16string_view url) override
    {
        opened.emplace_back(url);
        return result;
    }

    std::vector<std::u16string> opened;
    bool result = true;
};

} // namespace testing_support
