#include "ui/frame/window_jobs.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
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
    ++pending_;
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
    };
    // The job's end may come after this frame has gone (the loop left early).
    auto waiting = std::make_shared<Waiting>();
    QEventLoop loop;
    waiting->loop = &loop;
    Run([work = std::move(work)](Context&) { work(); },
        [waiting] {
            waiting->ended = true;
            if (waiting->loop) waiting->loop->quit();
        },
        waitCursor);
    if (!waiting->ended) loop.exec();
    return waiting->ended;
}

void WindowJobs::RequestStop() {
    std::deque<Job> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(queue_);
        stop_.set();
    }
    for (const Job& job : dropped) Forget(job.waitCursor);
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
    --pending_;
    if (waitCursor && cursors_ > 0) {
        --cursors_;
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace zep8
