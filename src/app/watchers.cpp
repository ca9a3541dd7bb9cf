#include "app/watchers.h"

#include "platform/named_exit_event.h"
#include "platform/process_state.h"

namespace zep8 {

AutomationWatcher::AutomationWatcher(Event& stop, Event& done, bool closeWhenDone,
                                     std::function<void()> close, std::function<void()> unpin) {
    thread_ = std::thread(
        [&stop, &done, closeWhenDone, close = std::move(close), unpin = std::move(unpin)] {
            const int woke = Event::waitAny({&stop, &done}, Event::kInfinite);
            if (unpin) unpin();
            if (woke == 1 && closeWhenDone) close();
            // Later commands of the run are the operator's, not the command line's.
            processState().actionFlags = 0;
        });
}

AutomationWatcher::~AutomationWatcher() {
    if (thread_.joinable()) thread_.join();
}

ExitWatcher::ExitWatcher(Event& stop, NamedExitEvent* exitEvent, std::function<void()> abort,
                         std::function<void()> close) {
    thread_ = std::thread([&stop, exitEvent, abort = std::move(abort), close = std::move(close)] {
        const bool exitAsked = exitEvent ? exitEvent->waitFor(stop) : (stop.wait(), false);
        if (exitAsked) {
            processState().ExitEventCame();
            close();
        }
        abort();
    });
}

ExitWatcher::~ExitWatcher() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace zep8
