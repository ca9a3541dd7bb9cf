#pragma once

// The device session: the open configuration, the module's port and the
// transfer thread that runs the jobs (read all, write, compare, one
// parameter). The document, the window and every engine work through it.

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "link/exchange/device_io.h"
#include "model/change_notices.h"
#include "model/channels.h"
#include "model/common.h"
#include "model/net_rs485.h"
#include "ops/device/difference.h"
#include "ops/device/job_observer.h"
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

// Who a read or write is for: the module it asks (none: the program's, as
// the port is set at the exchange) and the stop that its failures set once
// five have come in a row.
struct ExchangeRun {
    std::optional<LinkTarget> target;
    Event* stop = nullptr;

    const LinkTarget* to() const { return target ? &*target : nullptr; }
};

// Shows the whole list of differences when the operator asks for it.
using DifferenceViewer = std::function<void(const DifferenceList&)>;

// The session with one module: its three parameter groups, the transfer
// thread that runs the bulk jobs, and the single-parameter operations.
class Device : public DeviceIO, public TransferSession {
  public:
    Device(std::unique_ptr<LinePort> port, Prompter& prompter);
    ~Device() override;

    // The operator password that unlocks factory reset and attribute editing,
    // as kept (a hash, or text: the default or a stored one; see PasswordMatches).
    void SetPassword(std::string password) { password_ = std::move(password); }
    void SetObserver(JobObserver* observer) { observer_ = observer; }
    JobObserver* observer() const { return observer_; }
    void SetHost(SessionHost* host) { host_ = host; }
    // Signalled at the end of every job while an automated run waits for it.
    void SetDoneEvent(Event* done) { doneEvent_ = done; }
    void SetErrorLogPath(std::string path);
    // How long a finished job stays on display (2 s; tests shorten it).
    void SetFinishHold(std::chrono::milliseconds hold) { finishHold_ = hold; }
    std::chrono::milliseconds finishHold() const { return finishHold_; }
    // Ends the input polls, without logging, before anything of the session goes.
    void SetPollStopper(std::function<void()> stopper) { pollStopper_ = std::move(stopper); }

    // The jobs; false when they could not run (no progress display or no thread).
    bool ReadAll();
    bool WriteAll();
    bool WriteChanged();
    // The result message offers `details` with the whole list when there is one.
    bool Compare(const DifferenceViewer& details = {});
    // Reads what WriteAll (`all`) or WriteChanged would overwrite and lists
    // where the module differs, the configuration left as it is. Nothing when
    // the job could not run or was interrupted.
    std::optional<DifferenceList> CompareBeforeWrite(bool all);
    bool ReadOne(Parameter& parameter);
    bool WriteOne(Parameter& parameter);
    // "Прервать": stops the job before its next parameter.
    void Abort();

    // A job's reads and writes ask the module the job was started for and
    // stop with it; called off the transfer thread, the program's module, as a
    // run of its own (its failures stop nothing else).
    int ReadParameter(Parameter& parameter) override;
    int WriteParameter(Parameter& parameter) override;
    // The same for a run of its own (a group read, a batch step).
    int ReadParameter(Parameter& parameter, const ExchangeRun& run);
    int WriteParameter(Parameter& parameter, const ExchangeRun& run);
    int CompareParameter(Parameter& parameter) override;
    // Reads the module's value and attributes of `parameter` into `module`,
    // a parameter of its own: the configuration's is left alone.
    int ReadModuleCopy(const Parameter& parameter, Parameter& module,
                       const LinkTarget* target = nullptr);
    bool ComparesParameter(const Parameter& parameter) override;
    const Event& AbortEvent() const override { return abortEvent; }
    void AddToCounter(ProgressCounter counter, int n) override;
    Prompter& GetPrompter() override { return prompter(); }

    // IDENTIFY_* flags; the texts of "dev" and "ver" into `identity` when given.
    struct Identity {
        std::string device, version;
    };
    int Identify(bool showMessages, Identity* identity = nullptr,
                 const LinkTarget* target = nullptr);
    // Tries the converters and the foreign protocols in turn; gives up between
    // two tries once `stop` (when given) or StopAll is set.
    bool EstablishLink(const Event* stop = nullptr);
    bool CheckPassword();
    // Rebuilds the groups from the catalogue (no data anywhere) and reopens the port.
    void Rebuild();

    // Announces changes of the groups' values and lists; a job's come once it
    // has ended, on the thread that asked for it.
    ChangeNotices changes;
    Common commonNode;
    NetRS485 netNode;
    Channels channelsNode;
    // The module's network group takes part in write jobs only while set.
    std::atomic<bool> netWriteEnabled{true};
    // The stop of the job shown in the progress display (a job of the
    // transfer thread, the service report): "Прервать", the job's own failures
    // and StopAll set it; it is cleared when the next such job begins
    // (NewJobStop) and when a transfer job ends. Every other run (a group
    // read, the apply, a calibration read, the port set-up, a batch) has a
    // stop of its own.
    Event abortEvent{Event::Reset::Manual};
    // The stop of a new job shown in the progress display: abortEvent,
    // cleared, unless StopAll came first.
    Event& NewJobStop();
    // The calling program's exit event, the session's end: stops whatever
    // runs now and everything after. Reads and writes refuse from now on
    // (DEVICE_ABORTED), a job's stop is set, and a run that waits for a stop
    // of its own waits for stoppingAll() too.
    void StopAll();
    bool stoppingAll() const { return stopAll_.isSet(); }
    Event& stopAllEvent() { return stopAll_; }

    int differenceCount() const { return differenceCount_; }
    const std::string& differenceReport() const { return differenceReport_; }
    // Every difference the last compare found, in the order of the walk.
    DifferenceList differences() const;
    bool unlocked() const { return unlocked_; }
    // A job of the transfer thread runs, from its start until its very end.
    bool jobRunning() const { return jobRunning_.load(); }

  private:
    // What the compare walk reads: everything, or what a write would send.
    enum class CompareScope { Everything, WriteAll, WriteChanged };

    bool RunJob(Job job);
    void TransmitThread();
    void RunBulk(Job job);
    void RunSingle(Job job);
    void FinishJob(bool hold = true);
    std::string GroupOf(const Parameter& parameter) const;
    void AddDifference(Difference difference);
    void NoteExchange(Parameter& parameter, int status, const char* message, Event& stop);
    // The module and the stop of the job under way; on the transfer thread only.
    ExchangeRun JobRun();
    bool OnTransferThread() const;
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
    std::atomic<CompareScope> compareScope_{CompareScope::Everything};
    std::atomic<bool> jobAborted_{false};
    std::atomic<bool> jobRunning_{false};
    // The module of the job under way, taken when it was asked for.
    std::mutex jobTargetMutex_;
    std::optional<LinkTarget> jobTarget_;
    mutable std::mutex differencesMutex_;
    DifferenceList differences_;
    Event stopAll_{Event::Reset::Manual};
    std::thread thread_;
};

}  // namespace zep8
