#include "link/device_io.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>

#include "link/device_error_text.h"
#include "link/foreign_frame.h"
#include "link/foreign_status_text.h"
#include "link/frame_codec.h"
#include "link/run_stop.h"
#include "model/catalogue.h"
#include "model/number_text.h"
#include "model/parameter.h"
#include "platform/codepage.h"
#include "platform/process_state.h"
#include "platform/prompter.h"

namespace zep8 {
namespace {

constexpr std::uint16_t kApplyHash = 0x8403;  // "APLY": the module answers nothing
constexpr std::uint16_t kErrorHash = 0x0233;  // "n.Err"
constexpr std::string_view kAttributesName = "M.s.t.r.";
constexpr int kBroadcastOffset = -1;
constexpr int kBroadcastAddress = 255;

// Repetitions before an exchange gives up.
constexpr int kMaxTimeoutRepeats = 3;
constexpr int kMaxLineErrorRepeats = 16;
constexpr int kMaxLostStartRepeats = 15;

constexpr std::string_view kLateReplyText =
    "Связь неустойчива: после таймаута обмен с прибором прошел.";

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

std::string TraceByte(const char* arrow, std::size_t position, std::uint8_t byte) {
    char head[64];
    std::snprintf(head, sizeof head, "%s #%2i : %3i = 0x%2X (", arrow, static_cast<int>(position),
                  byte, byte);
    const std::string shown =
        byte < 32 ? "." : Cp1251ToUtf8(std::string(1, static_cast<char>(byte)));
    return head + shown + ")";
}

std::uint8_t AttributeByte(const Parameter& p) {
    return static_cast<std::uint8_t>((p.attrEditable ? 0x01 : 0) | (p.attrFactory ? 0 : 0x02));
}

void AppendIndex(std::vector<std::uint8_t>& data, int index) {
    data.push_back(static_cast<std::uint8_t>((index >> 8) & 0xFF));
    data.push_back(static_cast<std::uint8_t>(index & 0xFF));
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
                                                   const LinkTarget* target) {
    reply.clear();
    // The frame is made under the lock: a reopened port or another address
    // takes effect between two exchanges, never inside one.
    std::lock_guard lock(linkLock_);
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
    std::string received;
    const ExchangeResult sent = SendWithRepetitions(*frame, request, to, received, errorText);
    if (sent != ExchangeResult::Done || request.hash == kApplyHash) return sent;
    return TakeReply(received, request.hash, to, reply, errorText) ? ExchangeResult::Done
                                                                   : ExchangeResult::Failed;
}

DeviceIO::ExchangeResult DeviceIO::SendWithRepetitions(std::string_view frame,
                                                       const RequestFrame& request,
                                                       const LinkTarget& target,
                                                       std::string& received,
                                                       std::string& errorText) {
    int timeouts = 0, lineErrors = 0, lostStarts = 0;
    bool reopened = false;
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
        const bool wasOpen = port_->IsOpen();
        const int result =
            TransferOnLine(frame, received, request.address, request.hash != kApplyHash);
        if (result == TRANSFER_LINE_GONE) {
            // Lost again right after it came back (a server that takes the
            // connection and drops it at the first data): the line is lost.
            if (!RecoverLostLine(wasOpen && !reopened, target, errorText))
                return ExchangeResult::Failed;
            reopened = true;
            continue;
        }
        if (result == TRANSFER_ABORTED && (port_->stopEvent.isSet() || RunStop::Stopped())) {
            // The run was stopped inside the exchange: no verdict on the line,
            // and nothing to repeat. (A port that could not arm its wait also
            // says "aborted"; that one is repeated like a lost frame start.)
            errorText = "Обмен прерван.";
            return ExchangeResult::Failed;
        }
        if (result != TRANSFER_ABORTED) lineGone_ = false;
        if (request.hash == kApplyHash) {
            RecordVerdict(NoteReplyAfterTimeout(), kLateReplyText);
            errorText.clear();
            return ExchangeResult::Done;
        }
        if (result == TRANSFER_TIMEOUT) {
            if (timeouts == kMaxTimeoutRepeats) {
                Fail(errorText, kTimeoutText, Note(target, NoteTimeout), target.setsVerdict);
                return ExchangeResult::TimedOut;
            }
            ++timeouts;
            continue;
        }
        if (result == TRANSFER_LINE_ERROR) {
            if (lineErrors == kMaxLineErrorRepeats) {
                Fail(errorText, "Неверны настройки порта.", Note(target, NoteGarbage),
                     target.setsVerdict);
                return ExchangeResult::Failed;
            }
            ++lineErrors;
            continue;
        }
        if (received.size() >= 2 && received[0] == kFrameStart) {
            NoteAnswer();
            return ExchangeResult::Done;
        }
        if (lostStarts == kMaxLostStartRepeats) {
            // A port that cannot be opened at all says why.
            const std::string reason = port_->IsOpen() ? "" : port_->OpenFailureReason();
            Fail(errorText,
                 reason.empty() ? "Потеря начала посылки." : "Потеря начала посылки.\n" + reason,
                 Note(target, NoteGarbage), target.setsVerdict);
            return ExchangeResult::Failed;
        }
        ++lostStarts;
    }
}

bool DeviceIO::TakeReply(std::string_view received, std::uint16_t requestHash,
                         const LinkTarget& target, std::vector<std::uint8_t>& reply,
                         std::string& errorText) {
    RecordVerdict(Note(target, NoteReplyAfterTimeout), kLateReplyText);
    const ReplyFrame parsed = ParseReplyText(received);
    // A reply that cannot be taken is garbage on the line, like a lost frame start.
    if (!parsed.checksumOk) {
        return Fail(errorText, "Ошибка в контрольной сумме ответа", Note(target, NoteGarbage),
                    target.setsVerdict);
    }
    reply = parsed.data;
    if (parsed.hash == requestHash) {
        errorText.clear();
        return true;
    }
    if (parsed.hash == kErrorHash) {
        DeviceErrorText(reply.data(), reply.size(), errorText);
        if (!target.setsVerdict) return false;
        std::lock_guard failure(lastFailureMutex_);
        lastFailure_ = errorText;
        return false;
    }
    return Fail(errorText, "Пришла посылка с кодом команды, отличным от посланной и от n.Err.\n",
                Note(target, NoteGarbage), target.setsVerdict);
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
    const int result = TransferOnLine(*frame, received, address, true);
    port_->replyWaitOverride = saved;
    if (result == TRANSFER_ABORTED) return ProbeResult::Aborted;
    if (result == TRANSFER_LINE_GONE) return ProbeResult::LineGone;
    if (result == TRANSFER_TIMEOUT && received.empty()) return ProbeResult::Silence;
    if (result != TRANSFER_OK || received.size() < 2 || received[0] != kFrameStart)
        return ProbeResult::Garbage;
    const ReplyFrame parsed = ParseReplyText(received);
    if (!parsed.checksumOk) return ProbeResult::Garbage;
    reply = parsed.data;
    if (parsed.hash == request.hash) return ProbeResult::Answer;
    return parsed.hash == kErrorHash ? ProbeResult::ErrorReply : ProbeResult::Garbage;
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
    ExchangeRecord record;
    record.startedAt = std::chrono::system_clock::now();
    const auto start = std::chrono::steady_clock::now();
    record.result = port_->Transfer(frame, received);
    record.took = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    record.protocolMode = processState().ProtocolMode.load();
    record.elevenBitAddress = port_->settings.addressLength == 11;
    record.replyExpected = replyExpected;
    record.address = address;
    record.sent = frame;
    record.received = received;
    std::lock_guard lock(tapsMutex_);
    for (ExchangeTap* tap : taps_) tap->OnExchange(record);
    return record.result;
}

int DeviceIO::ExchangeAttributes(int direction, Parameter& p, const LinkTarget* target) {
    std::vector<std::uint8_t> data;
    if (direction == DIRECTION_WRITE) data.push_back(AttributeByte(p));
    if (p.indexed) {
        data.push_back(0x00);
        data.push_back(static_cast<std::uint8_t>(p.index & 0xFF));
    }
    const std::uint16_t hash = hash_name(p.name);
    data.push_back(static_cast<std::uint8_t>(hash >> 8));
    data.push_back(static_cast<std::uint8_t>(hash & 0xFF));

    std::vector<std::uint8_t> reply;
    const ExchangeResult result =
        ExchangeRequest(direction == DIRECTION_READ, kAttributesName, data, reply, p.errorText,
                        p.addressOffset, target);
    p.timedOut = result == ExchangeResult::TimedOut;
    if (result != ExchangeResult::Done) return STATUS_ATTRIBUTES_FAILED;
    if (reply.size() != (p.indexed ? 5u : 3u)) {
        const bool verdict = !target || target->setsVerdict;
        Fail(p.errorText, "Ошибка атрибутов; размер ответа не совпадает с ожидаемым.\n",
             verdict ? NoteGarbage() : 0, verdict);
        return STATUS_ATTRIBUTE_SIZE;
    }
    p.attrEditable = (reply[0] & 0x01) != 0;
    p.attrFactory = (reply[0] & 0x02) == 0;
    p.attrChanged = false;
    p.pendingWrite = false;
    return STATUS_OK;
}

int DeviceIO::SendForeignCommand(Parameter* parameter) {
    const int mode = processState().ProtocolMode.load();
    std::vector<std::uint8_t> reply;
    int status;
    if (mode == PROTOCOL_DCON) {
        const std::vector<std::uint8_t> command(kDconReturnCommand.begin(),
                                                kDconReturnCommand.end());
        status = ExchangeForeignFrame(command, reply);
    } else {
        status = ExchangeForeignFrame(kModbusReturnCommand, reply);
        if (status == FOREIGN_OK &&
            !std::equal(reply.begin(), reply.end(), std::begin(kModbusReturnCommand),
                        std::end(kModbusReturnCommand))) {
            status = FOREIGN_MALFORMED;
        }
    }
    if (parameter) {
        parameter->errorText = ForeignStatusText(status);
        parameter->timedOut = status == FOREIGN_TIMEOUT;
    }
    return status;
}

int DeviceIO::TransferParameter(int direction, Parameter* parameter, TraceLog* log,
                                const LinkTarget* target) {
    ProcessState& state = processState();
    if (state.hasOption(OPT_NO_DEVICE)) return STATUS_OK;
    const int mode = state.ProtocolMode.load();
    if (mode >= PROTOCOL_MODBUS_RTU && mode <= PROTOCOL_DCON) return SendForeignCommand(parameter);
    if (!parameter) return STATUS_NO_PARAMETER;
    Parameter& p = *parameter;
    p.errorText.clear();
    p.timedOut = false;

    // A locked parameter is unlocked for the value write and locked again after it.
    std::optional<bool> savedEditable;
    if (p.hasAttributes) {
        if (!p.attrEditable && p.attrChanged) {
            savedEditable = p.attrEditable;
            p.attrEditable = true;
        }
        if (const int status = ExchangeAttributes(direction, p, target); status != STATUS_OK)
            return status;
    }

    std::vector<std::uint8_t> data;
    if (direction == DIRECTION_WRITE) {
        const int converted = p.ConvertToData(data);
        // Nothing sensible can be sent for such a value: say why and stop.
        if (converted == MyConverter::CONVERT_NO_METHOD) {
            p.errorText = "Метод формирования посылки для команды '" + p.name + "' не определен.";
            if (log) log->push_back(p.errorText);
            return STATUS_NO_ENCODING;
        }
        if (converted == MyConverter::CONVERT_FAILED) {
            p.errorText = "Неверное значение (неудается закодировать данные)";
            if (log) log->push_back(p.errorText);
            return STATUS_CANNOT_ENCODE;
        }
        if (converted != MyConverter::CONVERT_OK && log) {
            log->push_back("Предупреждение: странный ответ от ConvertToData(...)");
        }
    }
    if (p.indexed) AppendIndex(data, p.index);
    if (log) {
        log->push_back("Размер инф-ой части посылки " + std::to_string(data.size()) + " байт");
        for (std::size_t i = 0; i < data.size(); ++i)
            log->push_back(TraceByte(">> Посылка:", i, data[i]));
    }

    std::vector<std::uint8_t> reply;
    const ExchangeResult result = ExchangeRequest(direction == DIRECTION_READ, p.name, data, reply,
                                                  p.errorText, p.addressOffset, target);
    p.timedOut = result == ExchangeResult::TimedOut;
    if (result != ExchangeResult::Done) return STATUS_EXCHANGE_FAILED;
    if (log) {
        for (std::size_t i = 0; i < reply.size(); ++i)
            log->push_back(TraceByte("<< Ответ:", i, reply[i]));
        log->push_back("Всего получено " + std::to_string(reply.size()) + " байт");
    }
    if (p.ConvertFromData(reply.data(), reply.size(), p.indexed) == MyConverter::CONVERT_FAILED) {
        p.errorText = "Не могу раскодировать ответ";
        p.value.clear();
        return STATUS_UNDECODABLE;
    }

    if (p.hasAttributes && savedEditable) {
        p.attrEditable = *savedEditable;
        if (const int status = ExchangeAttributes(direction, p, target); status != STATUS_OK)
            return status;
    }
    p.changed = p.attrChanged = p.pendingWrite = false;
    return STATUS_OK;
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
