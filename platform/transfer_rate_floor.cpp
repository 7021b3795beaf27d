#include "platform/transfer_rate_floor.h"

namespace platform {

void TransferRateFloor::start(TimePoint now)
{
    m_moved.assign(1, {now, 0});
}

void TransferRateFloor::progress(std::int64_t total, TimePoint now)
{
    if (m_moved.empty() || total <= m_moved.back().second) {
        return;
    }
    m_moved.emplace_back(now, total);
    // A window that ends later counts from a later start, so whatever lies more than floorBytes back
    // can no longer keep it above the floor.
    while (m_moved.front().second <= total - m_floorBytes) {
        m_moved.pop_front();
    }
}

TransferRateFloor::TimePoint TransferRateFloor::deadline() const
{
    return m_moved.empty() ? TimePoint::max() : m_moved.front().first + m_window;
}

} // namespace platform
