#include "platform/named_exit_event.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <semaphore.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

namespace zep8 {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class NamedExitEventTest : public ::testing::Test {
  protected:
    void SetUp() override {
        name_ = "test." + std::to_string(getpid()) + "." +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        NamedExitEvent::Unlink(name_);
    }
    void TearDown() override { NamedExitEvent::Unlink(name_); }

    std::string name_;
    Event stop_{Event::Reset::Manual};
};

TEST_F(NamedExitEventTest, PostFromAnotherThreadEndsTheWait) {
    auto watched = NamedExitEvent::Open(name_);
    ASSERT_TRUE(watched);
    auto caller = NamedExitEvent::Open(name_);
    ASSERT_TRUE(caller);

    auto watcher = std::async(std::launch::async, [&] { return watched->waitFor(stop_); });
    EXPECT_EQ(watcher.wait_for(150ms), std::future_status::timeout);
    caller->Post();
    ASSERT_EQ(watcher.wait_for(2s), std::future_status::ready);
    EXPECT_TRUE(watcher.get());
    EXPECT_FALSE(stop_.isSet());
}

TEST_F(NamedExitEventTest, StopEndsTheWaitPromptlyAndIsNotConsumed) {
    auto watched = NamedExitEvent::Open(name_);
    ASSERT_TRUE(watched);
    auto watcher = std::async(std::launch::async, [&] { return watched->waitFor(stop_, 1s); });
    std::this_thread::sleep_for(50ms);
    const auto start = Clock::now();
    stop_.set();
    ASSERT_EQ(watcher.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(watcher.get());
    // Far shorter than the slice: the stop event itself wakes the wait.
    EXPECT_LT(Clock::now() - start, 300ms);
    EXPECT_TRUE(stop_.isSet());

    // A stop already set wins over a pending post, and leaves the post pending.
    watched->Post();
    EXPECT_FALSE(watched->waitFor(stop_));
    stop_.reset();
    EXPECT_TRUE(watched->waitFor(stop_));
}

TEST_F(NamedExitEventTest, CallerUsesTheLowerCaseName) {
    const std::string mixed = "Caller." + std::to_string(getpid());
    auto watched = NamedExitEvent::Open(mixed);
    ASSERT_TRUE(watched);
    EXPECT_EQ(NamedExitEvent::SemaphoreName(mixed), "/zep8.caller." + std::to_string(getpid()));

    // The caller's semaphore under the capitalised name is another object.
    const std::string capitalised = "/zep8." + mixed;
    sem_t* callers = sem_open(capitalised.c_str(), O_CREAT, 0600, 0);
    ASSERT_NE(callers, SEM_FAILED);
    sem_post(callers);
    auto watcher = std::async(std::launch::async, [&] { return watched->waitFor(stop_); });
    EXPECT_EQ(watcher.wait_for(200ms), std::future_status::timeout);
    stop_.set();
    EXPECT_FALSE(watcher.get());
    sem_close(callers);
    sem_unlink(capitalised.c_str());

    // The lower-case one is ours.
    sem_t* right = sem_open(NamedExitEvent::SemaphoreName(mixed).c_str(), 0);
    ASSERT_NE(right, SEM_FAILED);
    sem_post(right);
    sem_close(right);
    stop_.reset();
    EXPECT_TRUE(watched->waitFor(stop_));
    NamedExitEvent::Unlink(mixed);
}

TEST_F(NamedExitEventTest, UnusableNamesGiveNoEvent) {
    EXPECT_FALSE(NamedExitEvent::Open(""));
    EXPECT_FALSE(NamedExitEvent::Open("a/b"));
    EXPECT_FALSE(NamedExitEvent::Open(std::string(300, 'n')));
}

}  // namespace
}  // namespace zep8
