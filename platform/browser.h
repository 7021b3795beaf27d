#pragma once

// Opening a web page in the operator's default browser, behind an interface so that the console mode
// and tests can stand in for it. Plain C++: no toolkit types cross it.

#include <string_view>

namespace platform {

class Browser {
public:
    virtual ~Browser() = default;

    // Asks for the page to be shown; false when the address is not a valid URL or nothing could open
    // it. Returns without waiting for the browser.
    virtual bool openUrl(std::u16string_view url) = 0;
};

} // namespace platform
