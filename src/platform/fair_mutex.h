#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace zep8 {

// A lock that lets its waiters in the order they came. The pollers of the
// eight inputs, a bulk job and the window share one line: with a plain mutex
// a thread that has just let go may take it again at once and starve the
// others on a busy line.
class FairMutex {
  public:
    void lock() {
        std::unique_lock guard(mutex_);
        const std::uint64_t ticket = next_++;
        turn_.wait(guard, [this, ticket] { return serving_ == ticket; });
    }
    void unlock() {
        {
            std::lock_guard guard(mutex_);
            ++serving_;
        }
        turn_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable turn_;
    std::uint64_t next_ = 0;
    std::uint64_t serving_ = 0;
};

}  // namespace zep8
