#pragma once

#include <chrono>
#include <initializer_list>
#include <span>

namespace zep8 {

// A signal between threads, with manual or automatic reset. Built on eventfd so
// that one wait can take several events and a file descriptor (a serial port)
// at once.
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

    int fd() const { return fd_; }
    Reset mode() const { return mode_; }

    static constexpr short kReadable = 0x001;  // POLLIN
    static constexpr short kWritable = 0x004;  // POLLOUT

    // Waits until one of the events is signalled or `extraFd` (when not -1) is
    // ready for `fdEvents`, or in error. Returns the index of the first
    // signalled event, events.size() for the descriptor, or kTimedOut. An
    // auto-reset event that wakes the wait is consumed by it.
    static int waitAny(std::span<Event* const> events, std::chrono::milliseconds timeout,
                       int extraFd = -1, short fdEvents = kReadable);
    static int waitAny(std::initializer_list<Event*> events, std::chrono::milliseconds timeout,
                       int extraFd = -1, short fdEvents = kReadable) {
        return waitAny(std::span<Event* const>(events.begin(), events.size()), timeout, extraFd,
                       fdEvents);
    }

  private:
    bool tryConsume();

    int fd_;
    Reset mode_;
};

}  // namespace zep8
