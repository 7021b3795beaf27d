#include "platform/single_window_lock.h"

namespace platform {

void SingleWindowLock::allowToComeForward(qint64 pid)
{
    Q_UNUSED(pid);
}

} // namespace platform
