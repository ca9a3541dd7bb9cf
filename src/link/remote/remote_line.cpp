#include "link/remote/remote_line.h"

#include <algorithm>
#include <functional>

#include "link/line/run_stop.h"
#include "link/remote/tls_trust.h"
#include "platform/event.h"
#include "platform/process_state.h"
#include "platform/text.h"

namespace zep8 {
namespace {

using Clock = std::chrono::steady_clock;

// RFC 2217's parity numbers: 1 none, 2 odd, 3 even, 4 mark, 5 space.
std::uint32_t ComPortParity(int scheme) {
    switch (scheme) {
        case SCHEME_ODD:
            return 2;
        case SCHEME_EVEN:
            return 3;
        case SCHEME_MARK:
            return 4;
        case SCHEME_SPACE:
            return 5;
        default:
            return 1;
    }
}

}  // namespace

namespace {

// The scheme of a server's line name ("tcp", "rfc2217", each also "+tls"), and
// what follows "://"; nothing when the name is not written as one.
std::optional<std::pair<RemoteAddress, std::string_view>> SplitScheme(std::string_view name) {
    RemoteAddress address;
    const std::size_t schemeEnd = name.find("://");
    if (schemeEnd == std::string_view::npos) return std::nullopt;
    std::string_view scheme = name.substr(0, schemeEnd);
    constexpr std::string_view kTls = "+tls";
    if (scheme.size() > kTls.size() &&
        EqualsIgnoreCase(scheme.substr(scheme.size() - kTls.size()), kTls)) {
        address.tls = true;
        scheme.remove_suffix(kTls.size());
    }
    if (EqualsIgnoreCase(scheme, "tcp")) {
        address.rfc2217 = false;
    } else if (EqualsIgnoreCase(scheme, "rfc2217")) {
        address.rfc2217 = true;
    } else {
        return std::nullopt;
    }
    return std::make_pair(address, name.substr(schemeEnd + 3));
}

// A TCP port is 1-65535; the resolver would take a larger number modulo
// 65536 and connect somewhere else.
std::optional<int> TcpPortNumber(std::string_view digits) {
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const std::size_t first = std::min(digits.find_first_not_of('0'), digits.size());
    const std::string_view significant = digits.substr(first);
    if (significant.size() > 5) return std::nullopt;
    const int number = significant.empty() ? 0 : std::stoi(std::string(significant));
    if (number < 1 || number > 65535) return std::nullopt;
    return number;
}

}  // namespace

std::optional<RemoteAddress> ParseRemotePortName(std::string_view name) {
    auto split = SplitScheme(name);
    if (!split) return std::nullopt;
    auto& [address, rest] = *split;
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == rest.size()) {
        return std::nullopt;
    }
    std::string_view host = rest.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {  // [::1]
        host = host.substr(1, host.size() - 2);
    }
    const std::optional<int> port = TcpPortNumber(rest.substr(colon + 1));
    if (!port) return std::nullopt;
    address.host = std::string(host);
    address.port = std::to_string(*port);
    return address;
}

bool LooksLikeRemotePortName(std::string_view name) {
    return SplitScheme(name).has_value();
}

std::string RemotePortNameFault(std::string_view name) {
    const auto split = SplitScheme(name);
    if (!split || ParseRemotePortName(name)) return {};
    const std::string_view rest = split->second;
    const std::size_t colon = rest.rfind(':');
    const std::string_view port =
        colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (colon == std::string_view::npos || colon == 0 || port.empty()) {
        return "В имени порта " + std::string(name) +
               " нет сервера или номера его порта: пишется СЕРВЕР:ПОРТ, например "
               "tcp://192.168.0.7:4001.";
    }
    return "Номер порта сервера в " + std::string(name) + " должен быть числом от 1 до 65535.";
}

std::string RemoteAddress::Server() const {
    return host + ":" + port;
}

RemoteLine::~RemoteLine() {
    if (conn_) RemoteConnections::Park(std::move(conn_));
}

std::string RemoteLine::Where() const {
    return address_.Server();
}

std::chrono::microseconds RemoteLine::RoundTrip() const {
    return conn_ ? conn_->roundTrip : std::chrono::microseconds{0};
}

std::optional<TlsFacts> RemoteLine::Security() const {
    if (!conn_ || !conn_->tls) return std::nullopt;
    return conn_->tls->Facts();
}

int RemoteLine::Refuse(int result, std::string reason) {
    failure_ = std::move(reason);
    conn_.reset();
    return result;
}

int RemoteLine::LineGone(std::string reason) {
    Refuse(0, std::move(reason));
    return TRANSFER_LINE_GONE;
}

int RemoteLine::Misbehaved(const std::string& what) {
    misbehaved_ = true;
    LineGone("Сервер " + Where() + " " + what + ": связь с прибором потеряна.");
    // Asked again at once, it would only do it again: the jobs' and polls'
    // next exchanges get the reason until the back-off has passed.
    backOff_ = std::clamp(backOff_ * 2, kFirstBackOff, kBackOffLimit);
    RememberFailure(key_, backOff_);
    return TRANSFER_LINE_GONE;
}

bool RemoteLine::InBackOff(const std::string& key) {
    if (key != failedKey_) {
        failedKey_.clear();
        backOff_ = std::chrono::milliseconds{0};
        return false;
    }
    return Clock::now() < retryAt_;
}

void RemoteLine::RememberFailure(const std::string& key, std::chrono::milliseconds wait) {
    if (owner_.stopEvent.isSet() || RunStop::Stopped()) return;  // a stop is no verdict on the server
    failedKey_ = key;
    failedReason_ = failure_;
    retryAt_ = Clock::now() + wait;
}

int RemoteLine::Open() {
    trustAsked_ = false;
    trustGiven_ = false;
    const int opened = OpenOnce();
    if (!trustGiven_) return opened;
    // The operator has just trusted the server's certificate: once more, pinned.
    trustGiven_ = false;
    return OpenOnce();
}

int RemoteLine::OpenOnce() {
    if (conn_) Close();
    failure_.clear();
    timings_ = LineTimings{};
    const PortSettings s = owner_.settings;
    const std::optional<RemoteAddress> address = ParseRemotePortName(s.name);
    if (!address) return Refuse(OPEN_CANNOT_OPEN, RemotePortNameFault(s.name));
    address_ = *address;
    if (auto refused = RefuseSettings(s, false)) return Refuse(refused->result, refused->reason);
    if (address_.tls) {
        if (std::string missing = TlsChannel::Unavailable(Where()); !missing.empty())
            return Refuse(OPEN_CANNOT_OPEN, std::move(missing));
    }
    protocolMode_ = processState().ProtocolMode.load();
    timings_ =
        ComputeLineTimings(s.baudRate, HasParity(s), s.stopBits == 2, protocolMode_);
    tlsSettings_ =
        address_.tls ? WithSessionTrust(TlsSettingsFor(Where()), Where()) : TlsSettings{};
    const std::string key = FoldCase(s.name) + '\n' + tlsSettings_.Identity();
    // A server that could not be reached (or whose certificate was refused)
    // just now would only fail again: while a line is gone, the jobs' and
    // the polls' exchanges do not each wait out a connection under the lock.
    if (InBackOff(key)) return Refuse(OPEN_CANNOT_OPEN, failedReason_);
    key_ = key;
    until_ = Clock::now() + kOpenLimit;
    misbehaved_ = false;
    if (Resume(RemoteConnections::Take(key))) {
        return address_.rfc2217 ? ApplySettings(std::min(Clock::now() + kConnectTimeout, until_))
                                : OPEN_OK;
    }
    for (int attempt = 1;; ++attempt) {
        if (const int connected = Connect(*address, key); connected != OPEN_OK) return connected;
        if (!address_.rfc2217) return OPEN_OK;
        const int negotiated = Negotiate();
        // A server still letting the last client go turns the next one away
        // at once; one that broke a rule is not asked again in this Open.
        if (negotiated != OPEN_CANNOT_OPEN || attempt == 3 || misbehaved_) return negotiated;
        const auto pause = std::min(Clock::now() + std::chrono::milliseconds(100), until_);
        if (WaitOnLine(owner_.stopEvent, Event::Remaining(pause)) == 0) return negotiated;
    }
}

// A parked connection serves again unless the server has closed it meanwhile;
// what it sent in between (a late reply, a line state notice) is dropped.
bool RemoteLine::Resume(std::unique_ptr<RemoteConnection> parked) {
    if (!parked) return false;
    conn_ = std::move(parked);
    if (Drain() == TRANSFER_OK) return true;
    conn_.reset();
    failure_.clear();
    return false;
}

int RemoteLine::Drain() {
    std::size_t drained = 0;
    for (;;) {
        std::string stale;
        bool timedOut = false;
        if (const int r = ReadSome(Clock::now(), stale, timedOut); r != 0) return r;
        if (timedOut) return TRANSFER_OK;
        drained += lastRead_;
        if (drained > kDrainLimit) return Misbehaved("шлёт данные без остановки");
    }
}

int RemoteLine::Connect(const RemoteAddress& address, const std::string& key) {
    TcpSocket socket;
    Clock::time_point started;
    std::string failure;
    if (!socket.Connect(address.host, address.port, Where(), owner_.stopEvent,
                        std::min(kConnectTimeout, Event::Remaining(until_)), started, failure)) {
        Refuse(OPEN_CANNOT_OPEN, std::move(failure));
        backOff_ = std::clamp(backOff_ * 2, kFirstBackOff, kBackOffLimit);
        RememberFailure(key, backOff_);
        return OPEN_CANNOT_OPEN;
    }
    const auto deadline = std::min(started + kConnectTimeout, until_);
    const auto fd = static_cast<int>(socket.Native());
    RemoteConnections::CountMade();
    conn_ = std::make_unique<RemoteConnection>(std::move(socket), key);
    conn_->roundTrip = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    if (!address.tls) return OPEN_OK;
    // Nothing of the line goes out before the server's certificate is accepted.
    auto tls = std::make_unique<TlsChannel>();
    if (!tls->Handshake(fd, address.host, Where(), tlsSettings_, owner_.stopEvent, deadline,
                        failure)) {
        Refuse(OPEN_CANNOT_OPEN, std::move(failure));
        if (AskedToTrust(*tls)) return OPEN_CANNOT_OPEN;
        RememberFailure(key, kRefusalMemory);
        return OPEN_CANNOT_OPEN;
    }
    conn_->tls = std::move(tls);
    return OPEN_OK;
}

// A certificate no authority vouches for goes to the operator (the window
// asks; nobody does in the terminal): trusted, the Open goes again with it.
bool RemoteLine::AskedToTrust(const TlsChannel& tls) {
    const std::optional<CertificateFacts> unknown = tls.UntrustedCertificate();
    if (!unknown || trustAsked_ || owner_.stopEvent.isSet() || RunStop::Stopped()) return false;
    trustAsked_ = true;
    trustGiven_ = AskTrust(*unknown) != TrustAnswer::Refuse;
    return trustGiven_;
}

// COM Port Control first, then the port's settings: a subnegotiation counts
// only once the server has agreed to the option.
int RemoteLine::Negotiate() {
    const auto deadline = std::min(Clock::now() + kConnectTimeout, until_);
    if (const int agreed = AgreeComPort(deadline); agreed != OPEN_OK) return agreed;
    return ApplySettings(deadline);
}

// Takes what the server sends until `heard` says enough or the deadline
// passes (OPEN_OK either way); a lost or stopped connection fails the Open.
int RemoteLine::HearServer(Clock::time_point deadline, const std::function<bool()>& heard) {
    while (!heard() && Clock::now() < deadline) {
        std::string ignored;
        bool timedOut = false;
        if (const int r = ReadSome(deadline, ignored, timedOut); r != 0) {
            return r == TRANSFER_ABORTED
                       ? Refuse(OPEN_CANNOT_OPEN, "Соединение с сервером " + Where() + " прервано.")
                       : OPEN_CANNOT_OPEN;
        }
        if (timedOut) break;
    }
    return OPEN_OK;
}

int RemoteLine::AgreeComPort(Clock::time_point deadline) {
    TelnetStream& telnet = conn_->telnet;
    telnet = TelnetStream{};
    if (SendAll(telnet.Greeting()) != TRANSFER_OK) return OPEN_CANNOT_OPEN;
    const int heard =
        HearServer(deadline, [&] { return telnet.ComPortAgreed() || telnet.ComPortRefused(); });
    if (heard != OPEN_OK) return heard;
    if (telnet.ComPortRefused()) {
        return Refuse(OPEN_SETTINGS_REFUSED,
                      "Сервер " + Where() +
                          " отказался управлять портом по RFC 2217: это линия в режиме raw, "
                          "её имя порта " + std::string(address_.tls ? "tcp+tls://" : "tcp://") +
                          Where() + ".");
    }
    if (!telnet.ComPortAgreed()) {
        return Refuse(OPEN_SETTINGS_REFUSED,
                      "Сервер " + Where() +
                          " не управляет портом по RFC 2217: настройки порта не переданы "
                          "(для сервера в режиме raw имя порта tcp://).");
    }
    return OPEN_OK;
}

// Sets the server's port as the settings say, unless it already is so.
int RemoteLine::ApplySettings(Clock::time_point deadline) {
    const PortSettings s = owner_.settings;
    const std::optional<PortSettings>& was = conn_->confirmed;
    if (was && was->baudRate == s.baudRate && was->byteSize == s.byteSize &&
        was->parityScheme == s.parityScheme && was->stopBits == s.stopBits) {
        return OPEN_OK;
    }
    conn_->confirmed.reset();
    TelnetStream& telnet = conn_->telnet;
    telnet.ForgetAnswers();
    using C = TelnetStream::Command;
    const std::pair<C, std::uint32_t> wanted[] = {
        {TelnetStream::SET_BAUDRATE, s.baudRate},
        {TelnetStream::SET_DATASIZE, static_cast<std::uint32_t>(s.byteSize)},
        {TelnetStream::SET_PARITY, ComPortParity(s.parityScheme)},
        {TelnetStream::SET_STOPSIZE, static_cast<std::uint32_t>(s.stopBits)}};
    std::string request;
    for (const auto& [command, value] : wanted) request += TelnetStream::Request(command, value);
    request += TelnetStream::Request(TelnetStream::SET_CONTROL, 1);  // no flow control
    const auto sent = Clock::now();
    bool firstSettings = !conn_->settingsSent;
    conn_->settingsSent = true;
    if (SendAll(request) != TRANSFER_OK) return OPEN_CANNOT_OPEN;
    auto answered = [&] {
        return std::all_of(std::begin(wanted), std::end(wanted),
                           [&](const auto& w) { return telnet.Answer(w.first).has_value(); });
    };
    const int heard = HearServer(deadline, [&] {
        // The server's own time to answer belongs to the network's share of a reply wait.
        if (firstSettings && telnet.Answer(TelnetStream::SET_BAUDRATE)) {
            conn_->roundTrip = std::max(conn_->roundTrip,
                                        std::chrono::duration_cast<std::chrono::microseconds>(
                                            Clock::now() - sent));
            firstSettings = false;
        }
        return answered() || telnet.ComPortRefused();
    });
    if (heard != OPEN_OK) return heard;
    const std::string head = "Сервер " + Where();
    if (telnet.ComPortRefused() || !answered()) {
        return Refuse(OPEN_SETTINGS_REFUSED,
                      head + " не ответил на настройки порта (RFC 2217) за " +
                          std::to_string(kConnectTimeout.count() / 1000) + " с.");
    }
    const char* names[] = {"", "скорость", "длину слова данных", "контроль четности",
                           "число стоп-бит"};
    for (const auto& [command, value] : wanted) {
        if (*telnet.Answer(command) != value) {
            return Refuse(OPEN_SETTINGS_REFUSED,
                          head + " не принимает " + names[command] + " " + std::to_string(value) +
                              " (ответил " + std::to_string(*telnet.Answer(command)) + ").");
        }
    }
    conn_->confirmed = s;
    return OPEN_OK;
}

int RemoteLine::Close() {
    if (!conn_) return -2;
    RemoteConnections::Park(std::move(conn_));
    return 0;
}

void RemoteLine::Disconnect() {
    if (!conn_) return;
    conn_->CloseGracefully(&owner_.stopEvent);
    conn_.reset();
}

int RemoteLine::SendAll(std::string_view bytes) {
    const auto deadline = std::min(Clock::now() + kSendLimit, until_);
    const int sent = conn_->Send(bytes, owner_.stopEvent, deadline);
    if (sent == RemoteConnection::kStopped) return TRANSFER_ABORTED;
    if (sent == RemoteConnection::kStalled) return Misbehaved("не принимает данные");
    if (sent != 0) {
        return LineGone("Связь с сервером " + Where() + " оборвалась (" + conn_->BrokenReason() +
                        "): связь с прибором потеряна.");
    }
    return TRANSFER_OK;
}

int RemoteLine::ReadSome(Clock::time_point deadline, std::string& data, bool& timedOut) {
    lastRead_ = 0;
    if (!conn_->Pending()) {
        const TcpSocket::Wake woke =
            conn_->WaitReadable(owner_.stopEvent, std::min(deadline, until_));
        if (woke == TcpSocket::Wake::Stopped) return TRANSFER_ABORTED;
        if (woke == TcpSocket::Wake::TimedOut) {
            timedOut = true;
            return 0;
        }
    }
    char buffer[512];
    const int n = conn_->Receive(buffer, sizeof buffer);
    if (n == RemoteConnection::kNothing) return 0;
    if (n == RemoteConnection::kClosed)
        return LineGone("Сервер " + Where() + " закрыл соединение: связь с прибором потеряна.");
    if (n < 0) {
        return LineGone("Связь с сервером " + Where() + " оборвалась (" + conn_->BrokenReason() +
                        "): связь с прибором потеряна.");
    }
    lastRead_ = static_cast<std::size_t>(n);
    const std::string_view received(buffer, lastRead_);
    if (!address_.rfc2217) {
        data.append(received);
        return 0;
    }
    std::string answer;
    conn_->telnet.Feed(received, data, answer);
    if (conn_->telnet.Overflowed()) return Misbehaved("шлёт согласование Telnet без конца");
    return answer.empty() ? 0 : SendAll(answer);
}

int RemoteLine::Receive(std::string& reply, std::size_t echoLength) {
    const bool rtu = protocolMode_ == PROTOCOL_MODBUS_RTU;
    const int network =
        static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(conn_->roundTrip).count());
    auto deadline =
        Clock::now() + std::chrono::milliseconds(owner_.ReplyWait(timings_.replyTimeout) + network);
    std::size_t heard = 0;
    for (;;) {
        // Still sending when the longest reply would long have ended, or
        // far more than any reply holds.
        if (Clock::now() >= until_ || heard > kDrainLimit)
            return Misbehaved("шлёт данные без остановки");
        std::string received;
        bool timedOut = false;
        if (const int r = ReadSome(deadline, received, timedOut); r != 0) return r;
        heard += lastRead_;
        if (timedOut) return (rtu && !reply.empty()) ? TRANSFER_OK : TRANSFER_TIMEOUT;
        const ReplyBytes taken = TakeReplyBytes(received, echoLength, reply);
        if (rtu && taken != ReplyBytes::None) {
            // The server may hand on a reply in pieces: its gap is not the line's.
            deadline = Clock::now() + std::chrono::milliseconds(timings_.rtuSilence + network + 2);
        } else if (taken == ReplyBytes::Ended) {
            return TRANSFER_OK;
        } else if (!rtu && Clock::now() >= deadline) {
            return TRANSFER_TIMEOUT;  // bytes without end, never a whole reply
        }
    }
}

std::chrono::milliseconds RemoteLine::TransferLimit() const {
    const auto network = std::chrono::ceil<std::chrono::milliseconds>(conn_->roundTrip);
    // The longest reply of any protocol (a ModBus frame of 256 bytes) at the
    // line's speed, with room for the server's own pauses between its pieces.
    const auto longestReply =
        std::chrono::milliseconds(static_cast<int>(256 * timings_.characterTime) + 1000);
    return kSendLimit + std::chrono::milliseconds(owner_.ReplyWait(timings_.replyTimeout)) +
           network + longestReply;
}

int RemoteLine::Transfer(std::string_view frame, std::string& reply) {
    reply.clear();
    const bool openedHere = !conn_;
    if (openedHere && Open() != OPEN_OK) return TRANSFER_LINE_GONE;
    until_ = Clock::now() + TransferLimit();
    // What came after the last reply (a late answer) is not this one's.
    if (const int r = Drain(); r != TRANSFER_OK) return r;
    int result = SendAll(address_.rfc2217 ? TelnetStream::Escape(frame) : std::string(frame));
    if (result == TRANSFER_OK) {
        result = Receive(reply, owner_.echoSuppression ? frame.size() : 0);
    }
    if (result == TRANSFER_OK) backOff_ = std::chrono::milliseconds{0};  // a sound server again
    if (openedHere) Close();
    return result;
}

}  // namespace zep8
