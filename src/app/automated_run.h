#pragma once

#include <functional>
#include <memory>

#include "app/command_line.h"
#include "platform/event.h"

namespace zep8 {

class AutomationWatcher;

// Where the command line's action goes: the terminal runs it on the document
// at once, the window posts it to its main window.
class AutomationTarget {
  public:
    virtual ~AutomationTarget() = default;
    virtual void WriteAll() = 0;
    virtual void ReadAll() = 0;
    // Whether this run has the calibration wizard (the windows do).
    virtual bool CanCalibrate() const = 0;
    // Starts the wizard, which calls `ended` when it closes; a run without
    // it says why it refuses.
    virtual void Calibrate(std::function<void()> ended) = 0;
};

// The automated run of /write, /read and /calibrate, for the terminal and the
// window alike: a run with no port does nothing and fails; otherwise the done
// event is reset for an action that will set it, the watcher starts, and the
// action goes to `target`. The watcher ends the run (`close`) once the action
// is done and the command line asked to close; it is joined when this goes.
class AutomatedRun {
  public:
    AutomatedRun(const OptionRecord& options, Event& stop, Event& done, AutomationTarget& target,
                 std::function<void()> close, std::function<void()> unpin = {});
    ~AutomatedRun();
    AutomatedRun(const AutomatedRun&) = delete;
    AutomatedRun& operator=(const AutomatedRun&) = delete;

  private:
    std::unique_ptr<AutomationWatcher> watcher_;
};

}  // namespace zep8
