#include "platform/named_exit_event.h"

#include <fcntl.h>
#include <poll.h>
#include <semaphore.h>

#include <cerrno>

#include "platform/text.h"

namespace zep8 {

std::string NamedExitEvent::SemaphoreName(std::string_view name) {
    return "/zep8." + FoldCase(name);
}

std::unique_ptr<NamedExitEvent> NamedExitEvent::Open(std::string_view name) {
    if (name.empty()) return nullptr;
    sem_t* semaphore = sem_open(SemaphoreName(name).c_str(), O_CREAT, 0600, 0);
    if (semaphore == SEM_FAILED) return nullptr;
    // The event starts unsignalled: a post left from an earlier run must not
    // end this one at once.
    while (sem_trywait(semaphore) == 0) {
    }
    return std::unique_ptr<NamedExitEvent>(new NamedExitEvent(semaphore));
}

bool NamedExitEvent::Unlink(std::string_view name) {
    return sem_unlink(SemaphoreName(name).c_str()) == 0;
}

namespace {

sem_t* Semaphore(void* native) {
    return static_cast<sem_t*>(native);
}

}  // namespace

NamedExitEvent::~NamedExitEvent() {
    sem_close(Semaphore(native_));
}

bool NamedExitEvent::waitFor(Event& stop, std::chrono::milliseconds slice) {
    const int sliceMs = slice.count() > 0 ? static_cast<int>(slice.count()) : 1;
    for (;;) {
        // Looking without consuming: the stop event belongs to the caller.
        if (stop.isSet()) return false;
        if (sem_trywait(Semaphore(native_)) == 0) return true;
        pollfd p{stop.fd(), POLLIN, 0};
        poll(&p, 1, sliceMs);
    }
}

void NamedExitEvent::Post() {
    sem_post(Semaphore(native_));
}

}  // namespace zep8
