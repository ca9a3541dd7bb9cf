#pragma once

// Calls carried to an object's thread through Qt's event queue. Debian's Qt is
// not built with ThreadSanitizer, which therefore cannot see that the queue
// orders the two threads: every such call of ours goes through here, where the
// hand-off is told to it (platform/tsan_handoff.h; nothing in other builds).
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <memory>
#include <utility>

#include "platform/tsan_handoff.h"

namespace zep8 {

namespace thread_calls {

// The call's box is its hand-off key, both ways: Qt's copy of the call holds
// the box, and when the posting thread is still inside invokeMethod as the call
// ends, that thread drops the copy (and with it what the call held). Deleted
// unrun (its receiver gone first), it ends the hand-off on the deleting thread.
struct AcquireThenDelete {
    template <typename T>
    void operator()(T* box) const {
        HandOffAcquire(box);
        delete box;
    }
};

}  // namespace thread_calls

// Queues `call` to run on `owner`'s thread after the calls queued there
// before it, even when that is this thread. Any thread.
template <typename Call>
void PostToThread(QObject* owner, Call call) {
    std::unique_ptr<Call, thread_calls::AcquireThenDelete> box(new Call(std::move(call)));
    HandOffRelease(box.get());
    HandOffUnwatched unwatched;  // Qt's copy of the pointer, read over there before the acquire
    QMetaObject::invokeMethod(
        owner,
        [box = std::move(box)] {
            HandOffAcquire(box.get());
            (*box)();
            HandOffRelease(box.get());
        },
        Qt::QueuedConnection);
}

// Runs `call` on `owner`'s thread and waits for its end (at once when already
// there): Qt::BlockingQueuedConnection, so never while that thread waits for this one.
template <typename Call>
void CallOnThread(QObject* owner, Call&& call) {
    if (QThread::currentThread() == owner->thread()) {
        call();
        return;
    }
    const void* key = &call;
    HandOffRelease(key);
    {
        HandOffUnwatched unwatched;
        QMetaObject::invokeMethod(
            owner,
            [&call, key] {
                HandOffAcquire(key);
                call();
                HandOffRelease(key);
            },
            Qt::BlockingQueuedConnection);
    }
    HandOffAcquire(key);
}

// Runs `call` on `owner`'s thread: at once when already there, otherwise as
// a queued call (Qt::QueuedConnection: a post) or one the caller waits for
// (Qt::BlockingQueuedConnection: a send). Widgets are touched on their thread only.
template <typename Call>
void OnThreadOf(QObject* owner, Qt::ConnectionType otherThread, Call call) {
    if (QThread::currentThread() == owner->thread()) {
        call();
    } else if (otherThread == Qt::BlockingQueuedConnection) {
        CallOnThread(owner, call);
    } else {
        PostToThread(owner, std::move(call));
    }
}

}  // namespace zep8
