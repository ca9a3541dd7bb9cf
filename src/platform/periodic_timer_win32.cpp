#include "platform/periodic_timer.h"

#include <windows.h>

#include <climits>
#include <system_error>

namespace zep8 {

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
    periodMs_ = 0;
    if (periodMs <= 0) {
        // A cancelled timer keeps its state: a wait would still take an
        // expiry that was due. Re-arming far ahead clears it first.
        LARGE_INTEGER later{};
        later.QuadPart = -(LLONG_MAX / 2);
        SetWaitableTimer(handle_, &later, 0, nullptr, nullptr, FALSE);
        return CancelWaitableTimer(handle_) != 0;
    }
    // The period of a waitable timer is a LONG of milliseconds.
    const LONG period = periodMs > LONG_MAX ? LONG_MAX : static_cast<LONG>(periodMs);
    LARGE_INTEGER due{};
    due.QuadPart = -static_cast<LONGLONG>(period) * 10000;  // relative, in 100 ns
    if (!SetWaitableTimer(handle_, &due, period, nullptr, nullptr, FALSE)) return false;
    armedAt_ = std::chrono::steady_clock::now().time_since_epoch().count();
    periodMs_ = period;
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
    return true;
}

}  // namespace zep8
