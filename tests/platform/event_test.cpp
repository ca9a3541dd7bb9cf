#include "platform/event.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace zep8 {
namespace {

using namespace std::chrono_literals;

TEST(Event, ManualResetStaysSignalledUntilReset) {
    Event e(Event::Reset::Manual);
    EXPECT_FALSE(e.isSet());
    EXPECT_FALSE(e.wait(0ms));
    e.set();
    e.set();
    EXPECT_TRUE(e.wait(0ms));
    EXPECT_TRUE(e.wait(0ms));
    e.reset();
    EXPECT_FALSE(e.isSet());
    Event initially(Event::Reset::Manual, true);
    EXPECT_TRUE(initially.isSet());
}

TEST(Event, AutoResetWakesOneWaitOnly) {
    Event e(Event::Reset::Auto);
    e.set();
    e.set();  // two signals before a wait are one
    EXPECT_TRUE(e.isSet());
    EXPECT_TRUE(e.wait(0ms));
    EXPECT_FALSE(e.wait(0ms));
}

TEST(Event, WaitAnyReturnsTheFirstSignalledIndex) {
    Event a(Event::Reset::Manual), b(Event::Reset::Auto), c(Event::Reset::Manual);
    EXPECT_EQ(Event::waitAny({&a, &b, &c}, 0ms), Event::kTimedOut);
    b.set();
    c.set();
    EXPECT_EQ(Event::waitAny({&a, &b, &c}, 0ms), 1);
    EXPECT_EQ(Event::waitAny({&a, &b, &c}, 0ms), 2);  // b was consumed, c is manual
    EXPECT_EQ(Event::waitAny({&a, &b, &c}, 0ms), 2);
}

// A port's descriptor (a HANDLE on Windows) joins the wait; another event's
// stands in for it here.
TEST(Event, WaitAnyWakesForADescriptor) {
    Event port(Event::Reset::Manual);
    Event stop(Event::Reset::Manual);
    EXPECT_EQ(Event::waitAny({&stop}, 10ms, port.fd()), Event::kTimedOut);
    port.set();
    EXPECT_EQ(Event::waitAny({&stop}, 1000ms, port.fd()), 1);
    stop.set();
    EXPECT_EQ(Event::waitAny({&stop}, 1000ms, port.fd()), 0);  // events come first
}

TEST(Event, SetFromAnotherThreadEndsAnInfiniteWait) {
    Event e(Event::Reset::Auto);
    const auto start = std::chrono::steady_clock::now();
    std::thread setter([&] {
        std::this_thread::sleep_for(30ms);
        e.set();
    });
    EXPECT_TRUE(e.wait(Event::kInfinite));
    setter.join();
    EXPECT_GE(std::chrono::steady_clock::now() - start, 25ms);
}

TEST(Event, TimeoutIsRespected) {
    Event e(Event::Reset::Manual);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(e.wait(50ms));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 50ms);
    EXPECT_LT(waited, 2000ms);
}

TEST(Event, OneAutoResetSignalReleasesExactlyOneOfTwoWaiters) {
    Event e(Event::Reset::Auto);
    std::atomic<int> woken{0};
    auto waiter = [&] {
        if (e.wait(300ms)) ++woken;
    };
    std::thread t1(waiter), t2(waiter);
    std::this_thread::sleep_for(50ms);
    e.set();
    t1.join();
    t2.join();
    EXPECT_EQ(woken.load(), 1);
}

}  // namespace
}  // namespace zep8
