#pragma once

#include <functional>
#include <thread>

#include "platform/event.h"

namespace zep8 {

class NamedExitEvent;

// Waits for the end of the automated action (the done event) or for the
// program's stop; it then lets the window move again (`unpin`), and when the
// action is done and the run asked to close, it asks for the close. Joined on
// destruction.
class AutomationWatcher {
  public:
    AutomationWatcher(Event& stop, Event& done, bool closeWhenDone, std::function<void()> close,
                      std::function<void()> unpin = {});
    ~AutomationWatcher();

  private:
    std::thread thread_;
};

// Waits for the calling program's exit event (or the program's stop). On the
// exit event the run counts as interrupted and asks for the close; either way
// `abort` stops a transfer that may be running. Joined on destruction.
class ExitWatcher {
  public:
    ExitWatcher(Event& stop, NamedExitEvent* exitEvent, std::function<void()> abort,
                std::function<void()> close);
    ~ExitWatcher();

  private:
    std::thread thread_;
};

}  // namespace zep8
