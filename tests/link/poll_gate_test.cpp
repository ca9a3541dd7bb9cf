#include "link/exchange/poll_gate.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <stdexcept>

namespace zep8 {
namespace {

using namespace std::chrono_literals;

TEST(PollGate, AReadThatEndsByAnExceptionStillLeaves) {
    PollGate gate;
    try {
        const PollRead read(gate);
        ASSERT_TRUE(read.entered());
        throw std::runtime_error("the read went wrong");
    } catch (const std::runtime_error&) {
    }
    // A pause does not wait for a read that has gone.
    auto paused = std::async(std::launch::async, [&] { gate.Pause(); });
    ASSERT_EQ(paused.wait_for(2s), std::future_status::ready);
    const PollRead skipped(gate);
    EXPECT_FALSE(skipped.entered());
    gate.Resume();
    EXPECT_TRUE(PollRead(gate).entered());
}

TEST(PollGate, APauseWaitsForTheReadInFlight) {
    PollGate gate;
    std::future<void> paused;
    {
        const PollRead read(gate);
        ASSERT_TRUE(read.entered());
        paused = std::async(std::launch::async, [&] { gate.Pause(); });
        EXPECT_EQ(paused.wait_for(50ms), std::future_status::timeout);
    }
    EXPECT_EQ(paused.wait_for(2s), std::future_status::ready);
    gate.Resume();
}

}  // namespace
}  // namespace zep8
