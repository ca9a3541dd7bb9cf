#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/event.h"

namespace zep8 {

// Work the window asks for that may take longer than a frame (an exchange
// with the module): one at a time on a thread of its own, in the order asked,
// its results brought back to the window thread as queued calls. The window
// keeps painting and answering meanwhile.
class WindowJobs : public QObject {
  public:
    // What a job's work may use on its thread.
    class Context {
      public:
        // Set when the window closes: the work ends at its next step.
        const Event& stop() const { return stop_; }
        bool stopping() const { return stop_.isSet(); }
        // Runs `call` on the window thread, after every call posted before it.
        void Post(std::function<void()> call);

      private:
        friend class WindowJobs;
        Context(WindowJobs& jobs, const Event& stop) : jobs_(jobs), stop_(stop) {}
        WindowJobs& jobs_;
        const Event& stop_;
    };
    using Work = std::function<void(Context&)>;
    using Done = std::function<void()>;

    explicit WindowJobs(QObject* parent = nullptr);
    // Stop(): nothing posts to the window once it has gone.
    ~WindowJobs() override;
    WindowJobs(const WindowJobs&) = delete;
    WindowJobs& operator=(const WindowJobs&) = delete;

    // Window thread. `work` runs once the jobs asked before it have ended;
    // `done` runs on the window thread after it. With `waitCursor` the wait
    // cursor shows from now until `done` has run.
    void Run(Work work, Done done = {}, bool waitCursor = true);
    // Window thread: runs `work` as a job and the window's events until it has
    // ended, for a caller whose own steps go on after the exchange (a wizard).
    // Returns only once the work has ended, so the work may use the caller's
    // stack. True when it ran to its end and was told so (false: the
    // application quit meanwhile, or the job was dropped before it ran).
    bool RunAndWait(std::function<void()> work, bool waitCursor = true);
    // A job waits or runs.
    bool busy() const { return pending_ > 0; }
    // Told on the window thread when busy() turns.
    void SetBusyListener(std::function<void(bool busy)> listener) {
        busyListener_ = std::move(listener);
    }
    // Drops the jobs that wait and asks the running one to stop; every
    // `done` still comes. Does not wait.
    void RequestStop();
    // RequestStop, then waits for the running job's end; no `done` comes after.
    void Stop();

  private:
    struct Job {
        Work work;
        Done done;
        bool waitCursor = false;
    };

    void Worker();
    void Finish(const Done& done, bool waitCursor);
    // A job that ended or was dropped: its wait cursor goes.
    void Forget(bool waitCursor);

    // Window thread only.
    int pending_ = 0;
    int cursors_ = 0;
    std::function<void(bool)> busyListener_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> queue_;
    bool quit_ = false;
    Event stop_{Event::Reset::Manual};
    std::thread thread_;
};

}  // namespace zep8
