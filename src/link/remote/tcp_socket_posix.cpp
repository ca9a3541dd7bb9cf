#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "link/line/run_stop.h"
#include "link/remote/tcp_socket.h"
#include "platform/system_error_text.h"

namespace zep8 {
namespace {

using Clock = std::chrono::steady_clock;
using tcp_texts::ConnectFault;
using tcp_texts::NameFault;

NameFault ResolveFault(int error) {
    switch (error) {
        case EAI_NONAME:
        case EAI_NODATA:
            return NameFault::NoSuchName;
        case EAI_AGAIN:
            return NameFault::ServiceDown;
        case EAI_SERVICE:
            return NameFault::BadPort;
        default:
            return NameFault::Other;
    }
}

ConnectFault ConnectFaultOf(int error) {
    if (error == ECONNREFUSED) return ConnectFault::Refused;
    if (error == ETIMEDOUT) return ConnectFault::TimedOut;
    return ConnectFault::Other;
}

TcpSocket::Wake WaitFor(int fd, short what, Event& stop, std::chrono::milliseconds timeout) {
    const int woke = WaitOnLine(stop, timeout, fd, what);
    if (woke == 0) return TcpSocket::Wake::Stopped;
    return woke == Event::kTimedOut ? TcpSocket::Wake::TimedOut : TcpSocket::Wake::Ready;
}

}  // namespace

void AcknowledgeAtOnce(int fd) {
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

std::string SocketErrorText(int error) {
    if (error == ECONNRESET || error == EPIPE) return "сервер сбросил соединение";
    return SystemErrorText(error);
}

TcpSocket::~TcpSocket() {
    Close();
}

void TcpSocket::Close() {
    if (handle_ != kNone) ::close(static_cast<int>(handle_));
    handle_ = kNone;
}

bool TcpSocket::Connect(const std::string& host, const std::string& port, const std::string& where,
                        Event& stop, std::chrono::milliseconds timeout, Clock::time_point& started,
                        std::string& failure) {
    Close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int error = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); error != 0) {
        failure = tcp_texts::HostNotFound(host, ResolveFault(error));
        return false;
    }
    started = Clock::now();
    const auto deadline = started + timeout;
    int error = ETIMEDOUT;
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
            error = errno;
        } else {
            const Wake woke = WaitFor(fd, Event::kWritable, stop, Event::Remaining(deadline));
            if (woke == Wake::Stopped) {
                freeaddrinfo(found);
                ::close(fd);
                failure = tcp_texts::Interrupted(where);
                return false;
            }
            error = ETIMEDOUT;
            socklen_t length = sizeof error;
            if (woke == Wake::Ready) getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
            if (error == 0) break;
        }
        ::close(fd);
        fd = -1;
    }
    freeaddrinfo(found);
    if (fd < 0) {
        failure = tcp_texts::NotConnected(where, ConnectFaultOf(error), timeout,
                                          SystemErrorText(error));
        return false;
    }
    handle_ = fd;
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return true;
}

int TcpSocket::Send(std::string_view bytes, Event& stop, Clock::time_point deadline) {
    const int fd = static_cast<int>(handle_);
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            broken_ = SocketErrorText(errno);
            return kBroken;
        }
        const Wake woke = WaitFor(fd, Event::kWritable, stop, Event::Remaining(deadline));
        if (woke == Wake::Stopped) return kStopped;
        if (woke == Wake::TimedOut) return kStalled;
    }
    return 0;
}

int TcpSocket::Receive(char* buffer, std::size_t size) {
    const int fd = static_cast<int>(handle_);
    const ssize_t n = ::recv(fd, buffer, size, 0);
    AcknowledgeAtOnce(fd);
    if (n > 0) return static_cast<int>(n);
    if (n == 0) return kClosed;
    if (errno == EINTR || errno == EAGAIN) return kNothing;
    broken_ = SocketErrorText(errno);
    return kBroken;
}

TcpSocket::Wake TcpSocket::WaitReadable(Event& stop, Clock::time_point deadline) {
    return WaitFor(static_cast<int>(handle_), Event::kReadable, stop, Event::Remaining(deadline));
}

TcpSocket::Wake TcpSocket::WaitWritable(Event& stop, Clock::time_point deadline) {
    return WaitFor(static_cast<int>(handle_), Event::kWritable, stop, Event::Remaining(deadline));
}

void TcpSocket::CloseGracefully(Event* stop, std::chrono::milliseconds wait) {
    if (handle_ == kNone) return;
    const int fd = static_cast<int>(handle_);
    ::shutdown(fd, SHUT_WR);
    Event never(Event::Reset::Manual);
    Event& wake = stop ? *stop : never;
    const auto deadline = Clock::now() + wait;
    while (WaitReadable(wake, deadline) == Wake::Ready) {
        char buffer[256];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) break;
    }
    Close();
}

}  // namespace zep8
