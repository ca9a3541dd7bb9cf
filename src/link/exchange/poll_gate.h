#pragma once

// The gate between the input polls and whoever takes the line over for
// another module or speed.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace zep8 {

// The input polls read only while nobody else has taken the line over for
// another module or another speed (a batch, the survey, the doctor, the link
// search, a reopened port). A pause waits for the poll read in flight; the
// polls that come due meanwhile are skipped, so their log and plot show a gap.
class PollGate {
  public:
    // A poll's read begins: false while the polls stand aside.
    bool Enter();
    void Leave();

    // Any thread but a poll's; never with the link lock held (the read in
    // flight may be waiting for it).
    void Pause();
    void Resume();

    // Counts the pauses that have ended: a poll that sees it move asks again
    // which module the program talks to, and breaks its curve.
    std::uint64_t resumptions() const { return resumptions_.load(); }

  private:
    std::mutex mutex_;
    std::condition_variable idle_;
    int paused_ = 0;
    int reading_ = 0;
    std::atomic<std::uint64_t> resumptions_{0};
};

// One poll read for as long as it lives: entered when the polls may read,
// left however the read ends (an exception included), so a pause never waits
// for a read that has gone.
class PollRead {
  public:
    explicit PollRead(PollGate& gate) : gate_(gate), entered_(gate.Enter()) {}
    ~PollRead() {
        if (entered_) gate_.Leave();
    }
    PollRead(const PollRead&) = delete;
    PollRead& operator=(const PollRead&) = delete;

    // False while the polls stand aside: the read must not go out.
    bool entered() const { return entered_; }

  private:
    PollGate& gate_;
    bool entered_;
};

// Pauses the polls for as long as it lives.
class PollPause {
  public:
    explicit PollPause(PollGate& gate) : gate_(gate) { gate_.Pause(); }
    ~PollPause() { gate_.Resume(); }
    PollPause(const PollPause&) = delete;
    PollPause& operator=(const PollPause&) = delete;

  private:
    PollGate& gate_;
};

}  // namespace zep8
