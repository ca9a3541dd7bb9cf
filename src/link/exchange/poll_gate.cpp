#include "link/exchange/poll_gate.h"

namespace zep8 {

bool PollGate::Enter() {
    std::lock_guard lock(mutex_);
    if (paused_ > 0) return false;
    ++reading_;
    return true;
}

void PollGate::Leave() {
    {
        std::lock_guard lock(mutex_);
        --reading_;
    }
    idle_.notify_all();
}

void PollGate::Pause() {
    std::unique_lock lock(mutex_);
    ++paused_;
    idle_.wait(lock, [this] { return reading_ == 0; });
}

void PollGate::Resume() {
    std::lock_guard lock(mutex_);
    if (--paused_ == 0) ++resumptions_;
}

}  // namespace zep8
