#pragma once

// The poll of one input: a timer thread and a worker thread that read the
// measured value every period. Owned by channel_polling.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "link/exchange/device_io.h"
#include "platform/event.h"
#include "platform/periodic_timer.h"

namespace zep8 {

// Local time split into fields, down to the millisecond.
struct PollTime {
    std::uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
    std::uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;

    static PollTime Now();
};

// One measured value of an input, as the worker thread hands it on. It owns
// everything it carries and names its scanner by identity only, so it stays
// sound however long it waits in a queue, even after the scanner is gone.
struct PollResult {
    std::int32_t inputIndex = 0;
    PollTime start;
    PollTime end;
    std::string valueText;  // empty on failure
    std::string errorText;  // empty on success
    std::uint64_t scannerId = 0;
    // The first read after the polls stood aside: the curve does not join across.
    bool afterPause = false;
    // The link's epoch when the read began (DeviceIO::epoch): a result read
    // before the port reopened or the module changed is not shown after it.
    std::uint64_t epoch = 0;
};

// Receives every result on the scanner's worker thread.
using PollResultSink = std::function<void(PollResult&&)>;

// Polls the measured value "rEAd" of one input at a period: a timer thread
// turns the expiries of a periodic timerfd into a pending tick and a worker
// thread reads the value when one is pending. Both threads live as long as
// the scanner and idle while it is not running.
class Scanner {
  public:
    static constexpr std::int64_t kDefaultPeriodMs = 1000;

    Scanner(DeviceIO& io, int inputIndex);
    ~Scanner();
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;

    // 1 when already running; otherwise arms the timer (first expiry after one
    // period, then every period) and returns 0. The first read takes the
    // module the program talks to then as the one this poll asks.
    int Start();
    // 1 when not running; otherwise disarms the timer and returns 0.
    int Stop();
    // Returns once a read under way has ended; after a Stop no new one begins.
    void WaitForRead();
    // Ends both threads; false when they did not end within about a second
    // (the destructor still waits for them: a read in flight is bounded by
    // the link's time-outs, and its memory must not go before it ends).
    bool StopThreads();

    bool running() const { return running_.load(); }
    int inputIndex() const { return inputIndex_; }
    std::uint64_t id() const { return id_; }
    std::int64_t period() const { return periodMs_.load(); }
    // Takes effect at the next Start.
    void SetPeriod(std::int64_t milliseconds) { periodMs_ = milliseconds; }
    // Replaces the receiver of results; once this returns, the old one is no
    // longer called.
    void SetResultSink(PollResultSink sink);

    // Time left until the timer next expires; zero while it is disarmed.
    std::chrono::milliseconds TimeToNextPoll() const;
    // Reads of "rEAd" started so far (for tests and benchmarks).
    std::uint64_t readCount() const { return reads_.load(); }

    // Shown in the poll row. Touched only by the owner's thread.
    std::string label;

  private:
    void TimerThread();
    void WorkerThread();
    void Poll();
    bool ArmTimer(std::int64_t milliseconds);

    DeviceIO& io_;
    const int inputIndex_;
    const std::uint64_t id_;
    std::atomic<std::int64_t> periodMs_{kDefaultPeriodMs};
    std::atomic<bool> running_{false};
    std::atomic<bool> tickPending_{false};
    std::atomic<std::uint64_t> reads_{0};
    // The worker's own, under readMutex_: the module asked and the pauses seen.
    LinkTarget target_;
    std::uint64_t resumptions_ = 0;
    bool targetTaken_ = false;
    PeriodicTimer pollTimer_;
    Event stopEvent_{Event::Reset::Manual};
    Event tickEvent_{Event::Reset::Auto};
    // Set by each thread as its last act, so StopThreads can wait with a limit.
    Event timerEnded_{Event::Reset::Manual};
    Event workerEnded_{Event::Reset::Manual};
    std::mutex readMutex_;  // held for one read
    std::mutex sinkMutex_;
    PollResultSink sink_;
    std::thread worker_;
    std::thread timer_;
};

}  // namespace zep8
