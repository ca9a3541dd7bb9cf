#include "link/remote_line.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/event.h"
#include "platform/process_state.h"
#include "platform/system_error_text.h"
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

bool HasParity(int scheme) {
    return scheme != SCHEME_NONE && scheme != SCHEME_NONE_0;
}

std::string BrokenText(int error) {
    if (error == ECONNRESET || error == EPIPE) return "сервер сбросил соединение";
    return SystemErrorText(error);
}

std::string ResolveFailure(int error) {
    switch (error) {
        case EAI_NONAME:
        case EAI_NODATA:
            return "такого имени в сети нет";
        case EAI_AGAIN:
            return "служба имён сейчас не отвечает";
        case EAI_SERVICE:
            return "номер порта неверен";
        default:
            return "адрес не определяется";
    }
}

}  // namespace

std::optional<RemoteAddress> ParseRemotePortName(std::string_view name) {
    RemoteAddress address;
    const std::size_t schemeEnd = name.find("://");
    if (schemeEnd == std::string_view::npos) return std::nullopt;
    const std::string_view scheme = name.substr(0, schemeEnd);
    if (EqualsIgnoreCase(scheme, "tcp")) {
        address.rfc2217 = false;
    } else if (EqualsIgnoreCase(scheme, "rfc2217")) {
        address.rfc2217 = true;
    } else {
        return std::nullopt;
    }
    const std::string_view rest = name.substr(schemeEnd + 3);
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == rest.size()) {
        return std::nullopt;
    }
    std::string_view host = rest.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {  // [::1]
        host = host.substr(1, host.size() - 2);
    }
    address.host = std::string(host);
    address.port = std::string(rest.substr(colon + 1));
    if (address.port.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    return address;
}

RemoteLine::~RemoteLine() {
    if (fd_ >= 0) ::close(fd_);
}

std::string RemoteLine::Where() const {
    return address_.host + ":" + address_.port;
}

int RemoteLine::Refuse(int result, std::string reason) {
    failure_ = std::move(reason);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    return result;
}

int RemoteLine::LineGone(std::string reason) {
    Refuse(0, std::move(reason));
    return TRANSFER_LINE_GONE;
}

int RemoteLine::Open() {
    Refuse(OPEN_OK, {});
    timings_ = LineTimings{};
    roundTrip_ = {};
    const PortSettings s = owner_.settings;
    const std::optional<RemoteAddress> address = ParseRemotePortName(s.name);
    if (!address) return Refuse(OPEN_CANNOT_OPEN, "Имя порта " + s.name + " не понято.");
    address_ = *address;
    if (s.parityScheme < SCHEME_NONE_0 || s.parityScheme > SCHEME_SPACE) {
        return Refuse(OPEN_UNSUPPORTED, "Схема контроля четности " +
                                            std::to_string(s.parityScheme) + " не поддерживается.");
    }
    if (s.byteSize < 5 || s.byteSize > 8) {
        return Refuse(OPEN_BAD_BYTE_SIZE, "Длина слова данных " + std::to_string(s.byteSize) +
                                              " бит не поддерживается.");
    }
    if (s.stopBits != 1 && s.stopBits != 2) {
        return Refuse(OPEN_UNSUPPORTED,
                      "Число стоп-бит " + std::to_string(s.stopBits) + " не поддерживается.");
    }
    protocolMode_ = processState().ProtocolMode.load();
    timings_ =
        ComputeLineTimings(s.baudRate, HasParity(s.parityScheme), s.stopBits == 2, protocolMode_);
    for (int attempt = 1;; ++attempt) {
        if (const int connected = Connect(*address); connected != OPEN_OK) return connected;
        if (!address_.rfc2217) return OPEN_OK;
        const int negotiated = Negotiate();
        // A server still letting the last client go turns the next one away at once.
        if (negotiated != OPEN_CANNOT_OPEN || attempt == 3) return negotiated;
        if (owner_.stopEvent.wait(std::chrono::milliseconds(100))) return negotiated;
    }
}

int RemoteLine::Connect(const RemoteAddress& address) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int error = getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &found);
        error != 0) {
        return Refuse(OPEN_CANNOT_OPEN,
                      "Сервер " + address.host + " не найден: " + ResolveFailure(error) + ".");
    }
    const auto started = Clock::now();
    const auto deadline = started + kConnectTimeout;
    int error = ETIMEDOUT;
    for (addrinfo* a = found; a && fd_ < 0; a = a->ai_next) {
        fd_ = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd_ < 0) continue;
        if (::connect(fd_, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
            error = errno;
        } else {
            const int woke = Event::waitAny({&owner_.stopEvent}, Event::Remaining(deadline), fd_,
                                            Event::kWritable);
            socklen_t length = sizeof error;
            if (woke == 0) {
                freeaddrinfo(found);
                return Refuse(OPEN_CANNOT_OPEN, "Соединение с сервером " + Where() + " прервано.");
            }
            error = ETIMEDOUT;
            if (woke != Event::kTimedOut) getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length);
            if (error == 0) break;
        }
        ::close(fd_);
        fd_ = -1;
    }
    freeaddrinfo(found);
    if (fd_ < 0) {
        if (error == ECONNREFUSED) {
            return Refuse(OPEN_CANNOT_OPEN, "Сервер " + Where() +
                                                " отказал в соединении: на этом порту никто "
                                                "не ждёт (сервер портов не запущен?).");
        }
        if (error == ETIMEDOUT) {
            return Refuse(OPEN_CANNOT_OPEN,
                          "Сервер " + Where() + " не отвечает: соединения нет за " +
                              std::to_string(kConnectTimeout.count() / 1000) + " с.");
        }
        return Refuse(OPEN_CANNOT_OPEN,
                      "Нет соединения с сервером " + Where() + ": " + SystemErrorText(error) + ".");
    }
    roundTrip_ = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    const int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return OPEN_OK;
}

// Sets the server's port as the settings say and waits for its answers.
int RemoteLine::Negotiate() {
    const PortSettings s = owner_.settings;
    telnet_ = TelnetStream{};
    using C = TelnetStream::Command;
    const std::pair<C, std::uint32_t> wanted[] = {
        {TelnetStream::SET_BAUDRATE, s.baudRate},
        {TelnetStream::SET_DATASIZE, static_cast<std::uint32_t>(s.byteSize)},
        {TelnetStream::SET_PARITY, ComPortParity(s.parityScheme)},
        {TelnetStream::SET_STOPSIZE, static_cast<std::uint32_t>(s.stopBits)}};
    std::string request = telnet_.Greeting();
    for (const auto& [command, value] : wanted) request += TelnetStream::Request(command, value);
    request += TelnetStream::Request(TelnetStream::SET_CONTROL, 1);  // no flow control
    const auto sent = Clock::now();
    if (SendAll(request) != TRANSFER_OK) return OPEN_CANNOT_OPEN;
    const auto deadline = sent + kConnectTimeout;
    bool firstAnswer = true;
    auto answered = [&] {
        return std::all_of(std::begin(wanted), std::end(wanted),
                           [&](const auto& w) { return telnet_.Answer(w.first).has_value(); });
    };
    while (!answered() && !telnet_.ComPortRefused()) {
        std::string ignored;
        bool timedOut = false;
        if (const int r = ReadSome(deadline, ignored, timedOut); r != 0) {
            return r == TRANSFER_ABORTED
                       ? Refuse(OPEN_CANNOT_OPEN, "Соединение с сервером " + Where() + " прервано.")
                       : OPEN_CANNOT_OPEN;
        }
        if (timedOut) break;
        if (firstAnswer && telnet_.Answer(TelnetStream::SET_BAUDRATE)) {
            roundTrip_ = std::max(roundTrip_, std::chrono::duration_cast<std::chrono::microseconds>(
                                                  Clock::now() - sent));
            firstAnswer = false;
        }
    }
    const std::string head = "Сервер " + Where();
    if (telnet_.ComPortRefused() || !answered()) {
        return Refuse(OPEN_SETTINGS_REFUSED,
                      head +
                          " не управляет портом по RFC 2217: настройки порта не переданы "
                          "(для сервера в режиме raw имя порта tcp://).");
    }
    const char* names[] = {"", "скорость", "длину слова данных", "контроль четности",
                           "число стоп-бит"};
    for (const auto& [command, value] : wanted) {
        if (*telnet_.Answer(command) != value) {
            return Refuse(OPEN_SETTINGS_REFUSED,
                          head + " не принимает " + names[command] + " " + std::to_string(value) +
                              " (ответил " + std::to_string(*telnet_.Answer(command)) + ").");
        }
    }
    return OPEN_OK;
}

int RemoteLine::Close() {
    if (fd_ < 0) return -2;
    // The server lets the device go only when it sees the end: a connection
    // made before that (the next job) would be turned away.
    ::shutdown(fd_, SHUT_WR);
    const auto deadline = Clock::now() + kCloseWait;
    for (;;) {
        if (Event::waitAny({&owner_.stopEvent}, Event::Remaining(deadline), fd_) != 1) break;
        char buffer[256];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) break;
    }
    ::close(fd_);
    fd_ = -1;
    return 0;
}

int RemoteLine::SendAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            return LineGone("Связь с сервером " + Where() + " оборвалась (" + BrokenText(errno) +
                            "): связь с прибором потеряна.");
        }
        if (Event::waitAny({&owner_.stopEvent}, Event::kInfinite, fd_, Event::kWritable) == 0) {
            return TRANSFER_ABORTED;
        }
    }
    return TRANSFER_OK;
}

int RemoteLine::ReadSome(Clock::time_point deadline, std::string& data, bool& timedOut) {
    const int woke = Event::waitAny({&owner_.stopEvent}, Event::Remaining(deadline), fd_);
    if (woke == 0) return TRANSFER_ABORTED;
    if (woke == Event::kTimedOut) {
        timedOut = true;
        return 0;
    }
    char buffer[512];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return 0;
    if (n == 0)
        return LineGone("Сервер " + Where() + " закрыл соединение: связь с прибором потеряна.");
    if (n < 0) {
        return LineGone("Связь с сервером " + Where() + " оборвалась (" + BrokenText(errno) +
                        "): связь с прибором потеряна.");
    }
    const std::string_view received(buffer, static_cast<std::size_t>(n));
    if (!address_.rfc2217) {
        data.append(received);
        return 0;
    }
    std::string answer;
    telnet_.Feed(received, data, answer);
    return answer.empty() ? 0 : SendAll(answer);
}

int RemoteLine::Receive(std::string& reply, std::size_t echoLength) {
    const bool rtu = protocolMode_ == PROTOCOL_MODBUS_RTU;
    const int network =
        static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(roundTrip_).count());
    auto deadline =
        Clock::now() + std::chrono::milliseconds(owner_.ReplyWait(timings_.replyTimeout) + network);
    for (;;) {
        std::string received;
        bool timedOut = false;
        if (const int r = ReadSome(deadline, received, timedOut); r != 0) return r;
        if (timedOut) return (rtu && !reply.empty()) ? TRANSFER_OK : TRANSFER_TIMEOUT;
        const ReplyBytes taken = TakeReplyBytes(received, echoLength, reply);
        if (taken == ReplyBytes::None) continue;
        if (rtu) {
            // The server may hand on a reply in pieces: its gap is not the line's.
            deadline = Clock::now() + std::chrono::milliseconds(timings_.rtuSilence + network + 2);
        } else if (taken == ReplyBytes::Ended) {
            return TRANSFER_OK;
        }
    }
}

int RemoteLine::Transfer(std::string_view frame, std::string& reply) {
    reply.clear();
    const bool openedHere = fd_ < 0;
    if (openedHere && Open() != OPEN_OK) return TRANSFER_LINE_GONE;
    // What came after the last reply (a late answer) is not this one's.
    for (;;) {
        std::string stale;
        bool timedOut = false;
        if (const int r = ReadSome(Clock::now(), stale, timedOut); r != 0) return r;
        if (timedOut) break;
    }
    int result = SendAll(address_.rfc2217 ? TelnetStream::Escape(frame) : std::string(frame));
    if (result == TRANSFER_OK) {
        result = Receive(reply, owner_.echoSuppression ? frame.size() : 0);
    }
    if (openedHere) Close();
    return result;
}

}  // namespace zep8
