#include "app/automated_run.h"

#include "app/application.h"
#include "app/watchers.h"
#include "platform/process_state.h"

namespace zep8 {

AutomatedRun::AutomatedRun(const OptionRecord& options, Event& stop, Event& done,
                           AutomationTarget& target, std::function<void()> close,
                           std::function<void()> unpin) {
    ProcessState& state = processState();
    // Nothing to read from or write to: a caller must not take that for success.
    const bool noPort = NeedsPortButHasNone(options);
    if (noPort) state.setExitBits(EXIT_PORT_ERROR);
    const AutomatedAction action = noPort ? AutomatedAction::None : AutomatedActionOf(options);
    // The done event is reset before the watcher starts: it must not take the
    // action for finished before it has begun.
    if (action == AutomatedAction::WriteAll || action == AutomatedAction::ReadAll ||
        (action == AutomatedAction::Calibrate && target.CanCalibrate())) {
        done.reset();
    }
    watcher_ = std::make_unique<AutomationWatcher>(
        stop, done, options.hasAction(ACTION_CLOSE | ACTION_CALIBRATE), std::move(close),
        std::move(unpin));
    switch (action) {
        case AutomatedAction::WriteAll:
            target.WriteAll();
            break;
        case AutomatedAction::Calibrate:
            if (!target.CanCalibrate()) state.setExitBits(EXIT_FAILED_PARAMETERS);
            target.Calibrate([&done] { done.set(); });
            break;
        case AutomatedAction::ReadAll:
            target.ReadAll();
            break;
        case AutomatedAction::None:
            break;
    }
}

AutomatedRun::~AutomatedRun() = default;

}  // namespace zep8
