#include "ops/scanner.h"

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <system_error>

#include "link/device_io.h"
#include "model/parameter.h"
#include "model/value_type.h"
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
    std::tm local{};
    localtime_r(&seconds, &local);
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
    timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (timerFd_ < 0) throw std::system_error(errno, std::generic_category(), "timerfd_create");
    try {
        worker_ = std::thread(&Scanner::WorkerThread, this);
        timer_ = std::thread(&Scanner::TimerThread, this);
    } catch (...) {
        // No destructor runs for a scanner that was never made: end what did start.
        stopEvent_.set();
        if (worker_.joinable()) worker_.join();
        close(timerFd_);
        throw;
    }
}

Scanner::~Scanner() {
    StopThreads();
    if (worker_.joinable()) worker_.join();
    if (timer_.joinable()) timer_.join();
    close(timerFd_);
}

bool Scanner::ArmTimer(std::int64_t milliseconds) {
    // Whole 64-bit milliseconds into a timespec: no period is too long to arm.
    itimerspec setting{};
    setting.it_value.tv_sec = static_cast<time_t>(milliseconds / 1000);
    setting.it_value.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    setting.it_interval = setting.it_value;
    // Re-arming also clears the expiries not yet read, so none from before counts.
    return timerfd_settime(timerFd_, 0, &setting, nullptr) == 0;
}

std::chrono::milliseconds Scanner::TimeToNextPoll() const {
    itimerspec setting{};
    if (timerfd_gettime(timerFd_, &setting) != 0) return {};
    return std::chrono::milliseconds(std::int64_t{setting.it_value.tv_sec} * 1000 +
                                     setting.it_value.tv_nsec / 1000000);
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
        const int woke = Event::waitAny({&stopEvent_}, Event::kInfinite, timerFd_);
        if (woke == 0) break;
        std::uint64_t expiries = 0;
        // Nothing to read when Stop or Start re-armed the timer meanwhile.
        if (read(timerFd_, &expiries, sizeof expiries) != sizeof expiries) continue;
        if (running_.load()) {
            tickPending_ = true;
            tickEvent_.set();
        }
    }
    timerEnded_.set();
}

void Scanner::WorkerThread() {
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
        if (!gate.Enter()) return;  // the line is another's for now
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
        gate.Leave();
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
