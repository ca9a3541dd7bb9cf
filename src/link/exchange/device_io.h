#pragma once

// The exchange engine: every request to the module and its reply, under the
// link lock, with repetitions, reply checks and the reasons of failures.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/exchange/exchange_tap.h"
#include "link/exchange/poll_gate.h"
#include "link/line/line_port.h"
#include "model/net_rs485_prg.h"
#include "platform/fair_mutex.h"

namespace zep8 {

class Parameter;
class Prompter;
struct RequestFrame;

enum Direction : int { DIRECTION_WRITE = 0, DIRECTION_READ = 1 };

// Results of TransferParameter (and, in a foreign protocol, the ForeignStatus).
enum TransferStatus : int {
    STATUS_OK = 0,
    STATUS_EXCHANGE_FAILED = 1,
    STATUS_UNDECODABLE = 2,
    STATUS_NO_ENCODING = 3,
    STATUS_CANNOT_ENCODE = 4,
    STATUS_NO_PARAMETER = -1,
    STATUS_ATTRIBUTES_FAILED = 200,
    STATUS_ATTRIBUTE_SIZE = 201,
};

// Lines describing the bytes of a transfer, for the single-parameter dialog.
using TraceLog = std::vector<std::string>;

// The module an exchange asks: its base address and the length of the
// address on the line. A poll's exchanges leave the run's verdict (its exit
// status and last failure) alone: a poll's failure is the poll's.
struct LinkTarget {
    int address = 16;
    int addressLength = 8;
    bool setsVerdict = true;

    bool operator==(const LinkTarget&) const = default;
};

// Every exchange with the module goes through here: one lock for the whole
// exchange, repetitions on time-outs and line trouble, reply checks, and a
// Russian reason for every failure.
class DeviceIO {
  public:
    DeviceIO(std::unique_ptr<LinePort> port, Prompter& prompter);
    virtual ~DeviceIO();
    DeviceIO(const DeviceIO&) = delete;
    DeviceIO& operator=(const DeviceIO&) = delete;

    // One request and its reply. `addressOffset` is added to the target's
    // address; -1 sends to address 255. Without a target the exchange asks
    // the program's module, as the port is set when the link lock is taken.
    // True on success; otherwise the reason is in `errorText` (and an "n.Err"
    // code in `reply`).
    bool Exchange(bool read, std::string_view name, std::span<const std::uint8_t> data,
                  std::vector<std::uint8_t>& reply, std::string& errorText, int addressOffset,
                  const LinkTarget* target = nullptr);
    // The same exchange, telling a module that stayed silent through every
    // repetition (TimedOut), and one whose last reply was damaged on the line
    // or answered another request (BadReply), from the other failures.
    // A BadReply may be noise, and asking again may help; the same damaged
    // frame as the exchange before it is no noise and fails (Failed).
    enum class ExchangeResult { Done, TimedOut, Failed, BadReply };
    // `badReplyVerdict` false: a failure on a bad reply is not yet the run's
    // verdict, since the caller asks again.
    ExchangeResult ExchangeRequest(bool read, std::string_view name,
                                   std::span<const std::uint8_t> data,
                                   std::vector<std::uint8_t>& reply, std::string& errorText,
                                   int addressOffset, const LinkTarget* target = nullptr,
                                   bool badReplyVerdict = true);

    // One read of `name` at the module address `address`, made once and
    // waiting at most `replyWaitMs`; for searching the bus. It changes no exit
    // status: silence is the usual answer of an empty address.
    enum class ProbeResult { Answer, ErrorReply, Silence, Garbage, Aborted, LineGone };
    ProbeResult Probe(int address, std::string_view name, std::vector<std::uint8_t>& reply,
                      int replyWaitMs);
    // Opens the port again at another speed, the other settings as they are
    // (ReopenPort brings back the program's settings). The port's reason
    // into `failure` when it does not open.
    int ReopenAtSpeed(unsigned baudRate, std::string* failure = nullptr);
    // Closes the port, sets its speed and opens it again when `reopen`.
    void RestoreSpeed(unsigned baudRate, bool reopen);

    // The program's module as the port is set now; never waits for an
    // exchange under way.
    LinkTarget SessionTarget() const;
    // The port's settings and state as one consistent picture.
    struct PortState {
        PortSettings settings;
        bool open = false;
        std::string failure;  // why it did not open, when it did not
    };
    PortState PortNow();

    // Reads or writes one parameter with its access attributes around it.
    int TransferParameter(int direction, Parameter* parameter, TraceLog* log = nullptr,
                          const LinkTarget* target = nullptr);
    // `badReply`: set when the exchange failed on a bad reply (damaged, or another's).
    // `lastTry` false: the caller asks again after a bad reply.
    int ExchangeAttributes(int direction, Parameter& parameter, const LinkTarget* target = nullptr,
                           bool* badReply = nullptr, bool lastTry = true);
    // One frame in the current foreign protocol; returns a ForeignStatus.
    int ExchangeForeignFrame(std::span<const std::uint8_t> command,
                             std::vector<std::uint8_t>& reply);

    // Copies the program's network settings into the port.
    void LoadPortSettings();
    // Talks to the module at `address` from now on: the program's "Addr" and
    // the port's, once an exchange under way has ended. The port stays open.
    void UseAddress(int address);
    // Closes the port, loads the settings and opens it again (unless the run
    // is silent or talks to no module); tells the operator when it fails.
    // The polls stand aside meanwhile.
    int ReopenPort(bool showMessage);
    // Moves on whenever what a late result was read for may have gone: a
    // reopened port, another address or speed, a new configuration. A result
    // read under an older epoch is not stored.
    std::uint64_t epoch() const { return epoch_.load(); }
    void NewEpoch() { ++epoch_; }
    // The input polls read only while nobody else has taken the line over.
    PollGate& polls() { return polls_; }
    // Opens a closed port for a job (true when it did) and closes it after.
    // Both wait for an exchange under way on another thread, like ReopenPort.
    bool OpenPortIfClosed();
    void ClosePort();

    // The last exchange found the port gone (unplugged, hung up, not openable);
    // a job stops at once instead of trying every parameter on it.
    bool LineGone() const { return lineGone_.load(); }
    // The reason of the last failed exchange.
    std::string LastFailure() const;
    // The reason recorded with the exit-status bit `verdict` (EXIT_PORT_ERROR,
    // EXIT_TIMEOUT, EXIT_GARBAGE) when the link last set it, for a run's
    // closing line; empty once a port that opens has cleared it.
    std::string VerdictReason(std::uint32_t verdict) const;

    // Taps see every exchange from now on; a tap is removed before it goes.
    void AddTap(ExchangeTap* tap);
    void RemoveTap(ExchangeTap* tap);

    LinePort& port() { return *port_; }
    NetRS485prg& programNet() { return programNet_; }
    const NetRS485prg& programNet() const { return programNet_; }
    // Held for the moment the program's settings are read or changed where a
    // worker may reopen the port with them meanwhile (the port set-up edits
    // them while its worker scans). Taken after the link lock, never before.
    std::unique_lock<std::mutex> LockProgramSettings() const {
        return std::unique_lock(programSettingsMutex_);
    }
    Prompter& prompter() { return prompter_; }

  private:
    LinkTarget SessionTargetLocked() const;
    // One transfer on the port, shown to the taps. The link lock is held.
    int TransferOnLine(std::string_view frame, std::string& received, int address,
                       bool replyExpected);
    int Tapped(std::string_view frame, std::string& received, int address, bool replyExpected,
               bool listen);
    int SendForeignCommand(Parameter* parameter);
    // One read or write of a parameter with its attributes around it;
    // `badAttributeReply` tells an attribute exchange that failed on a bad reply.
    int TransferOnce(int direction, Parameter& p, TraceLog* log, const LinkTarget* target,
                     bool lastTry, bool& badAttributeReply);
    // The request on the line until its answer comes back, with the
    // repetitions on time-outs, line errors and lost frame starts, and for a
    // value's read or write also on damaged and stray replies. The link lock
    // is held.
    ExchangeResult SendWithRepetitions(std::string_view frame, const RequestFrame& request,
                                       const LinkTarget& target, std::vector<std::uint8_t>& reply,
                                       std::string& errorText);
    // The repetitions an exchange has used, and why the last frame that
    // came was not the answer.
    struct Tries {
        int timeouts = 0, lineErrors = 0, lostStarts = 0, badReplies = 0;
        std::string heard;
    };
    // What one transfer's outcome comes to: the exchange's end, or nothing
    // when the request goes again.
    std::optional<ExchangeResult> Judge(int result, const std::string& received, bool strayHeard,
                                        const RequestFrame& request, const LinkTarget& target,
                                        Tries& tries, std::vector<std::uint8_t>& reply,
                                        std::string& errorText);
    std::optional<ExchangeResult> TakeFrame(const std::string& received,
                                            const RequestFrame& request, const LinkTarget& target,
                                            Tries& tries, std::vector<std::uint8_t>& reply,
                                            std::string& errorText);
    // Passes over frames of other modules and requests while the reply wait
    // lasts; `strayText` says why the last one was not the answer. Returns
    // the transfer result of what came after them.
    int PassOverStrays(std::string_view frame, int result, std::string& received,
                       const RequestFrame& request, std::string& strayText);
    // What a frame of the module asked settles: the answer taken, the
    // exchange failed (a module error, a bad reply not to be asked again or
    // on the last try), or ask again.
    enum class Settled { Answer, Refused, Garbled, Again };
    // `verdict`: a failure on a bad reply sets the run's verdict.
    Settled TakeReply(std::string_view received, const RequestFrame& request,
                      const LinkTarget& target, bool lastTry, bool verdict,
                      std::vector<std::uint8_t>& reply, std::string& errorText,
                      std::string& heard);
    // More of the reply wait on the line, shown to the taps. The link lock is held.
    int ListenOnLine(std::string_view frame, std::string& received, int address);
    bool RunStopped() const;
    ExchangeResult Aborted(std::string& errorText);
    void FailGarbled(std::string& errorText, std::string_view reason, const LinkTarget& target,
                     bool verdict = true);
    // `verdict`: the exit-status bit this failure has just set (0: none).
    // `recorded` false: the failure is the caller's alone (a poll's).
    bool Fail(std::string& errorText, std::string_view reason, std::uint32_t verdict = 0,
              bool recorded = true);
    void RecordVerdict(std::uint32_t verdict, std::string_view reason);
    // After TRANSFER_LINE_GONE: reopens a port that was open once (true when
    // it came back), else fails the exchange with the port's reason.
    bool RecoverLostLine(bool wasOpen, const LinkTarget& target, std::string& errorText);

    std::unique_ptr<LinePort> port_;
    Prompter& prompter_;
    NetRS485prg programNet_;
    mutable std::mutex programSettingsMutex_;
    FairMutex linkLock_;
    std::mutex tapsMutex_;
    std::vector<ExchangeTap*> taps_;
    std::atomic<bool> tapped_{false};  // spares the lock when no tap is there
    // The last port failure told to the operator (ReopenPort runs on several threads).
    std::mutex failureToldMutex_;
    std::string lastFailureTold_;
    std::atomic<bool> lineGone_{false};
    // The line was lost and no reply has come since: its verdict stands
    // until the module answers, however often the port opens meanwhile.
    std::atomic<bool> lostUnanswered_{false};
    void NoteAnswer();
    std::atomic<std::uint64_t> epoch_{0};
    // What came last on the line was not a whole answer: the next request
    // waits for a quiet line before it goes. Under the link lock only.
    bool quietFirst_ = false;
    // The exchange under way sets the run's verdict when it fails on a bad
    // reply. Under the link lock only.
    bool badReplyVerdict_ = true;
    // The last damaged or stray frame an exchange ended on or asked again
    // after. Under the link lock only.
    std::string lastBadFrame_;
    // The port's module, published by whoever changes it under the link lock.
    void PublishTarget();
    mutable std::mutex targetMutex_;
    LinkTarget published_;
    PollGate polls_;
    mutable std::mutex lastFailureMutex_;
    std::string lastFailure_;
    static constexpr std::size_t kVerdicts = 7;  // exit-status bits 0x01 ... 0x40
    std::string verdictReasons_[kVerdicts];
};

}  // namespace zep8
