#include "platform/named_exit_event.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <future>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <semaphore.h>
#endif

namespace zep8 {
namespace {

using namespace std::chrono_literals;

// What a calling program does: signal the object of that exact system name.
void SignalAs(const std::string& systemName) {
#ifdef _WIN32
    HANDLE caller = CreateEventA(nullptr, TRUE, FALSE, systemName.c_str());
    ASSERT_TRUE(caller);
    SetEvent(caller);
    CloseHandle(caller);
#else
    sem_t* caller = sem_open(systemName.c_str(), O_CREAT, 0600, 0);
    ASSERT_NE(caller, SEM_FAILED);
    sem_post(caller);
    sem_close(caller);
    if (systemName != NamedExitEvent::SemaphoreName(systemName.substr(6)))
        sem_unlink(systemName.c_str());
#endif
}

class NamedExitEventTest : public ::testing::Test {
  protected:
    void TearDown() override { NamedExitEvent::Unlink(name_); }

    const std::string name_ = "Test." + std::to_string(getpid()) + "." +
                              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    Event stop_{Event::Reset::Manual};
};

TEST_F(NamedExitEventTest, PostFromAnotherThreadEndsTheWait) {
    auto watched = NamedExitEvent::Open(name_);
    auto caller = NamedExitEvent::Open(name_);
    ASSERT_TRUE(watched && caller);
    auto watcher = std::async(std::launch::async, [&] { return watched->waitFor(stop_); });
    EXPECT_EQ(watcher.wait_for(150ms), std::future_status::timeout);
    caller->Post();
    ASSERT_EQ(watcher.wait_for(2s), std::future_status::ready);
    EXPECT_TRUE(watcher.get());
}

TEST_F(NamedExitEventTest, StopEndsTheWaitPromptlyAndIsNotConsumed) {
    auto watched = NamedExitEvent::Open(name_);
    ASSERT_TRUE(watched);
    auto watcher = std::async(std::launch::async, [&] { return watched->waitFor(stop_, 5s); });
    std::this_thread::sleep_for(50ms);
    stop_.set();
    // Far shorter than the slice: the stop event itself wakes the wait.
    ASSERT_EQ(watcher.wait_for(1s), std::future_status::ready);
    EXPECT_FALSE(watcher.get());
    EXPECT_TRUE(stop_.isSet());

    // A stop already set wins over a post, which stays pending.
    watched->Post();
    EXPECT_FALSE(watched->waitFor(stop_));
    stop_.reset();
    EXPECT_TRUE(watched->waitFor(stop_));
}

TEST_F(NamedExitEventTest, APostLeftFromAnEarlierRunIsForgotten) {
    NamedExitEvent::Open(name_)->Post();  // nobody was waiting any more
    auto fresh = NamedExitEvent::Open(name_);
    ASSERT_TRUE(fresh);
    auto stopper = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(150ms);
        stop_.set();
    });
    EXPECT_FALSE(fresh->waitFor(stop_));
}

#ifdef _WIN32
// A calling program that made the event and set it before the configurator
// opened it has asked for the stop: the open must not take that back.
TEST_F(NamedExitEventTest, AStopSetBeforeTheOpenIsKept) {
    HANDLE caller = CreateEventA(nullptr, TRUE, FALSE, NamedExitEvent::SemaphoreName(name_).c_str());
    ASSERT_TRUE(caller);
    SetEvent(caller);
    auto watched = NamedExitEvent::Open(name_);
    ASSERT_TRUE(watched);
    auto stopper = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(500ms);
        stop_.set();
    });
    EXPECT_TRUE(watched->waitFor(stop_));
    stopper.get();
    CloseHandle(caller);
}
#endif

TEST_F(NamedExitEventTest, OnlyTheLowerCaseNameIsOurs) {
    auto watched = NamedExitEvent::Open(name_);
    ASSERT_TRUE(watched);
    // The name as typed, capitals kept, is another object (the lower-case one
    // stays unsignalled: the event is manual-reset on Windows).
#ifdef _WIN32
    SignalAs(name_);
#else
    SignalAs("/zep8." + name_);
#endif
    auto stopper = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(150ms);
        stop_.set();
    });
    EXPECT_FALSE(watched->waitFor(stop_));
    stopper.get();
    stop_.reset();
    SignalAs(NamedExitEvent::SemaphoreName(name_));
    EXPECT_TRUE(watched->waitFor(stop_));

    EXPECT_FALSE(NamedExitEvent::Open(""));
#ifndef _WIN32
    EXPECT_FALSE(NamedExitEvent::Open("a/b"));
#endif
}

}  // namespace
}  // namespace zep8
