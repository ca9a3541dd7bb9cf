#include "platform/event.h"

#include <windows.h>

#include <system_error>
#include <vector>

namespace zep8 {

Event::Event(Reset mode, bool initiallySet)
    : fd_(CreateEventW(nullptr, mode == Reset::Manual, initiallySet, nullptr)), mode_(mode) {
    if (!fd_) throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "CreateEvent");
}

Event::~Event() {
    CloseHandle(fd_);
}

void Event::set() {
    SetEvent(fd_);
}

void Event::reset() {
    ResetEvent(fd_);
}

bool Event::tryConsume() {
    return WaitForSingleObject(fd_, 0) == WAIT_OBJECT_0;
}

// An auto-reset event cannot be looked at without taking it: one that was set
// is set again at once.
bool Event::isSet() const {
    if (WaitForSingleObject(fd_, 0) != WAIT_OBJECT_0) return false;
    if (mode_ == Reset::Auto) SetEvent(fd_);
    return true;
}

bool Event::wait(std::chrono::milliseconds timeout) {
    Event* self = this;
    return waitAny(std::span<Event* const>(&self, 1), timeout) == 0;
}

int Event::waitAny(std::span<Event* const> events, std::chrono::milliseconds timeout,
                   Waitable extra, short) {
    std::vector<HANDLE> handles;
    handles.reserve(events.size() + 1);
    for (Event* e : events) handles.push_back(e->fd_);
    if (extra) handles.push_back(extra);
    const DWORD waitMs = timeout.count() < 0 ? INFINITE : static_cast<DWORD>(timeout.count());
    const DWORD woke =
        WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, waitMs);
    if (woke >= WAIT_OBJECT_0 && woke < WAIT_OBJECT_0 + handles.size())
        return static_cast<int>(woke - WAIT_OBJECT_0);
    return kTimedOut;
}

}  // namespace zep8
