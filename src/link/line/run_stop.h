#pragma once

// The stop of the run under way on this thread, which every wait of a line
// watches besides the port's own stop event.

#include <chrono>

#include "platform/event.h"

namespace zep8 {

// The stop of the run whose exchanges this thread makes now ("Прервать", the
// exit event, a poll's end). While a RunStop lives, every wait of a line on
// this thread ends when that event is set, as when the port's own stopEvent
// is: a run is stopped inside a slow exchange, not only between two. The
// pointer is the thread's own; no other thread reads it.
class RunStop {
  public:
    explicit RunStop(Event* stop) : saved_(current_) { current_ = stop; }
    ~RunStop() { current_ = saved_; }
    RunStop(const RunStop&) = delete;
    RunStop& operator=(const RunStop&) = delete;

    static Event* Current() { return current_; }
    // Whether this thread's run has been told to stop.
    static bool Stopped() { return current_ && current_->isSet(); }

  private:
    Event* saved_;
    static inline thread_local Event* current_ = nullptr;
};

// Event::waitAny on the line's `stop` and this thread's run stop: 0 when
// either was set, 1 when `fd` is ready, else Event::kTimedOut.
inline int WaitOnLine(Event& stop, std::chrono::milliseconds timeout, Waitable fd = kNoWaitable,
                      short what = Event::kReadable) {
    Event* run = RunStop::Current();
    if (!run) return Event::waitAny({&stop}, timeout, fd, what);
    const int woke = Event::waitAny({&stop, run}, timeout, fd, what);
    if (woke == 0 || woke == 1) return 0;
    return woke == Event::kTimedOut ? woke : 1;
}

}  // namespace zep8
