#include "platform/event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>
#include <vector>

#include "platform/tsan_handoff.h"

// ThreadSanitizer cannot see that an eventfd orders memory between the thread
// that sets an event and the one that wakes on it: HandOff* say so.

namespace zep8 {

Event::Event(Reset mode, bool initiallySet)
    : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), mode_(mode) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
    if (initiallySet) set();
}

Event::~Event() {
    close(fd_);
}

void Event::set() {
    HandOffRelease(this);
    const std::uint64_t one = 1;
    // Only fails when the counter is near overflow, which means it is set anyway.
    while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Event::reset() {
    std::uint64_t count;
    while (read(fd_, &count, sizeof count) > 0 || errno == EINTR) {
    }
}

bool Event::tryConsume() {
    if (mode_ == Reset::Manual) return isSet();
    std::uint64_t count;
    for (;;) {
        if (read(fd_, &count, sizeof count) == sizeof count) {
            HandOffAcquire(this);
            return true;
        }
        if (errno != EINTR) return false;  // another waiter took it first
    }
}

bool Event::isSet() const {
    pollfd p{fd_, POLLIN, 0};
    while (poll(&p, 1, 0) < 0) {
        if (errno != EINTR) return false;
    }
    const bool set = (p.revents & POLLIN) != 0;
    if (set) HandOffAcquire(this);
    return set;
}

bool Event::wait(std::chrono::milliseconds timeout) {
    Event* self = this;
    return waitAny(std::span<Event* const>(&self, 1), timeout) == 0;
}

int Event::waitAny(std::span<Event* const> events, std::chrono::milliseconds timeout,
                   Waitable extraFd, short fdEvents) {
    static_assert(kReadable == POLLIN && kWritable == POLLOUT);
    using Clock = std::chrono::steady_clock;
    const bool infinite = timeout.count() < 0;
    const auto deadline = Clock::now() + (infinite ? std::chrono::milliseconds(0) : timeout);

    std::vector<pollfd> fds;
    fds.reserve(events.size() + 1);
    for (Event* e : events) fds.push_back(pollfd{e->fd_, POLLIN, 0});
    if (extraFd >= 0) fds.push_back(pollfd{extraFd, fdEvents, 0});

    for (;;) {
        int waitMs = -1;
        if (!infinite) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            waitMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
        for (auto& p : fds) p.revents = 0;
        const int ready = poll(fds.data(), fds.size(), waitMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return kTimedOut;
        }
        for (std::size_t i = 0; i < events.size(); ++i) {
            if ((fds[i].revents & POLLIN) && events[i]->tryConsume()) return static_cast<int>(i);
        }
        if (extraFd >= 0 && fds.back().revents != 0) return static_cast<int>(events.size());
        if (ready == 0 && waitMs == 0) return kTimedOut;
        // An auto-reset event was taken by another thread: wait for the rest of the time.
    }
}

}  // namespace zep8
