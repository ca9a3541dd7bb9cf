#include "platform/periodic_timer.h"

#include <windows.h>

#include <climits>
#include <system_error>

namespace zep8 {
namespace {

// Due in `ms` from now, then every `period` ms (0: once).
bool Set(HANDLE timer, std::int64_t ms, LONG period) {
    LARGE_INTEGER due{};
    due.QuadPart = -ms * 10000;  // relative, in 100 ns
    return SetWaitableTimer(timer, &due, period, nullptr, nullptr, FALSE) != 0;
}

}  // namespace

// A synchronisation timer: the wait that wakes on it takes the expiry.
PeriodicTimer::PeriodicTimer() {
    handle_ = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    if (!handle_) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "CreateWaitableTimer");
    }
}

PeriodicTimer::~PeriodicTimer() {
    CloseHandle(handle_);
}

bool PeriodicTimer::Arm(std::int64_t periodMs) {
    std::lock_guard lock(rearm_);
    periodMs_ = 0;
    // A stopped timer keeps its state, and not every system clears it when
    // the timer is set anew (Wine does not): an expiry that was due is taken
    // here, once nothing can expire any more.
    const bool stopped = CancelWaitableTimer(handle_) != 0;
    WaitForSingleObject(handle_, 0);
    if (periodMs <= 0) return stopped;
    // A Windows timer's period is a LONG of milliseconds: a longer one is
    // armed once and again by TakeExpiry.
    const LONG period = periodMs > LONG_MAX ? 0 : static_cast<LONG>(periodMs);
    if (!Set(handle_, periodMs, period)) return false;
    armedAt_ = std::chrono::steady_clock::now().time_since_epoch().count();
    periodMs_ = periodMs;
    return true;
}

std::chrono::milliseconds PeriodicTimer::Remaining() const {
    const std::int64_t period = periodMs_;
    if (period <= 0) return {};
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(
        now - std::chrono::steady_clock::duration(armedAt_.load()));
    return std::chrono::milliseconds(period - since.count() % period);
}

bool PeriodicTimer::TakeExpiry() {
    std::lock_guard lock(rearm_);
    const std::int64_t period = periodMs_;
    if (period > LONG_MAX) {
        Set(handle_, period, 0);
        armedAt_ = std::chrono::steady_clock::now().time_since_epoch().count();
    }
    return true;
}

}  // namespace zep8
