#pragma once

#include <chrono>
#include <initializer_list>
#include <span>

namespace zep8 {

// What a wait can take beside events: a file descriptor (a serial port, a
// socket) on POSIX, an object HANDLE (an overlapped read's event) on Windows.
#ifdef _WIN32
using Waitable = void*;
inline const Waitable kNoWaitable = nullptr;
#else
using Waitable = int;
inline constexpr Waitable kNoWaitable = -1;
#endif

// A signal between threads, with manual or automatic reset. Built on the
// system's own waitable object (an eventfd, or an event HANDLE on Windows) so
// that one wait can take several events and a port at once.
class Event {
  public:
    enum class Reset { Manual, Auto };

    static constexpr std::chrono::milliseconds kInfinite{-1};
    static constexpr int kTimedOut = -1;

    // The wait left until `deadline`: whole milliseconds, rounded up, never
    // below 0.
    static std::chrono::milliseconds Remaining(std::chrono::steady_clock::time_point deadline) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        return left > std::chrono::milliseconds(0) ? left : std::chrono::milliseconds(0);
    }

    explicit Event(Reset mode, bool initiallySet = false);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();

    // True when signalled. Consumes the signal of an auto-reset event.
    bool wait(std::chrono::milliseconds timeout = kInfinite);
    // Looks without waiting and without consuming.
    bool isSet() const;

    Waitable fd() const { return fd_; }
    Reset mode() const { return mode_; }

    static constexpr short kReadable = 0x001;  // POLLIN
    static constexpr short kWritable = 0x004;  // POLLOUT

    // Waits until one of the events is signalled or `extraFd` (when not
    // kNoWaitable) is ready for `fdEvents` (a descriptor) or signalled (a
    // HANDLE), or in error. Returns the index of the first signalled event,
    // events.size() for the descriptor, or kTimedOut. An auto-reset event that
    // wakes the wait is consumed by it.
    static int waitAny(std::span<Event* const> events, std::chrono::milliseconds timeout,
                       Waitable extraFd = kNoWaitable, short fdEvents = kReadable);
    static int waitAny(std::initializer_list<Event*> events, std::chrono::milliseconds timeout,
                       Waitable extraFd = kNoWaitable, short fdEvents = kReadable) {
        return waitAny(std::span<Event* const>(events.begin(), events.size()), timeout, extraFd,
                       fdEvents);
    }

  private:
    bool tryConsume();

    Waitable fd_;
    Reset mode_;
};

}  // namespace zep8
