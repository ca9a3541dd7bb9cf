#include "platform/periodic_timer.h"

#include <gtest/gtest.h>

#include <thread>

namespace zep8 {
namespace {

using namespace std::chrono_literals;

bool Fires(PeriodicTimer& timer, std::chrono::milliseconds within) {
    Event never(Event::Reset::Manual);
    return Event::waitAny({&never}, within, timer.waitable()) == 1 && timer.TakeExpiry();
}

// The poll's timer: fires every period, stops dead when disarmed, and a
// re-arm drops what was due before it; any period is armed whole.
TEST(PeriodicTimer, FiresEveryPeriodUntilDisarmed) {
    PeriodicTimer timer;
    EXPECT_EQ(timer.Remaining(), 0ms);
    EXPECT_FALSE(Fires(timer, 60ms)) << "a new timer is disarmed";

    ASSERT_TRUE(timer.Arm(30));
    EXPECT_GT(timer.Remaining(), 0ms);
    EXPECT_LE(timer.Remaining(), 30ms);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Fires(timer, 2s));
    ASSERT_TRUE(Fires(timer, 2s));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 55ms);

    // Expiries left untaken do not survive a re-arm, nor a disarm.
    std::this_thread::sleep_for(80ms);
    ASSERT_TRUE(timer.Arm(10'000));
    EXPECT_FALSE(Fires(timer, 60ms));
    std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(timer.Arm(20));
    std::this_thread::sleep_for(60ms);
    ASSERT_TRUE(timer.Arm(0));
    EXPECT_FALSE(Fires(timer, 60ms));
    EXPECT_EQ(timer.Remaining(), 0ms);

    const std::int64_t longest = 5'000'000'000;  // 58 days: beyond a Windows timer's period
    ASSERT_TRUE(timer.Arm(longest));
    EXPECT_GT(timer.Remaining().count(), longest - 2000);
}

}  // namespace
}  // namespace zep8
