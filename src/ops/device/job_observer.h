#pragma once

// The jobs of the transfer thread and the interface that shows their
// progress: a dialog in the window, lines in the terminal.

#include <string_view>

#include "model/transfer_session.h"

namespace zep8 {

// The jobs of the transfer thread.
enum class Job { ReadAll, WriteAll, WriteChanged, Compare, ReadOne, WriteOne, CompareBeforeWrite };

// The caption the progress display shows while `job` runs.
std::string_view JobCaption(Job job);

// The progress display of a job: a modal dialog in the windows, lines on a
// terminal in an automated run. "Прервать" is Device::Abort.
class JobObserver {
  public:
    virtual ~JobObserver() = default;

    // On the calling thread, before the job is handed to the transfer thread.
    virtual void JobStarted(Job job, std::string_view caption) = 0;
    // On the transfer thread: a counter's new value.
    virtual void CounterChanged(ProgressCounter counter, int value) = 0;
    // On the transfer thread: the job's exchanges are over and its display
    // may close; what the end of a job hands to the window (new network
    // settings, an automated save) follows before JobFinished.
    virtual void DisplayEnded() {}
    // On the transfer thread, when the job is over.
    virtual void JobFinished() = 0;
    // On the calling thread: returns once JobFinished has been called (a
    // modal dialog's loop, or a plain wait).
    virtual void WaitForJob() = 0;
};

// What the transfer thread tells the program's main window at the end of a job.
class SessionHost {
  public:
    virtual ~SessionHost() = default;
    // A write left the module's network settings different from the program's.
    virtual void NetworkSettingsChanged() = 0;
    // An automated read is done: save the configuration to the named file.
    virtual void SaveAfterRead() = 0;
};

}  // namespace zep8
