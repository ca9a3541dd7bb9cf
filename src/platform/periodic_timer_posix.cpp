#include "platform/periodic_timer.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace zep8 {

PeriodicTimer::PeriodicTimer() {
    handle_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (handle_ < 0) throw std::system_error(errno, std::generic_category(), "timerfd_create");
}

PeriodicTimer::~PeriodicTimer() {
    ::close(handle_);
}

bool PeriodicTimer::Arm(std::int64_t periodMs) {
    // Whole 64-bit milliseconds into a timespec: no period is too long to arm.
    itimerspec setting{};
    setting.it_value.tv_sec = static_cast<time_t>(periodMs / 1000);
    setting.it_value.tv_nsec = static_cast<long>(periodMs % 1000) * 1000000L;
    setting.it_interval = setting.it_value;
    // Re-arming also clears the expiries not yet read.
    return timerfd_settime(handle_, 0, &setting, nullptr) == 0;
}

std::chrono::milliseconds PeriodicTimer::Remaining() const {
    itimerspec setting{};
    if (timerfd_gettime(handle_, &setting) != 0) return {};
    return std::chrono::milliseconds(std::int64_t{setting.it_value.tv_sec} * 1000 +
                                     setting.it_value.tv_nsec / 1000000);
}

bool PeriodicTimer::TakeExpiry() {
    std::uint64_t expiries = 0;
    return ::read(handle_, &expiries, sizeof expiries) == sizeof expiries;
}

}  // namespace zep8
