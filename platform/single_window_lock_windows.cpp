#include "platform/single_window_lock.h"

#include <windows.h>

namespace platform {

void SingleWindowLock::allowToComeForward(qint64 pid)
{
    AllowSetForegroundWindow(static_cast<DWORD>(pid));
}

} // namespace platform
