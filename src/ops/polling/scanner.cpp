#include "ops/polling/scanner.h"

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <system_error>

#include "link/exchange/device_io.h"
#include "link/line/run_stop.h"
#include "model/parameter.h"
#include "model/value_type.h"
#include "platform/local_time.h"
#include "platform/process_state.h"

namespace zep8 {
namespace {

// A record's texts hold at most this many bytes, cut at a character boundary.
constexpr std::size_t kTextLimit = 511;

std::string Limited(std::string_view text) {
    if (text.size() <= kTextLimit) return std::string(text);
    std::size_t n = kTextLimit;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return std::string(text.substr(0, n));
}

std::uint64_t NextScannerId() {
    static std::atomic<std::uint64_t> next{1};
    return next++;
}

}  // namespace

PollTime PollTime::Now() {
    using Clock = std::chrono::system_clock;
    const auto now = Clock::now();
    const std::time_t seconds = Clock::to_time_t(now);
    const std::tm local = LocalCalendar(seconds);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    PollTime t;
    t.year = static_cast<std::uint16_t>(local.tm_year + 1900);
    t.month = static_cast<std::uint16_t>(local.tm_mon + 1);
    t.dayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
    t.day = static_cast<std::uint16_t>(local.tm_mday);
    t.hour = static_cast<std::uint16_t>(local.tm_hour);
    t.minute = static_cast<std::uint16_t>(local.tm_min);
    t.second = static_cast<std::uint16_t>(local.tm_sec);
    t.milliseconds = static_cast<std::uint16_t>(ms < 0 ? ms + 1000 : ms);
    return t;
}

Scanner::Scanner(DeviceIO& io, int inputIndex)
    : label(kNoData), io_(io), inputIndex_(inputIndex), id_(NextScannerId()) {
    try {
        worker_ = std::thread(&Scanner::WorkerThread, this);
        timer_ = std::thread(&Scanner::TimerThread, this);
    } catch (...) {
        // No destructor runs for a scanner that was never made: end what did start.
        stopEvent_.set();
        if (worker_.joinable()) worker_.join();
        throw;
    }
}

Scanner::~Scanner() {
    StopThreads();
    if (worker_.joinable()) worker_.join();
    if (timer_.joinable()) timer_.join();
}

bool Scanner::ArmTimer(std::int64_t milliseconds) {
    return pollTimer_.Arm(milliseconds);
}

std::chrono::milliseconds Scanner::TimeToNextPoll() const {
    return pollTimer_.Remaining();
}

int Scanner::Start() {
    if (running_.exchange(true)) return 1;
    {
        std::lock_guard lock(readMutex_);
        targetTaken_ = false;  // the worker asks which module when it next reads
    }
    const std::int64_t period = periodMs_.load();
    ArmTimer(period > 0 ? period : kDefaultPeriodMs);
    processState().pollerRunning[static_cast<std::size_t>(inputIndex_)] = true;
    return 0;
}

int Scanner::Stop() {
    if (!running_.exchange(false)) return 1;
    ArmTimer(0);
    processState().pollerRunning[static_cast<std::size_t>(inputIndex_)] = false;
    return 0;
}

void Scanner::WaitForRead() {
    std::lock_guard lock(readMutex_);
}

bool Scanner::StopThreads() {
    Stop();
    stopEvent_.set();
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + 1s;
    const auto left = [&] {
        return std::max(0ms, duration_cast<milliseconds>(deadline - steady_clock::now()));
    };
    const bool ended = timerEnded_.wait(left()) && workerEnded_.wait(left());
    if (ended) {
        if (worker_.joinable()) worker_.join();
        if (timer_.joinable()) timer_.join();
    }
    return ended;
}

void Scanner::SetResultSink(PollResultSink sink) {
    std::lock_guard lock(sinkMutex_);
    sink_ = std::move(sink);
}

void Scanner::TimerThread() {
    for (;;) {
        const int woke = Event::waitAny({&stopEvent_}, Event::kInfinite, pollTimer_.waitable());
        if (woke == 0) break;
        // None to take when Stop or Start re-armed the timer meanwhile.
        if (!pollTimer_.TakeExpiry()) continue;
        if (running_.load()) {
            tickPending_ = true;
            tickEvent_.set();
        }
    }
    timerEnded_.set();
}

void Scanner::WorkerThread() {
    // Ending the threads ends a read under way, however slow its line.
    const RunStop stop(&stopEvent_);
    for (;;) {
        const int woke = Event::waitAny({&stopEvent_, &tickEvent_}, Event::kInfinite);
        if (woke == 0) break;
        // Taken before the read: expiries during a slow read leave exactly one
        // tick pending, so one read follows and no backlog builds up.
        if (tickPending_.exchange(false) && running_.load()) Poll();
    }
    workerEnded_.set();
}

void Scanner::Poll() {
    PollResult result;
    result.inputIndex = inputIndex_;
    result.scannerId = id_;
    {
        std::lock_guard lock(readMutex_);
        // Stopped meanwhile: whoever stopped it may be about to reopen the port.
        if (!running_.load()) return;
        PollGate& gate = io_.polls();
        const PollRead read(gate);
        if (!read.entered()) return;  // the line is another's for now
        // A reopened port or another module after this moves the epoch on:
        // the window drops what this read brings back then.
        result.epoch = io_.epoch();
        const std::uint64_t resumptions = gate.resumptions();
        // The module the poll was started for, asked anew only after the line
        // was another's (an applied address, a new speed).
        if (!targetTaken_ || resumptions != resumptions_) {
            result.afterPause = targetTaken_;
            target_ = io_.SessionTarget();
            target_.setsVerdict = false;
            resumptions_ = resumptions;
            targetTaken_ = true;
        }
        // Read at the module's base address plus the input number.
        Parameter measured("rEAd");
        measured.addressOffset = inputIndex_;
        ++reads_;
        result.start = PollTime::Now();
        const int status = io_.TransferParameter(DIRECTION_READ, &measured, nullptr, &target_);
        result.end = PollTime::Now();
        if (status == STATUS_OK)
            result.valueText = Limited(measured.value);
        else
            result.errorText = Limited(measured.errorText);
    }
    std::lock_guard lock(sinkMutex_);
    if (sink_) sink_(std::move(result));
}

}  // namespace zep8
