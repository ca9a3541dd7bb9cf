#pragma once

#include <array>
#include <atomic>
#include <mutex>
#include <ostream>
#include <string>

#include "ops/device/job_observer.h"
#include "platform/event.h"
#include "platform/prompter.h"

namespace zep8 {

// The automated run's prompter: every message goes to the stream (standard
// error), every question gets the answer that loses nothing.
class StreamPrompter : public Prompter {
  public:
    explicit StreamPrompter(std::ostream& out) : out_(out) {}
    Answer ask(std::string_view text, std::string_view caption, Buttons buttons,
               Icon icon) override;
    std::optional<std::string> enterText(std::string_view prompt, std::string_view caption,
                                         bool masked) override;
    // The text of the last message, for the run's closing line.
    std::string lastText() const;

  private:
    std::ostream& out_;
    mutable std::mutex mutex_;
    std::string lastText_;
};

// The automated run's progress display: the job's caption when it starts and
// its four counters when it ends.
class StreamJobObserver : public JobObserver {
  public:
    explicit StreamJobObserver(std::ostream& out) : out_(out) {}
    void JobStarted(Job job, std::string_view caption) override;
    void CounterChanged(ProgressCounter counter, int value) override;
    void JobFinished() override;
    void WaitForJob() override;

  private:
    std::ostream& out_;
    std::array<std::atomic<int>, 4> counters_{};
    Event finished_{Event::Reset::Auto};
};

}  // namespace zep8
