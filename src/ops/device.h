#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "link/device_io.h"
#include "model/channels.h"
#include "model/common.h"
#include "model/net_rs485.h"
#include "ops/job_observer.h"
#include "platform/event.h"

namespace zep8 {

// Results of the single-parameter operations besides TransferParameter's.
enum DeviceStatus : int {
    DEVICE_ABORTED = 3,
    DEVICE_NO_DATA = 5,
    DEVICE_NEGATIVE_INDEX = 6,
};

// Flags of Identify.
enum IdentifyFlag : int {
    IDENTIFY_ZEP8 = 0x01,
    IDENTIFY_ANSWERED = 0x02,
    IDENTIFY_VERSION_7 = 0x04,
};

// The major version of a "ver" text ("v7.12" is 7).
int MajorVersion(std::string_view version);

// The session with one module: its three parameter groups, the transfer
// thread that runs the bulk jobs, and the single-parameter operations.
class Device : public DeviceIO, public TransferSession {
  public:
    Device(std::unique_ptr<LinePort> port, Prompter& prompter);
    ~Device() override;

    // The operator password that unlocks factory reset and attribute editing.
    void SetPassword(std::string password) { password_ = std::move(password); }
    void SetObserver(JobObserver* observer) { observer_ = observer; }
    void SetHost(SessionHost* host) { host_ = host; }
    // Signalled at the end of every job while an automated run waits for it.
    void SetDoneEvent(Event* done) { doneEvent_ = done; }
    void SetErrorLogPath(std::string path);
    // How long a finished job stays on display (2 s; tests shorten it).
    void SetFinishHold(std::chrono::milliseconds hold) { finishHold_ = hold; }
    // Ends the input polls, without logging, before anything of the session goes.
    void SetPollStopper(std::function<void()> stopper) { pollStopper_ = std::move(stopper); }

    // The jobs; false when they could not run (no progress display or no thread).
    bool ReadAll();
    bool WriteAll();
    bool WriteChanged();
    bool Compare();
    bool ReadOne(Parameter& parameter);
    bool WriteOne(Parameter& parameter);
    // "Прервать": stops the job before its next parameter.
    void Abort();

    int ReadParameter(Parameter& parameter) override;
    int WriteParameter(Parameter& parameter) override;
    int CompareParameter(Parameter& parameter) override;
    const Event& AbortEvent() const override { return abortEvent; }
    void AddToCounter(ProgressCounter counter, int n) override;
    Prompter& GetPrompter() override { return prompter(); }

    int Identify(bool showMessages);
    bool EstablishLink();
    bool CheckPassword();
    // Rebuilds the groups from the catalogue (no data anywhere) and reopens the port.
    void Rebuild();

    Common commonNode;
    NetRS485 netNode;
    Channels channelsNode;
    // The module's network group takes part in write jobs only while set.
    std::atomic<bool> netWriteEnabled{true};
    Event abortEvent{Event::Reset::Manual};

    int differenceCount() const { return differenceCount_; }
    const std::string& differenceReport() const { return differenceReport_; }
    bool unlocked() const { return unlocked_; }

  private:
    bool RunJob(Job job);
    void TransmitThread();
    void RunBulk(Job job);
    void RunSingle(Job job);
    void FinishJob();
    void NoteExchange(Parameter& parameter, int status, const char* message);
    void LogError(const Parameter& parameter);
    bool NetworkDiffersFromProgram();

    std::string password_;
    JobObserver* observer_ = nullptr;
    SessionHost* host_ = nullptr;
    Event* doneEvent_ = nullptr;
    std::string errorLogPath_;
    std::mutex errorLogMutex_;
    std::chrono::milliseconds finishHold_{2000};
    std::function<void()> pollStopper_;

    std::array<Event, 4> bulkEvents_{Event(Event::Reset::Manual), Event(Event::Reset::Manual),
                                     Event(Event::Reset::Manual), Event(Event::Reset::Manual)};
    Event readOneEvent_{Event::Reset::Auto};
    Event writeOneEvent_{Event::Reset::Auto};
    std::atomic<Parameter*> singleParameter_{nullptr};
    bool openedByJob_ = false;  // the transfer thread's own
    std::array<std::atomic<int>, 4> counters_{};

    bool unlocked_ = false;
    int differenceCount_ = 0;
    std::string differenceReport_;
    std::thread thread_;
};

}  // namespace zep8
