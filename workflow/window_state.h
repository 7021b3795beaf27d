#pragma once

#include "mth_version.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace workflow {

class SendHistory;

// The program's version, shown in the window and compared with the regional server's.
inline constexpr std::u16string_view AppVersion = u"" MTH_VERSION;
// The log line that separates stages: 39 hyphens.
inline constexpr std::u16string_view kRuleLine = u"---------------------------------------";
// The mark of a successful reply, searched for anywhere in it.
inline constexpr std::u16string_view kSuccessMark = u"\"success\":true";

// What the window keeps between the startup check and the send runs.
struct WindowState {
    // The local-service endpoint names, in order; absent until the startup check obtains them, and
    // present but empty when the server lists none.
    std::optional<std::vector<std::u16string>> EndpointList;
    // True while a send run is under way: the guard against starting a second one.
    bool SyncBusy = false;
    // Why the startup check's last attempt did not get through, or that the program is out of date (as
    // logged under its line); empty until then and once an attempt got through.
    std::u16string checkFailure;
    // Where the startup check and the send run keep how each ended; none: nothing is kept.
    SendHistory* history = nullptr;
};

} // namespace workflow
