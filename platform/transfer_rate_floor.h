#pragma once

// The lowest transfer rate a request accepts: at least `floorBytes` must move in every window of
// `window` while data is moving in one direction. Pauses alone are bounded by the request's time-outs;
// this bounds a peer that keeps a transfer alive with a byte now and then. Plain logic on given time
// points, so that it can be tested without a clock.

#include <chrono>
#include <cstdint>
#include <deque>
#include <utility>

namespace platform {

class TransferRateFloor final {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    TransferRateFloor(std::int64_t floorBytes, std::chrono::milliseconds window)
        : m_floorBytes(floorBytes), m_window(window)
    {
    }

    // A transfer begins at `now` with nothing moved yet.
    void start(TimePoint now);
    // `total` bytes have moved since the start, as of `now` (a total that does not grow is ignored).
    void progress(std::int64_t total, TimePoint now);
    // The moment at which, if nothing more moves, the window ending then holds less than the floor: a
    // window after the start while fewer than `floorBytes` have moved, else a window after the earliest
    // step of progress that the window must still hold to keep `floorBytes` in it.
    TimePoint deadline() const;

private:
    std::int64_t m_floorBytes;
    std::chrono::milliseconds m_window;
    // (when, total moved by then), from the earliest that a later window may still need.
    std::deque<std::pair<TimePoint, std::int64_t>> m_moved;
};

} // namespace platform
