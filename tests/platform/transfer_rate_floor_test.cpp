#include "platform/transfer_rate_floor.h"

#include <gtest/gtest.h>

using platform::TransferRateFloor;
using std::chrono::milliseconds;

namespace {

const TransferRateFloor::TimePoint t0{};

TransferRateFloor::TimePoint at(int ms)
{
    return t0 + milliseconds(ms);
}

} // namespace

// The deadline is the end of the first window after `at` whose bytes stay below the floor, were
// nothing more to move.
TEST(TransferRateFloor, deadlineFollowsTheBytesThatKeepTheLastWindowAboveTheFloor)
{
    struct Step {
        int atMs;
        std::int64_t total;
        int deadlineMs;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    // Floor 1024 bytes in 30 000 ms, started at 0.
    for (const Case& c : {
             Case{"nothing yet: the first window", {{0, 0, 30000}}},
             Case{"a trickle never reaches the floor", {{1000, 1, 30000}, {5000, 2, 30000}, {29000, 900, 30000}}},
             Case{"the floor reached: a window from the last step that the floor still needs",
                  {{1000, 500, 30000}, {2000, 1024, 31000}, {3000, 1100, 31000}, {4000, 1600, 32000}}},
             Case{"steady 10 KiB/s: always a second back",
                  {{1000, 10240, 31000}, {2000, 20480, 32000}, {3000, 30720, 33000}}},
             Case{"a burst then nothing: a window after the burst", {{100, 100000, 30100}, {40000, 100001, 30100}}},
             Case{"no growth changes nothing", {{1000, 2048, 31000}, {9000, 2048, 31000}}},
             Case{"old bytes drop out as new ones arrive",
                  {{1000, 600, 30000}, {2000, 1200, 31000}, {8000, 1800, 32000}, {9000, 2400, 38000}}},
         }) {
        TransferRateFloor floor(1024, milliseconds(30000));
        floor.start(t0);
        for (const Step& s : c.steps) {
            floor.progress(s.total, at(s.atMs));
            EXPECT_EQ(floor.deadline(), at(s.deadlineMs)) << c.name << " at " << s.atMs;
        }
    }
}

TEST(TransferRateFloor, startBeginsANewCount)
{
    TransferRateFloor floor(1024, milliseconds(30000));
    EXPECT_EQ(floor.deadline(), TransferRateFloor::TimePoint::max());
    floor.start(t0);
    floor.progress(5000, at(1000));
    floor.start(at(20000));
    EXPECT_EQ(floor.deadline(), at(50000));
    floor.progress(100, at(21000));
    EXPECT_EQ(floor.deadline(), at(50000));
}
