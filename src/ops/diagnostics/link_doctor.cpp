#include "ops/diagnostics/link_doctor.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "link/exchange/frame_codec.h"
#include "link/foreign/foreign_frame.h"
#include "link/foreign/foreign_status_text.h"
#include "link/line/line_timings.h"
#include "link/remote/remote_line.h"
#include "link/serial/port_details.h"
#include "link/serial/port_names.h"
#include "model/catalogue.h"
#include "model/net_rs485_prg.h"
#include "model/number_text.h"
#include "model/parameter.h"
#include "ops/diagnostics/bus_survey.h"
#include "platform/process_state.h"
#include "platform/text.h"

namespace zep8 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kAnyModule = 255;
constexpr std::uint16_t kErrorHash = 0x0233;  // "n.Err"
constexpr int kQuietListenMs = 300;
constexpr int kSchemes[] = {SCHEME_NONE, SCHEME_EVEN, SCHEME_ODD};

std::string ProtocolName(int protocol) {
    switch (protocol) {
        case PROTOCOL_MODBUS_RTU:
            return "ModBUS-RTU";
        case PROTOCOL_MODBUS_ASCII:
            return "ModBUS-ASCII";
        case PROTOCOL_DCON:
            return "DCON";
        default:
            return "АРВО";
    }
}

std::string ConverterName(int directionMode) {
    return directionMode == 0 ? "полуавтоматический (PK-2)" : "автоматический (RT 4410)";
}

// Behind a serial device server the server keys the line, whatever the setting.
std::string ConverterName(int directionMode, std::string_view portName) {
    return IsRemotePortName(portName) ? "на сервере линии" : ConverterName(directionMode);
}

std::string ParityText(int scheme) {
    const std::vector<std::string> items = GetDescriptor("PrtY").items;
    for (std::size_t i = 0; i < items.size() && i < std::size(kSchemes); ++i) {
        if (kSchemes[i] == scheme) return items[i];
    }
    return items.empty() ? "" : items[0];
}

char ParityLetter(int scheme) {
    return scheme == SCHEME_EVEN ? 'E' : scheme == SCHEME_ODD ? 'O' : 'N';
}

std::string Format(const PortSettings& s) {
    return std::to_string(s.byteSize) + "-" + ParityLetter(s.parityScheme) + "-" +
           std::to_string(s.stopBits);
}

std::string Shown(std::string_view bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size() && i < 16; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X ", static_cast<unsigned char>(bytes[i]));
        text += hex;
    }
    if (!text.empty()) text.pop_back();
    return bytes.size() > 16 ? text + " ..." : text;
}

int Number(const NetRS485prg& program, std::string_view name, int fallback) {
    const std::string text = program.GetValue(name);
    return HasDigit(text) ? std::atoi(text.c_str()) : fallback;
}

// The request came back: alone, cut short, or with an answer behind it.
bool IsEcho(std::string_view frame, std::string_view received) {
    if (received.empty()) return false;
    return received.size() <= frame.size() ? frame.starts_with(received)
                                           : received.starts_with(frame);
}

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

bool IsZep8(std::string deviceName) {
    std::erase(deviceName, '-');
    return EqualsIgnoreCase(deviceName, "zep8") || EqualsIgnoreCase(deviceName, "зеп8");
}

DoctorSetup DoctorSetupFrom(const NetRS485prg& program, int directionMode) {
    DoctorSetup setup;
    PortSettings& s = setup.settings;
    if (const std::string port = program.GetValue("Port"); port != kNoData) s.name = port;
    s.baudRate = static_cast<unsigned>(Number(program, "bPS", 9600));
    s.byteSize = Number(program, "LEn", 8);
    s.stopBits = Number(program, "Sbit", 1);
    s.addressLength = Number(program, "A.Len", 8);
    s.baseAddress = Number(program, "Addr", 16);
    const std::string parity = program.GetValue("PrtY");
    const std::vector<std::string> items = GetDescriptor("PrtY").items;
    for (std::size_t i = 0; i < items.size() && i < std::size(kSchemes); ++i) {
        if (items[i] == parity) s.parityScheme = kSchemes[i];
    }
    setup.directionMode = directionMode;
    setup.echo = program.GetValue("Echo") == kEchoOn;
    return setup;
}

void ApplyDoctorFindings(const DoctorFindings& findings, NetRS485prg& program) {
    const PortSettings& s = findings.settings;
    program.SetValue("Port", s.name, true);
    program.SetValue("bPS", std::to_string(s.baudRate), true);
    program.SetValue("LEn", std::to_string(s.byteSize), true);
    program.SetValue("PrtY", ParityText(s.parityScheme), true);
    program.SetValue("Sbit", std::to_string(s.stopBits), true);
    program.SetValue("A.Len", std::to_string(s.addressLength), true);
    program.SetValue("Addr", std::to_string(s.baseAddress), true);
    program.SetValue("Echo", findings.echo ? kEchoOn : kEchoOff, true);
}

LinkDoctor::LinkDoctor(PortFactory makePort, DoctorObserver& observer)
    : makePort_(std::move(makePort)), observer_(observer) {}

LinkDoctor::~LinkDoctor() = default;

void LinkDoctor::SetPortFolders(std::string sysClassTty, std::string byIdDirectory) {
    sysClassTty_ = std::move(sysClassTty);
    byIdDirectory_ = std::move(byIdDirectory);
}

void LinkDoctor::Abort() {
    aborted_ = true;
    std::lock_guard lock(portMutex_);
    if (port_) port_->stopEvent.set();
    if (survey_) survey_->Abort();
    if (surveyPort_) surveyPort_->stopEvent.set();
}

void LinkDoctor::Say(const std::string& line) {
    observer_.DoctorLine(line);
}

std::uint32_t LinkDoctor::Run(const DoctorSetup& setup) {
    setup_ = setup;
    findings_ = {};
    {
        std::lock_guard lock(portMutex_);
        port_ = makePort_();
        if (aborted_) port_->stopEvent.set();
    }
    ProcessState& state = processState();
    const int protocolBefore = state.ProtocolMode.load();
    const auto started = Clock::now();

    Say("Диагностика связи с прибором ЗЕП8");
    ListPorts();
    std::uint32_t verdict = 0;
    if (!OpenFirst()) {
        verdict = Aborted() ? EXIT_INTERRUPTED : EXIT_PORT_ERROR;
    } else {
        CheckQuiet();
        const bool found =
            TryProgramSettings() || SweepSpeeds() || SweepForeign() || SweepAddresses();
        if (found && !Aborted()) {
            ChooseConverter();
            MeasureRoundTrip();
        }
        if (!Aborted()) AdviseLatency(found ? line_.settings : setup_.settings);
        verdict = Aborted() ? EXIT_INTERRUPTED : Verdict();
    }
    if (verdict == EXIT_INTERRUPTED) Say(std::string(kAbortedText));
    {
        std::lock_guard lock(portMutex_);
        if (port_->IsOpen()) port_->Close();
    }
    state.ProtocolMode = protocolBefore;
    Say("Диагностика заняла " + FormatFixed(Milliseconds(Clock::now() - started) / 1000.0, 1) +
        " с.");
    return verdict;
}

void LinkDoctor::ListPorts() {
    const std::vector<PortDetails> ports = DescribePorts(sysClassTty_, byIdDirectory_);
    Say(ports.empty() ? "Последовательных портов в системе не найдено."
                      : "Последовательные порты компьютера:");
    for (const PortDetails& port : ports) Say("  " + PortDetailsLine(port));
}

bool LinkDoctor::OpenFirst() {
    line_ = Line{setup_.settings, setup_.directionMode, setup_.echo, PROTOCOL_OWN};
    Say("Проверяемый порт: " + PortDevicePath(setup_.settings.name));
    if (!UseLine(line_)) {
        Say("Итог: порт не открывается, связи с прибором не будет.");
        return false;
    }
    Say("Порт открыт.");
    if (IsRemotePortName(setup_.settings.name)) {
        // The network's share of every reply wait, measured at the connect.
        const double ms = static_cast<double>(port_->RoundTrip().count()) / 1000.0;
        Say("Удалённая линия: путь по сети туда и обратно " + FormatFixed(ms, 1) +
            " мс (добавлен к ожиданию ответа); направление RS-485 переключает сервер.");
        if (const std::optional<TlsFacts> tls = port_->Security()) {
            Say("Шифрование: " + tls->protocol + ", " + tls->cipher + "; сертификат сервера " +
                tls->subject + ", действует до " + tls->notAfter + ".");
        } else {
            Say("Шифрование: нет, данные идут по сети открыто.");
        }
    }
    ReportLatencyTimer();
    return true;
}

bool LinkDoctor::UseLine(const Line& line) {
    const PortSettings& a = line.settings;
    const PortSettings& b = line_.settings;
    const bool same = lineOpen_ && a.baudRate == b.baudRate && a.parityScheme == b.parityScheme &&
                      a.byteSize == b.byteSize && a.stopBits == b.stopBits &&
                      line.protocol == line_.protocol;
    line_ = line;
    port_->directionMode = line.directionMode;
    port_->echoSuppression = line.echo;
    port_->replyWaitOverride = ProbeWait(line);
    if (same) return true;
    if (port_->IsOpen()) port_->Close();
    port_->settings = line.settings;
    processState().ProtocolMode = line.protocol;
    const int result = port_->Open();
    lineOpen_ = result == OPEN_OK;
    if (!lineOpen_) {
        const std::string reason = port_->OpenFailureReason();
        Say(reason.empty() ? "Порт не принимает настройки " + Describe(line) + "." : reason);
    }
    return lineOpen_;
}

int LinkDoctor::ProbeWait(const Line& line) const {
    const PortSettings& s = line.settings;
    // The request's time counts whatever the converter: an echoing adapter
    // sends it back ahead of the reply.
    return ProbeReplyWait(s.baudRate, s.parityScheme != SCHEME_NONE, s.stopBits == 2, true);
}

void LinkDoctor::CheckQuiet() {
    port_->replyWaitOverride = kQuietListenMs;
    std::string heard;
    const int result = port_->Transfer({}, heard);
    port_->replyWaitOverride = ProbeWait(line_);
    if (result == TRANSFER_ABORTED) return;
    if (heard.empty() && result == TRANSFER_TIMEOUT) {
        Say("Линия молчит, пока её не спрашивают (" + std::to_string(kQuietListenMs) + " мс).");
        return;
    }
    garbageSeen_ = true;
    Say("Без запроса на линии появились данные: " + Shown(heard) +
        ". Возможно, на линии есть другая ведущая программа или помехи.");
}

std::string LinkDoctor::Describe(const Line& line) const {
    const PortSettings& s = line.settings;
    std::string text = std::to_string(s.baudRate) + " бит/с, " + Format(s);
    if (line.protocol != PROTOCOL_OWN) text += ", " + ProtocolName(line.protocol);
    text += ", преобразователь " + ConverterName(line.directionMode, s.name);
    if (line.echo) text += ", эхо снимается";
    return text;
}

LinkDoctor::Reply LinkDoctor::Ask(std::string_view name, int address,
                                  std::span<const std::uint8_t> data) {
    RequestFrame request;
    request.hash = hash_name(name);
    request.address = address;
    request.elevenBitAddress = line_.settings.addressLength == 11;
    request.read = true;
    request.data = data;
    const std::string frame = BuildRequestText(request).value_or(std::string());
    Reply reply;
    const int result = port_->Transfer(frame, reply.received);
    const std::string& got = reply.received;
    if (result == TRANSFER_ABORTED || Aborted()) {
        reply.outcome = Outcome::Aborted;
    } else if (!line_.echo && IsEcho(frame, got)) {
        reply.outcome = Outcome::Echo;
    } else if (result == TRANSFER_TIMEOUT && got.empty()) {
        reply.outcome = Outcome::Silence;
    } else if (result != TRANSFER_OK || got.size() < 2 || got[0] != kFrameStart) {
        reply.outcome = Outcome::Garbage;
    } else {
        const ReplyFrame parsed = ParseReplyText(got);
        reply.outcome = !parsed.checksumOk            ? Outcome::Garbage
                        : parsed.hash == request.hash ? Outcome::Answer
                        : parsed.hash == kErrorHash   ? Outcome::ErrorReply
                                                      : Outcome::Garbage;
        reply.data = parsed.data;
    }
    return reply;
}

LinkDoctor::Reply LinkDoctor::AskForeign(int protocol) {
    const auto address = static_cast<std::uint8_t>(line_.settings.baseAddress & 0xFF);
    std::vector<std::uint8_t> command(std::begin(kModbusReturnCommand),
                                      std::end(kModbusReturnCommand));
    if (protocol == PROTOCOL_DCON)
        command.assign(kDconReturnCommand.begin(), kDconReturnCommand.end());
    const std::string frame = BuildForeignFrame(protocol, address, command);
    Reply reply;
    const int result = port_->Transfer(frame, reply.received);
    const std::string& got = reply.received;
    // A ModBus reply to this command is the request itself: only DCON tells an echo apart.
    const bool echoable = protocol == PROTOCOL_DCON;
    if (result == TRANSFER_ABORTED || Aborted()) {
        reply.outcome = Outcome::Aborted;
    } else if (echoable && !line_.echo && IsEcho(frame, got)) {
        reply.outcome = Outcome::Echo;
    } else if (result == TRANSFER_TIMEOUT && got.empty()) {
        reply.outcome = Outcome::Silence;
    } else {
        std::vector<std::uint8_t> data;
        const int status = result == TRANSFER_OK ? ParseForeignReply(protocol, address, got, data)
                                                 : FOREIGN_MALFORMED;
        const bool echoed = protocol == PROTOCOL_DCON || data == command;
        reply.outcome = status == FOREIGN_OK && echoed ? Outcome::Answer : Outcome::Garbage;
    }
    return reply;
}

LinkDoctor::Reply LinkDoctor::Probe(Line line, int address) {
    return Try(
        line, [this, address] { return Ask("dev", address); },
        address == kAnyModule ? "любой адрес (255)"
                              : "адрес " + std::to_string(address) + " (" +
                                    std::to_string(line.settings.addressLength) + " бит)");
}

LinkDoctor::Reply LinkDoctor::Try(Line line, const std::function<Reply()>& ask,
                                  const std::string& what) {
    if (echoSeen_) line.echo = true;
    if (Aborted() || !UseLine(line)) return Reply{Outcome::Aborted, {}, {}};
    const std::string head = Describe(line_) + ", " + what + ": ";
    const auto sent = Clock::now();
    Reply reply = ask();
    if (reply.outcome == Outcome::Echo) {
        echoSeen_ = true;
        Say(head + "пришёл обратно сам запрос.");
        Say("Адаптер возвращает то, что передаёт (эхо передатчика): дальше эхо снимается с "
            "начала ответа.");
        // A module's answer may still be on its way behind the echo.
        std::string late;
        port_->Transfer({}, late);
        line.echo = true;
        return Try(line, ask, what);
    }
    const int wait = port_->replyWaitOverride.load();
    const std::string took = " (" + FormatFixed(Milliseconds(Clock::now() - sent), 0) +
                             " мс, ожидание до " + std::to_string(wait) + " мс)";
    switch (reply.outcome) {
        case Outcome::Answer:
            Say(head + "ответ получен" + took + ".");
            break;
        case Outcome::ErrorReply:
            Say(head + "прибор ответил ошибкой" + took + ".");
            break;
        case Outcome::Garbage:
            garbageSeen_ = true;
            Say(head + "пришло неразборчивое: " + Shown(reply.received) + ".");
            break;
        case Outcome::Silence:
            Say(head + "нет ответа" + took + ".");
            break;
        default:
            break;
    }
    return reply;
}

bool LinkDoctor::TryProgramSettings() {
    Say("Настройки программы: " + std::to_string(setup_.settings.baudRate) + " бит/с, " +
        Format(setup_.settings) + ", адрес " + std::to_string(setup_.settings.baseAddress) + " (" +
        std::to_string(setup_.settings.addressLength) + " бит), преобразователь " +
        ConverterName(setup_.directionMode, setup_.settings.name) +
        (setup_.echo ? ", эхо снимается." : "."));
    Line line{setup_.settings, setup_.directionMode, setup_.echo, PROTOCOL_OWN};
    for (const int mode : {setup_.directionMode, setup_.directionMode == 0 ? 1 : 0}) {
        line.directionMode = mode;
        const Reply reply = Probe(line, setup_.settings.baseAddress);
        if (reply.outcome == Outcome::Aborted) return false;
        if (reply.outcome == Outcome::Answer) return Identify(setup_.settings.baseAddress);
        if (reply.outcome == Outcome::ErrorReply) findings_.answered = true;
    }
    return false;
}

bool LinkDoctor::SweepSpeeds() {
    Say("Перебор скоростей и длин адреса (8 бит: любой адрес 255; 11 бит: адрес программы):");
    Line line{setup_.settings, 0, setup_.echo, PROTOCOL_OWN};
    for (const std::string& speed : GetDescriptor("bPS").items) {
        line.settings.baudRate = static_cast<unsigned>(std::atoi(speed.c_str()));
        for (const int length : {8, 11}) {
            line.settings.addressLength = length;
            const int address = length == 8 ? kAnyModule : setup_.settings.baseAddress;
            const Reply reply = Probe(line, address);
            if (reply.outcome == Outcome::Aborted) return false;
            if (reply.outcome == Outcome::Answer) return Identify(address);
            if (reply.outcome == Outcome::ErrorReply) findings_.answered = true;
        }
    }
    return false;
}

bool LinkDoctor::SweepForeign() {
    const int address = setup_.settings.baseAddress;
    if (address > 255) {
        Say("Протоколы ModBUS и DCON не проверяются: адрес программы больше 255.");
        return false;
    }
    Say("Перебор протоколов ModBUS-RTU, ModBUS-ASCII и DCON (команда возврата на АРВО, адрес " +
        std::to_string(address) + "):");
    Line line{setup_.settings, 0, setup_.echo, PROTOCOL_OWN};
    line.settings.addressLength = 8;
    for (const std::string& speed : GetDescriptor("bPS").items) {
        line.settings.baudRate = static_cast<unsigned>(std::atoi(speed.c_str()));
        for (const int protocol : {PROTOCOL_MODBUS_RTU, PROTOCOL_MODBUS_ASCII, PROTOCOL_DCON}) {
            line.protocol = protocol;
            const Reply reply = Try(
                line, [this, protocol] { return AskForeign(protocol); }, "команда возврата");
            if (reply.outcome == Outcome::Aborted) return false;
            if (reply.outcome != Outcome::Answer) continue;
            findings_.foreignProtocol = protocol;
            Say("Прибор был переключён на протокол " + ProtocolName(protocol) +
                ": команда возврата принята, он снова отвечает по протоколу АРВО.");
            Line own = line;
            own.protocol = PROTOCOL_OWN;
            if (Probe(own, address).outcome == Outcome::Answer) return Identify(address);
            own.settings.addressLength = 11;
            if (Probe(own, address).outcome == Outcome::Answer) return Identify(address);
            return false;
        }
    }
    return false;
}

std::optional<std::string> LinkDoctor::ReadText(std::string_view name, int address) {
    const Reply reply = Ask(name, address);
    if (reply.outcome != Outcome::Answer) return std::nullopt;
    Parameter p(name);
    if (p.ConvertFromData(reply.data.data(), reply.data.size(), false) != MyConverter::CONVERT_OK)
        return std::nullopt;
    return p.value;
}

bool LinkDoctor::Identify(int address) {
    if (address == kAnyModule) {
        if (const auto own = ReadText("Addr", kAnyModule); own && HasDigit(*own)) {
            address = std::atoi(own->c_str());
        }
    }
    line_.settings.baseAddress = address;
    findings_.answered = true;
    findings_.device = ReadText("dev", address).value_or("");
    findings_.version = ReadText("ver", address).value_or("");
    findings_.zep8 = IsZep8(findings_.device);
    Say("Ответил прибор \"" + findings_.device + "\"" +
        (findings_.version.empty() ? "" : ", версия ПО " + findings_.version) + ", адрес " +
        std::to_string(address) + ".");

    // The module's own view of its character format decides it: a line that
    // carries no parity (a pseudo-terminal) answers whatever the program set.
    PortSettings& s = line_.settings;
    if (const auto v = ReadText("LEn", address); v && HasDigit(*v))
        s.byteSize = std::atoi(v->c_str());
    if (const auto v = ReadText("Sbit", address); v && HasDigit(*v))
        s.stopBits = std::atoi(v->c_str());
    if (const auto v = ReadText("PrtY", address)) {
        const std::vector<std::string> items = GetDescriptor("PrtY").items;
        for (std::size_t i = 0; i < items.size() && i < std::size(kSchemes); ++i) {
            if (items[i] == *v) s.parityScheme = kSchemes[i];
        }
    }
    Say("Настройки прибора: " + std::to_string(s.baudRate) + " бит/с, " + Format(s) + ", адрес " +
        std::to_string(address) + " (" + std::to_string(s.addressLength) + " бит).");
    return true;
}

void LinkDoctor::ChooseConverter() {
    if (IsRemotePortName(line_.settings.name)) return;  // the server keys the line
    // A semi-automatic converter's keying also drives an automatic one, so the
    // program's own choice is kept whenever it works.
    if (line_.directionMode != setup_.directionMode) {
        Line own = line_;
        own.directionMode = setup_.directionMode;
        const Line found = line_;
        if (Probe(own, found.settings.baseAddress).outcome != Outcome::Answer) UseLine(found);
    }
    Say("Преобразователь: " + ConverterName(line_.directionMode) + ".");
}

std::uint32_t LinkDoctor::Verdict() {
    findings_.settings = line_.settings;
    findings_.settings.name = setup_.settings.name;
    findings_.directionMode = line_.directionMode;
    findings_.echo = line_.echo;
    if (findings_.zep8) {
        Say("Итог: прибор ЗЕП8 найден.");
        const PortSettings& now = setup_.settings;
        const PortSettings& found = findings_.settings;
        std::vector<std::string> changes;
        auto change = [&changes](bool differs, std::string what, std::string from, std::string to) {
            if (differs) changes.push_back("  " + what + ": " + from + " -> " + to);
        };
        change(now.baudRate != found.baudRate, "скорость", std::to_string(now.baudRate),
               std::to_string(found.baudRate));
        change(Format(now) != Format(found), "формат символа", Format(now), Format(found));
        change(now.addressLength != found.addressLength, "длина адреса",
               std::to_string(now.addressLength), std::to_string(found.addressLength));
        change(now.baseAddress != found.baseAddress, "адрес", std::to_string(now.baseAddress),
               std::to_string(found.baseAddress));
        change(setup_.directionMode != findings_.directionMode, "преобразователь",
               ConverterName(setup_.directionMode), ConverterName(findings_.directionMode));
        change(setup_.echo != findings_.echo, "эхо передатчика",
               setup_.echo ? "снимать" : "не снимать", findings_.echo ? "снимать" : "не снимать");
        if (changes.empty()) {
            Say("Настройки программы подходят: менять ничего не нужно.");
        } else {
            Say("Что изменить в настройках программы:");
            for (const std::string& line : changes) Say(line);
        }
        if (findings_.foreignProtocol != PROTOCOL_OWN) {
            Say("Прибор был оставлен на протоколе " + ProtocolName(findings_.foreignProtocol) +
                ": конфигуратор работает только по протоколу АРВО.");
        }
        return 0;
    }
    if (findings_.answered) {
        Say("Итог: на линии отвечает прибор" +
            (findings_.device.empty() ? std::string() : " \"" + findings_.device + "\"") +
            ", но это не ЗЕП8. Проверьте адрес: на линии может быть другой прибор.");
        return EXIT_NOT_ZEP8;
    }
    if (garbageSeen_) {
        Say("Итог: на линии есть ответы, но их не разобрать. Проверьте формат символа (длина "
            "слова, чётность, стоп-биты), провода A и B и согласующий резистор линии.");
        return EXIT_GARBAGE;
    }
    Say("Итог: прибор не отвечает ни на одной скорости, ни с одной длиной адреса, ни по одному "
        "адресу, ни по протоколам ModBUS и DCON. Проверьте питание прибора, провода A и B "
        "(попробуйте "
        "поменять их местами), питание и переключатели преобразователя.");
    return EXIT_TIMEOUT;
}

}  // namespace zep8
