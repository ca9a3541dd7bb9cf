#include "link/exchange/device_io.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>

#include "link/exchange/device_error_text.h"
#include "link/exchange/frame_codec.h"
#include "link/exchange/reply_check.h"
#include "link/foreign/foreign_frame.h"
#include "link/foreign/foreign_status_text.h"
#include "link/line/run_stop.h"
#include "model/catalogue.h"
#include "model/parameter.h"
#include "platform/process_state.h"
#include "platform/prompter.h"

namespace zep8 {
namespace {

constexpr std::uint16_t kApplyHash = 0x8403;  // "APLY": the module answers nothing
constexpr int kBroadcastOffset = -1;
constexpr int kBroadcastAddress = 255;

// Repetitions before an exchange gives up.
constexpr int kMaxTimeoutRepeats = 3;
// A value's read or write after a damaged or stray reply, and a parameter's
// whole transfer after a bad attribute reply: a noisy line damages one frame
// in three at a bit-error rate of 1e-3, so four tries would still lose one
// exchange in a hundred.
constexpr int kMaxBadReplyRepeats = 7;
constexpr int kMaxLineErrorRepeats = 16;
constexpr int kMaxLostStartRepeats = 15;

constexpr std::string_view kLateReplyText =
    "Связь неустойчива: после таймаута обмен с прибором прошел.";
constexpr std::string_view kBadChecksumText = "Ошибка в контрольной сумме ответа";
constexpr std::string_view kOtherRequestText =
    "Пришла посылка с кодом команды, отличным от посланной и от n.Err.\n";
constexpr std::string_view kOtherModuleText =
    "Пришла посылка от другого прибора: адрес в ответе не совпадает с адресом запроса.\n";

// The link's verdict replaces the whole exit status except a job's
// failed-parameter bit, which survives it. A run that was stopped ("Прервать",
// the exit event) stays stopped: the exchange under way at the stop says
// nothing about the line. Returns the verdict when it took its place (for the
// reason recorded with it), else 0.
std::uint32_t SetLinkVerdict(std::uint32_t verdict, bool (*replaces)(std::uint32_t)) {
    bool adopted = false;
    processState().UpdateExitStatus([&adopted, verdict, replaces](std::uint32_t now) {
        const std::uint32_t link = now & ~EXIT_FAILED_PARAMETERS;
        adopted = !(now & EXIT_INTERRUPTED) && replaces(link);
        return adopted ? verdict | (now & EXIT_FAILED_PARAMETERS) : now;
    });
    return adopted ? verdict : 0;
}

// The exit status takes 4 for a dead line unless it already says the line is bad.
// A port that is not there stays the verdict: what follows on it says nothing new.
std::uint32_t NoteTimeout() {
    return SetLinkVerdict(EXIT_TIMEOUT, [](std::uint32_t link) {
        return link != EXIT_GARBAGE && !(link & EXIT_PORT_ERROR);
    });
}

std::uint32_t NoteGarbage() {
    return SetLinkVerdict(EXIT_GARBAGE,
                          [](std::uint32_t link) { return !(link & EXIT_PORT_ERROR); });
}

std::uint32_t NotePortLost() {
    return SetLinkVerdict(EXIT_PORT_ERROR, [](std::uint32_t) { return true; });
}

// A reply after time-outs: the line works but something is wrong with it.
std::uint32_t NoteReplyAfterTimeout() {
    return SetLinkVerdict(EXIT_GARBAGE, [](std::uint32_t link) { return link == EXIT_TIMEOUT; });
}

// A poll's exchanges note nothing: its failures are the poll's alone.
std::uint32_t Note(const LinkTarget& target, std::uint32_t (*note)()) {
    return target.setsVerdict ? note() : 0;
}

std::size_t VerdictSlot(std::uint32_t verdict) {
    return static_cast<std::size_t>(std::countr_zero(verdict));
}

}  // namespace

DeviceIO::DeviceIO(std::unique_ptr<LinePort> port, Prompter& prompter)
    : port_(std::move(port)), prompter_(prompter) {
    programNet_.InitParameters();
    PublishTarget();
}

DeviceIO::~DeviceIO() {
    if (port_->IsOpen()) port_->Close();
}

bool DeviceIO::Fail(std::string& errorText, std::string_view reason, std::uint32_t verdict,
                    bool recorded) {
    errorText = reason;
    if (!recorded) return false;
    {
        std::lock_guard lock(lastFailureMutex_);
        lastFailure_ = reason;
    }
    RecordVerdict(verdict, reason);
    return false;
}

void DeviceIO::RecordVerdict(std::uint32_t verdict, std::string_view reason) {
    if (verdict == 0 || VerdictSlot(verdict) >= kVerdicts) return;
    std::lock_guard lock(lastFailureMutex_);
    verdictReasons_[VerdictSlot(verdict)] = reason;
}

std::string DeviceIO::LastFailure() const {
    std::lock_guard lock(lastFailureMutex_);
    return lastFailure_;
}

std::string DeviceIO::VerdictReason(std::uint32_t verdict) const {
    if (verdict == 0 || VerdictSlot(verdict) >= kVerdicts) return {};
    std::lock_guard lock(lastFailureMutex_);
    return verdictReasons_[VerdictSlot(verdict)];
}

void DeviceIO::NoteAnswer() {
    // The module is reached again: a line lost before is the verdict no more.
    if (!lostUnanswered_.exchange(false)) return;
    processState().clearExitBits(EXIT_PORT_ERROR);
    RecordVerdict(EXIT_PORT_ERROR, "");
}

bool DeviceIO::RecoverLostLine(bool wasOpen, const LinkTarget& target, std::string& errorText) {
    const std::string lost = port_->OpenFailureReason();
    // A converter plugged in again answers under the same name.
    if (wasOpen && port_->Open() == OPEN_OK) return true;
    if (port_->IsOpen()) port_->Close();
    const std::string reason = port_->OpenFailureReason();
    lineGone_ = true;
    if (target.setsVerdict) lostUnanswered_ = true;
    std::string text = lost.empty() ? "Не удается открыть порт " + port_->settings.name : lost;
    if (!reason.empty() && reason != lost) text += "\n" + reason;
    return Fail(errorText, text, Note(target, NotePortLost), target.setsVerdict);
}

bool DeviceIO::Exchange(bool read, std::string_view name, std::span<const std::uint8_t> data,
                        std::vector<std::uint8_t>& reply, std::string& errorText, int addressOffset,
                        const LinkTarget* target) {
    return ExchangeRequest(read, name, data, reply, errorText, addressOffset, target) ==
           ExchangeResult::Done;
}

DeviceIO::ExchangeResult DeviceIO::ExchangeRequest(bool read, std::string_view name,
                                                   std::span<const std::uint8_t> data,
                                                   std::vector<std::uint8_t>& reply,
                                                   std::string& errorText, int addressOffset,
                                                   const LinkTarget* target,
                                                   bool badReplyVerdict) {
    reply.clear();
    // The frame is made under the lock: a reopened port or another address
    // takes effect between two exchanges, never inside one.
    std::lock_guard lock(linkLock_);
    badReplyVerdict_ = badReplyVerdict;
    const LinkTarget to = target ? *target : SessionTargetLocked();
    RequestFrame request;
    request.hash = hash_name(name);
    request.address =
        addressOffset == kBroadcastOffset ? kBroadcastAddress : to.address + addressOffset;
    request.elevenBitAddress = to.addressLength == 11;
    request.read = read;
    request.data = data;
    const std::optional<std::string> frame = BuildRequestText(request);
    if (!frame) {
        Fail(errorText, "Не могу зашифровать посылку (ф-я encode_buffer)", 0, to.setsVerdict);
        return ExchangeResult::Failed;
    }
    return SendWithRepetitions(*frame, request, to, reply, errorText);
}

DeviceIO::ExchangeResult DeviceIO::SendWithRepetitions(std::string_view frame,
                                                       const RequestFrame& request,
                                                       const LinkTarget& target,
                                                       std::vector<std::uint8_t>& reply,
                                                       std::string& errorText) {
    Tries tries;
    bool reopened = false;
    const bool answered = request.hash != kApplyHash;
    // A port lost earlier is opened again as soon as its device is back; the
    // port stays open for what follows, as ReopenPort would leave it.
    if (lineGone_ && !port_->IsOpen() && !processState().hasOption(OPT_SILENT)) {
        if (port_->Open() != OPEN_OK) {
            RecoverLostLine(false, target, errorText);
            return ExchangeResult::Failed;
        }
        reopened = true;
    }
    for (;;) {
        // A late or torn reply still on the line must not meet the request.
        if (answered && quietFirst_) port_->AwaitQuiet();
        const bool wasOpen = port_->IsOpen();
        std::string received;
        int result = TransferOnLine(frame, received, request.address, answered);
        if (result == TRANSFER_LINE_GONE) {
            // Lost again right after it came back (a server that takes the
            // connection and drops it at the first data): the line is lost.
            if (!RecoverLostLine(wasOpen && !reopened, target, errorText))
                return ExchangeResult::Failed;
            reopened = true;
            continue;
        }
        // The run was stopped inside the exchange. (A port that could not arm
        // its wait also says "aborted"; that one is repeated like a lost
        // frame start.)
        if (result == TRANSFER_ABORTED && RunStopped()) return Aborted(errorText);
        if (result != TRANSFER_ABORTED) lineGone_ = false;
        if (!answered) {
            RecordVerdict(NoteReplyAfterTimeout(), kLateReplyText);
            errorText.clear();
            return ExchangeResult::Done;
        }
        std::string stray;
        result = PassOverStrays(frame, result, received, request, stray);
        if (result == TRANSFER_ABORTED && RunStopped()) return Aborted(errorText);
        if (!stray.empty()) tries.heard = stray;
        // A line silent for the whole reply wait has nothing late on it.
        quietFirst_ = result != TRANSFER_TIMEOUT || !received.empty() || !stray.empty();
        const std::optional<ExchangeResult> ended =
            Judge(result, received, !stray.empty(), request, target, tries, reply, errorText);
        if (ended) return *ended;
    }
}

std::optional<DeviceIO::ExchangeResult> DeviceIO::Judge(int result, const std::string& received,
                                                        bool strayHeard,
                                                        const RequestFrame& request,
                                                        const LinkTarget& target, Tries& tries,
                                                        std::vector<std::uint8_t>& reply,
                                                        std::string& errorText) {
    if (result == TRANSFER_TIMEOUT && strayHeard) {
        // Only frames that were not the answer: a command is not sent again.
        if (tries.badReplies == kMaxBadReplyRepeats || !RepeatsOnBadReply(request.hash)) {
            FailGarbled(errorText, tries.heard, target, badReplyVerdict_);
            return ExchangeResult::BadReply;
        }
        ++tries.badReplies;
        return std::nullopt;
    }
    if (result == TRANSFER_TIMEOUT) {
        if (tries.timeouts++ < kMaxTimeoutRepeats) return std::nullopt;
        if (!tries.heard.empty()) {
            FailGarbled(errorText, tries.heard, target, badReplyVerdict_);
            return ExchangeResult::BadReply;
        }
        Fail(errorText, kTimeoutText, Note(target, NoteTimeout), target.setsVerdict);
        return ExchangeResult::TimedOut;
    }
    if (result == TRANSFER_LINE_ERROR) {
        if (tries.lineErrors++ < kMaxLineErrorRepeats) return std::nullopt;
        Fail(errorText, "Неверны настройки порта.", Note(target, NoteGarbage), target.setsVerdict);
        return ExchangeResult::Failed;
    }
    if (received.size() >= 2 && received[0] == kFrameStart) {
        NoteAnswer();
        return TakeFrame(received, request, target, tries, reply, errorText);
    }
    if (tries.lostStarts++ < kMaxLostStartRepeats) return std::nullopt;
    // A port that cannot be opened at all says why.
    const std::string reason = port_->IsOpen() ? "" : port_->OpenFailureReason();
    Fail(errorText,
         reason.empty() ? "Потеря начала посылки." : "Потеря начала посылки.\n" + reason,
         Note(target, NoteGarbage), target.setsVerdict);
    return ExchangeResult::Failed;
}

std::optional<DeviceIO::ExchangeResult> DeviceIO::TakeFrame(const std::string& received,
                                                            const RequestFrame& request,
                                                            const LinkTarget& target,
                                                            Tries& tries,
                                                            std::vector<std::uint8_t>& reply,
                                                            std::string& errorText) {
    // The same damaged frame again is no noise: asking once more cannot
    // help. (The module's own error replies are alike every time.)
    const bool damaged = CheckReply(received, request).kind == ReplyKind::Damaged;
    const bool sameAgain = damaged && received == lastBadFrame_;
    const bool lastTry = tries.badReplies == kMaxBadReplyRepeats || sameAgain;
    switch (TakeReply(received, request, target, lastTry, badReplyVerdict_ || sameAgain, reply,
                      errorText, tries.heard)) {
        case Settled::Answer:
            quietFirst_ = false;
            lastBadFrame_.clear();
            return ExchangeResult::Done;
        case Settled::Refused:
            quietFirst_ = false;
            return ExchangeResult::Failed;
        case Settled::Garbled:
            lastBadFrame_ = damaged ? received : std::string();
            return sameAgain ? ExchangeResult::Failed : ExchangeResult::BadReply;
        case Settled::Again:
            lastBadFrame_ = damaged ? received : std::string();
            ++tries.badReplies;
            return std::nullopt;
    }
    return ExchangeResult::Failed;
}

int DeviceIO::PassOverStrays(std::string_view frame, int result, std::string& received,
                             const RequestFrame& request, std::string& strayText) {
    // Each Listen waits at most for the rest of the transfer's reply wait;
    // the stop event ends it at once.
    while (result == TRANSFER_OK && received.size() >= 2 && received[0] == kFrameStart) {
        const CheckedReply checked = CheckReply(received, request);
        if (checked.kind != ReplyKind::Stray) break;
        strayText = checked.otherModule ? kOtherModuleText : kOtherRequestText;
        result = ListenOnLine(frame, received, request.address);
    }
    return result;
}

DeviceIO::Settled DeviceIO::TakeReply(std::string_view received, const RequestFrame& request,
                                      const LinkTarget& target, bool lastTry, bool verdict,
                                      std::vector<std::uint8_t>& reply, std::string& errorText,
                                      std::string& heard) {
    RecordVerdict(Note(target, NoteReplyAfterTimeout), kLateReplyText);
    const CheckedReply checked = CheckReply(received, request);
    // A value's read or write changes nothing when asked again; a command may.
    const bool again = !lastTry && RepeatsOnBadReply(request.hash);
    switch (checked.kind) {
        case ReplyKind::Answer:
            reply = checked.frame.data;
            errorText.clear();
            return Settled::Answer;
        case ReplyKind::ModuleError: {
            reply = checked.frame.data;
            // The module says the request reached it damaged: it did nothing,
            // and the line is to blame, as for a damaged reply.
            const bool damaged = !reply.empty() && IsTransmissionError(reply[0]);
            if (damaged && again) {
                DeviceErrorText(reply.data(), reply.size(), heard);
                return Settled::Again;
            }
            DeviceErrorText(reply.data(), reply.size(), errorText);
            if (target.setsVerdict) {
                std::lock_guard failure(lastFailureMutex_);
                lastFailure_ = errorText;
            }
            return damaged ? Settled::Garbled : Settled::Refused;
        }
        case ReplyKind::Damaged:
        case ReplyKind::Stray:
            heard = checked.kind == ReplyKind::Damaged ? kBadChecksumText : kOtherRequestText;
            if (again) return Settled::Again;
            FailGarbled(errorText, heard, target, verdict);
            return Settled::Garbled;
    }
    return Settled::Garbled;
}

bool DeviceIO::RunStopped() const {
    return port_->stopEvent.isSet() || RunStop::Stopped();
}

DeviceIO::ExchangeResult DeviceIO::Aborted(std::string& errorText) {
    // The run was stopped inside the exchange: no verdict on the line, and
    // nothing to repeat.
    errorText = "Обмен прерван.";
    return ExchangeResult::Failed;
}

void DeviceIO::FailGarbled(std::string& errorText, std::string_view reason,
                           const LinkTarget& target, bool verdict) {
    // A reply that cannot be taken is garbage on the line, like a lost frame start.
    Fail(errorText, reason, verdict ? Note(target, NoteGarbage) : 0, target.setsVerdict);
}

DeviceIO::ProbeResult DeviceIO::Probe(int address, std::string_view name,
                                      std::vector<std::uint8_t>& reply, int replyWaitMs) {
    reply.clear();
    std::lock_guard lock(linkLock_);
    RequestFrame request;
    request.hash = hash_name(name);
    request.address = address;
    request.elevenBitAddress = port_->settings.addressLength == 11;
    request.read = true;
    const std::optional<std::string> frame = BuildRequestText(request);
    if (!frame) return ProbeResult::Garbage;
    std::string received;
    const int saved = port_->replyWaitOverride.exchange(replyWaitMs);
    int result = TransferOnLine(*frame, received, address, true);
    // A late reply of the address probed before is not this one's answer.
    std::string stray;
    result = PassOverStrays(*frame, result, received, request, stray);
    port_->replyWaitOverride = saved;
    if (result == TRANSFER_ABORTED) return ProbeResult::Aborted;
    if (result == TRANSFER_LINE_GONE) return ProbeResult::LineGone;
    if (result == TRANSFER_TIMEOUT && received.empty()) return ProbeResult::Silence;
    if (result != TRANSFER_OK || received.size() < 2 || received[0] != kFrameStart)
        return ProbeResult::Garbage;
    const CheckedReply checked = CheckReply(received, request);
    if (checked.kind == ReplyKind::Answer || checked.kind == ReplyKind::ModuleError) {
        reply = checked.frame.data;
        return checked.kind == ReplyKind::Answer ? ProbeResult::Answer : ProbeResult::ErrorReply;
    }
    return ProbeResult::Garbage;
}

void DeviceIO::AddTap(ExchangeTap* tap) {
    std::lock_guard lock(tapsMutex_);
    taps_.push_back(tap);
    tapped_ = true;
}

void DeviceIO::RemoveTap(ExchangeTap* tap) {
    std::lock_guard lock(tapsMutex_);
    std::erase(taps_, tap);
    tapped_ = !taps_.empty();
}

int DeviceIO::TransferOnLine(std::string_view frame, std::string& received, int address,
                             bool replyExpected) {
    if (!tapped_.load(std::memory_order_relaxed)) return port_->Transfer(frame, received);
    return Tapped(frame, received, address, replyExpected, false);
}

int DeviceIO::ListenOnLine(std::string_view frame, std::string& received, int address) {
    if (!tapped_.load(std::memory_order_relaxed)) return port_->Listen(received);
    return Tapped(frame, received, address, true, true);
}

int DeviceIO::Tapped(std::string_view frame, std::string& received, int address,
                     bool replyExpected, bool listen) {
    ExchangeRecord record;
    record.startedAt = std::chrono::system_clock::now();
    const auto start = std::chrono::steady_clock::now();
    record.result = listen ? port_->Listen(received) : port_->Transfer(frame, received);
    record.took = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    record.protocolMode = processState().ProtocolMode.load();
    record.elevenBitAddress = port_->settings.addressLength == 11;
    record.replyExpected = replyExpected;
    record.listenedOn = listen;
    record.address = address;
    record.sent = frame;
    record.received = received;
    std::lock_guard lock(tapsMutex_);
    for (ExchangeTap* tap : taps_) tap->OnExchange(record);
    return record.result;
}

int DeviceIO::TransferParameter(int direction, Parameter* parameter, TraceLog* log,
                                const LinkTarget* target) {
    ProcessState& state = processState();
    if (state.hasOption(OPT_NO_DEVICE)) return STATUS_OK;
    const int mode = state.ProtocolMode.load();
    if (mode >= PROTOCOL_MODBUS_RTU && mode <= PROTOCOL_DCON) return SendForeignCommand(parameter);
    if (!parameter) return STATUS_NO_PARAMETER;
    // The attributes' "M.s.t.r." is not sent again by itself after a bad
    // reply; the parameter's read or write is, attributes and value.
    for (int tries = 0;; ++tries) {
        bool badAttributeReply = false;
        const bool lastTry = tries == kMaxBadReplyRepeats;
        const int status =
            TransferOnce(direction, *parameter, log, target, lastTry, badAttributeReply);
        if (!badAttributeReply || lastTry) return status;
    }
}

int DeviceIO::ExchangeForeignFrame(std::span<const std::uint8_t> command,
                                   std::vector<std::uint8_t>& reply) {
    reply.clear();
    std::lock_guard lock(linkLock_);
    const PortSettings& settings = port_->settings;
    if (settings.addressLength > 8) return FOREIGN_NOT_8_BIT;
    const int mode = processState().ProtocolMode.load();
    const auto address = static_cast<std::uint8_t>(settings.baseAddress & 0xFF);
    const std::string frame = BuildForeignFrame(mode, address, command);
    int timeouts = 0, lineErrors = 0;
    std::string received;
    for (;;) {
        const int result = TransferOnLine(frame, received, address, true);
        if (result == TRANSFER_TIMEOUT) {
            if (timeouts == kMaxTimeoutRepeats) return FOREIGN_TIMEOUT;
            ++timeouts;
            // Try the other kind of converter; whichever answers stays.
            port_->directionMode = port_->directionMode.load() == 0 ? 1 : 0;
            continue;
        }
        if (result == TRANSFER_LINE_GONE) return FOREIGN_TIMEOUT;  // nothing can answer
        if (result == TRANSFER_LINE_ERROR) {
            if (lineErrors == kMaxLineErrorRepeats) return FOREIGN_LINE_ERRORS;
            ++lineErrors;
            continue;
        }
        break;
    }
    return ParseForeignReply(mode, address, received, reply);
}

}  // namespace zep8
