#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "platform/event.h"

namespace zep8 {

// The event by which a calling program asks the configurator to close: on
// POSIX the named semaphore "/zep8.NAME" (NAME in lower case), which the
// caller signals with sem_post and which outlives both processes until someone
// unlinks it, so posts left from an earlier run are drained when it is
// opened; on Windows the named manual-reset event object NAME (in lower
// case), which the caller opens and sets (SetEvent): created unsignalled, or
// opened as it is, so that a caller's stop before the open still counts.
class NamedExitEvent {
  public:
    static constexpr std::chrono::milliseconds kSlice{50};

    // Creates or opens the semaphore (the event); nothing when the name is
    // empty or the system refuses it.
    static std::unique_ptr<NamedExitEvent> Open(std::string_view name);
    static std::string SemaphoreName(std::string_view name);
    static bool Unlink(std::string_view name);

    ~NamedExitEvent();
    NamedExitEvent(const NamedExitEvent&) = delete;
    NamedExitEvent& operator=(const NamedExitEvent&) = delete;

    // True when the semaphore was signalled, false when `stop` was set first.
    // A semaphore cannot join a poll, so the semaphore is looked at every
    // `slice` while the wait sleeps on the stop event.
    bool waitFor(Event& stop, std::chrono::milliseconds slice = kSlice);
    void Post();

  private:
    explicit NamedExitEvent(void* native) : native_(native) {}

    void* native_;  // sem_t*, or the event's HANDLE
};

}  // namespace zep8
