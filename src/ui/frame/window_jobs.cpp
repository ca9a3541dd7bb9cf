#include "ui/frame/window_jobs.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <chrono>
#include <memory>

#include "ui/frame/thread_calls.h"

namespace zep8 {

void WindowJobs::Context::Post(std::function<void()> call) {
    PostToThread(&jobs_, std::move(call));
}

WindowJobs::WindowJobs(QObject* parent) : QObject(parent), thread_(&WindowJobs::Worker, this) {}

WindowJobs::~WindowJobs() {
    Stop();
    // Calls still queued to this object go with it, a finished job's `done` among them.
    while (cursors_ > 0) {
        --cursors_;
        QApplication::restoreOverrideCursor();
    }
}

void WindowJobs::Run(Work work, Done done, bool waitCursor) {
    if (waitCursor) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++cursors_;
    }
    if (pending_++ == 0 && busyListener_) busyListener_(true);
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(Job{std::move(work), std::move(done), waitCursor});
    }
    wake_.notify_one();
}

bool WindowJobs::RunAndWait(std::function<void()> work, bool waitCursor) {
    struct Waiting {
        bool ended = false;
        QPointer<QEventLoop> loop;
        Event workEnded{Event::Reset::Manual};
    };
    // The job's end may come after this frame has gone (the loop left early).
    auto waiting = std::make_shared<Waiting>();
    QEventLoop loop;
    waiting->loop = &loop;
    Run(
        [work = std::move(work), waiting](Context&) {
            work();
            waiting->workEnded.set();
        },
        [waiting] {
            waiting->ended = true;
            if (waiting->loop) waiting->loop->quit();
        },
        waitCursor);
    if (!waiting->ended) loop.exec();
    // The application quits under the job: the work may use what the caller
    // holds, so the caller goes on only once it has ended. A question it asks
    // meanwhile is still answered.
    while (!waiting->ended && !waiting->workEnded.wait(std::chrono::milliseconds(20))) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    return waiting->ended && waiting->workEnded.isSet();
}

void WindowJobs::RequestStop() {
    std::deque<Job> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(queue_);
        stop_.set();
    }
    // A dropped job's end still comes: whoever waits for it (a group marked as
    // being read) hears of it.
    for (Job& job : dropped) {
        PostToThread(this, [this, done = std::move(job.done), cursor = job.waitCursor] {
            Finish(done, cursor);
        });
    }
}

void WindowJobs::Stop() {
    RequestStop();
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void WindowJobs::Worker() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            if (quit_) return;
            job = std::move(queue_.front());
            queue_.pop_front();
            // A stop asked before this job was taken was meant for the one before.
            stop_.reset();
        }
        Context context(*this, stop_);
        job.work(context);
        context.Post(
            [this, done = std::move(job.done), cursor = job.waitCursor] { Finish(done, cursor); });
    }
}

void WindowJobs::Finish(const Done& done, bool waitCursor) {
    if (done) done();
    Forget(waitCursor);
}

void WindowJobs::Forget(bool waitCursor) {
    if (--pending_ == 0 && busyListener_) busyListener_(false);
    if (waitCursor && cursors_ > 0) {
        --cursors_;
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace zep8
