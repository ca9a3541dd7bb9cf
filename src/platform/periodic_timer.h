#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "platform/event.h"

namespace zep8 {

// A timer that fires once every period: the system's own waitable timer (a
// timerfd, or a waitable timer HANDLE on Windows), so that a thread waits for
// the next period and for its stop event in one call. The poll of an input
// runs on one.
class PeriodicTimer {
  public:
    // Throws std::system_error when the system has no timer to give.
    PeriodicTimer();
    ~PeriodicTimer();
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

    // First expiry one period from now, then every period; 0 disarms. Expiries
    // not yet taken are dropped, so none from before counts.
    bool Arm(std::int64_t periodMs);
    // Time left to the next expiry; zero when disarmed.
    std::chrono::milliseconds Remaining() const;

    // What to wait on beside events: ready when an expiry is due.
    Waitable waitable() const { return handle_; }
    // After a wait woke on waitable(): true when an expiry was taken, false
    // when a re-arm meanwhile left none.
    bool TakeExpiry();

  private:
    Waitable handle_ = kNoWaitable;
    // Windows cannot ask a timer for its time left: it is worked out from
    // these (steady-clock ticks). Arm and Remaining run on any thread; a
    // period longer than a Windows timer's (24.8 days) is armed once and
    // again at each expiry, under the mutex, so that a Stop meanwhile holds.
    std::atomic<std::int64_t> armedAt_{0};
    std::atomic<std::int64_t> periodMs_{0};
    std::mutex rearm_;
};

}  // namespace zep8
