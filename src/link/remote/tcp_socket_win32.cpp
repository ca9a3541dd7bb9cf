// Winsock: every socket has a WSA event that its news (connected, data,
// room to send, closed) set, and a wait takes that event with the stop event.
// The news are edges, re-armed only by the next recv or send: a wait therefore
// clears the event first and then asks the socket's state (select, no wait),
// so that data already there is never waited for and data that comes later
// always wakes it.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#include <windows.h>

#include <algorithm>

#include "link/line/run_stop.h"
#include "link/remote/tcp_socket.h"
#include "platform/system_error_text.h"

namespace zep8 {
namespace {

using Clock = std::chrono::steady_clock;
using tcp_texts::ConnectFault;
using tcp_texts::NameFault;

// 0 once Winsock is started for the process (it stays for the run), else its error.
int WinsockStarted() {
    static const int error = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return error;
}

NameFault ResolveFault(int error) {
    switch (error) {
        case WSAHOST_NOT_FOUND:
        case WSANO_DATA:
            return NameFault::NoSuchName;
        case WSATRY_AGAIN:
            return NameFault::ServiceDown;
        case WSATYPE_NOT_FOUND:
            return NameFault::BadPort;
        default:
            return NameFault::Other;
    }
}

ConnectFault ConnectFaultOf(int error) {
    if (error == WSAECONNREFUSED) return ConnectFault::Refused;
    if (error == WSAETIMEDOUT) return ConnectFault::TimedOut;
    return ConnectFault::Other;
}

SOCKET AsSocket(std::intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

// The socket's state now: something to read (or the end, or a fault), or room to send.
bool ReadyNow(SOCKET s, bool write) {
    fd_set wanted, faults;
    FD_ZERO(&wanted);
    FD_ZERO(&faults);
    FD_SET(s, &wanted);
    FD_SET(s, &faults);
    timeval none{0, 0};
    const int n = select(0, write ? nullptr : &wanted, write ? &wanted : nullptr, &faults, &none);
    return n != 0;  // a failed select is for the next recv or send to tell
}

TcpSocket::Wake WaitState(SOCKET s, WSAEVENT news, bool write, Event& stop,
                          std::chrono::milliseconds timeout) {
    const bool endless = timeout < std::chrono::milliseconds(0);
    const auto deadline = Clock::now() + (endless ? std::chrono::milliseconds(0) : timeout);
    for (;;) {
        WSANETWORKEVENTS seen{};
        WSAEnumNetworkEvents(s, news, &seen);  // clears the event: what comes next sets it
        if (ReadyNow(s, write)) return TcpSocket::Wake::Ready;
        const auto left = endless ? Event::kInfinite : Event::Remaining(deadline);
        if (left == std::chrono::milliseconds(0)) return TcpSocket::Wake::TimedOut;
        if (WaitOnLine(stop, left, news) == 0) return TcpSocket::Wake::Stopped;
    }
}

// Connects one socket (its news already on `news`): 0, or the fault's code;
// `stopped` when the stop event cut it short.
int ConnectOne(SOCKET s, WSAEVENT news, const addrinfo& a, Event& stop, Clock::time_point deadline,
               bool& stopped) {
    if (connect(s, a.ai_addr, static_cast<int>(a.ai_addrlen)) == 0) return 0;
    if (const int error = WSAGetLastError(); error != WSAEWOULDBLOCK) return error;
    for (;;) {
        const int woke = WaitOnLine(stop, Event::Remaining(deadline), news);
        if (woke == 0) {
            stopped = true;
            return WSAEINTR;
        }
        if (woke == Event::kTimedOut) return WSAETIMEDOUT;
        WSANETWORKEVENTS seen{};
        if (WSAEnumNetworkEvents(s, news, &seen) != 0) return WSAGetLastError();
        if (seen.lNetworkEvents & FD_CONNECT) return seen.iErrorCode[FD_CONNECT_BIT];
    }
}

}  // namespace

std::string SocketErrorText(int error) {
    if (error == WSAECONNRESET || error == WSAECONNABORTED) return "сервер сбросил соединение";
    return WindowsErrorText(static_cast<unsigned long>(error));
}

TcpSocket::~TcpSocket() {
    Close();
}

void TcpSocket::Close() {
    if (handle_ != kNone) closesocket(AsSocket(handle_));
    if (wake_) WSACloseEvent(wake_);
    handle_ = kNone;
    wake_ = nullptr;
}

bool TcpSocket::Connect(const std::string& host, const std::string& port, const std::string& where,
                        Event& stop, std::chrono::milliseconds timeout, Clock::time_point& started,
                        std::string& failure) {
    Close();
    if (const int error = WinsockStarted(); error != 0) {
        failure = tcp_texts::NotConnected(where, ConnectFault::Other, timeout, SocketErrorText(error));
        return false;
    }
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
    int error = WSAETIMEDOUT;
    bool stopped = false;
    for (addrinfo* a = found; a && handle_ == kNone && !stopped; a = a->ai_next) {
        const SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET) continue;
        // A process the program starts is not to hold the connection.
        SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
        WSAEVENT news = WSACreateEvent();
        // Also makes the socket non-blocking.
        if (news == WSA_INVALID_EVENT ||
            WSAEventSelect(s, news, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) {
            error = WSAGetLastError();
        } else {
            error = ConnectOne(s, news, *a, stop, deadline, stopped);
        }
        if (error == 0) {
            handle_ = static_cast<std::intptr_t>(s);
            wake_ = news;
            break;
        }
        closesocket(s);
        if (news != WSA_INVALID_EVENT) WSACloseEvent(news);
    }
    freeaddrinfo(found);
    if (stopped) {
        failure = tcp_texts::Interrupted(where);
        return false;
    }
    if (handle_ == kNone) {
        failure = tcp_texts::NotConnected(where, ConnectFaultOf(error), timeout,
                                          SocketErrorText(error));
        return false;
    }
    const SOCKET s = AsSocket(handle_);
    const BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    // Every segment of a reply acknowledged at once (no 200 ms delayed ACK), where
    // the system knows how (Windows 8 and later); elsewhere as the system does.
    DWORD frequency = 1, returned = 0;
    WSAIoctl(s, SIO_TCP_SET_ACK_FREQUENCY, &frequency, sizeof frequency, nullptr, 0, &returned,
             nullptr, nullptr);
    return true;
}

int TcpSocket::Send(std::string_view bytes, Event& stop, Clock::time_point deadline) {
    const SOCKET s = AsSocket(handle_);
    while (!bytes.empty()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20));
        const int n = send(s, bytes.data(), chunk, 0);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n == SOCKET_ERROR) {
            if (const int error = WSAGetLastError(); error != WSAEWOULDBLOCK) {
                broken_ = SocketErrorText(error);
                return kBroken;
            }
        }
        const Wake woke = WaitState(s, wake_, true, stop, Event::Remaining(deadline));
        if (woke == Wake::Stopped) return kStopped;
        if (woke == Wake::TimedOut) return kStalled;
    }
    return 0;
}

int TcpSocket::Receive(char* buffer, std::size_t size) {
    const int n = recv(AsSocket(handle_), buffer, static_cast<int>(size), 0);
    if (n > 0) return n;
    if (n == 0) return kClosed;
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAEINTR) return kNothing;
    broken_ = SocketErrorText(error);
    return kBroken;
}

TcpSocket::Wake TcpSocket::WaitReadable(Event& stop, Clock::time_point deadline) {
    return WaitState(AsSocket(handle_), wake_, false, stop, Event::Remaining(deadline));
}

TcpSocket::Wake TcpSocket::WaitWritable(Event& stop, Clock::time_point deadline) {
    return WaitState(AsSocket(handle_), wake_, true, stop, Event::Remaining(deadline));
}

void TcpSocket::CloseGracefully(Event* stop, std::chrono::milliseconds wait) {
    if (handle_ == kNone) return;
    const SOCKET s = AsSocket(handle_);
    shutdown(s, SD_SEND);
    Event never(Event::Reset::Manual);
    Event& wake = stop ? *stop : never;
    const auto deadline = Clock::now() + wait;
    while (WaitReadable(wake, deadline) == Wake::Ready) {
        char buffer[256];
        const int n = recv(s, buffer, sizeof buffer, 0);
        if (n == 0 || (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK)) break;
    }
    Close();
}

}  // namespace zep8
