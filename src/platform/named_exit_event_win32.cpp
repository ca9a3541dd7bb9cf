#include "platform/named_exit_event.h"

#include <windows.h>

#include <filesystem>

#include "platform/text.h"

namespace zep8 {

std::string NamedExitEvent::SemaphoreName(std::string_view name) {
    return FoldCase(name);
}

std::unique_ptr<NamedExitEvent> NamedExitEvent::Open(std::string_view name) {
    if (name.empty()) return nullptr;
    const std::string folded = SemaphoreName(name);
    const std::wstring wide =
        std::filesystem::path(std::u8string(folded.begin(), folded.end())).wstring();
    // Made unsignalled, or opened as the caller made it. Never reset: a caller
    // that set it before this run opened it has asked for the stop already.
    // (An event outlives no process that holds it, so none is left from an
    // earlier run.)
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, wide.c_str());
    if (!event) return nullptr;
    return std::unique_ptr<NamedExitEvent>(new NamedExitEvent(event));
}

// The system deletes the event with its last handle.
bool NamedExitEvent::Unlink(std::string_view) {
    return true;
}

NamedExitEvent::~NamedExitEvent() {
    CloseHandle(native_);
}

bool NamedExitEvent::waitFor(Event& stop, std::chrono::milliseconds) {
    if (stop.isSet()) return false;
    return Event::waitAny({&stop}, Event::kInfinite, native_) == 1;
}

void NamedExitEvent::Post() {
    SetEvent(native_);
}

}  // namespace zep8
