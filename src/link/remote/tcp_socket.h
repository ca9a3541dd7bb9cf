#pragma once

// The TCP socket under a remote line, with waits that a stop event ends.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/event.h"

namespace zep8 {

// A TCP connection to a serial device server, non-blocking, as each system
// makes it: BSD sockets (tcp_socket_posix.cpp) or Winsock (tcp_socket_win32.cpp).
// Every wait also watches a stop event, so that a line being closed or a
// program ending never waits out a time-out.
class TcpSocket {
  public:
    TcpSocket() = default;
    // Closes at once, without the graceful goodbye.
    ~TcpSocket();
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;
    TcpSocket(TcpSocket&& other) noexcept
        : handle_(std::exchange(other.handle_, kNone)), wake_(std::exchange(other.wake_, nullptr)) {}
    TcpSocket& operator=(TcpSocket&& other) noexcept {
        std::swap(handle_, other.handle_);
        std::swap(wake_, other.wake_);
        return *this;
    }

    bool IsOpen() const { return handle_ != kNone; }
    // The descriptor (POSIX) or SOCKET (Windows).
    std::intptr_t Native() const { return handle_; }

    // Finds `host` and connects to it within `timeout` (any of its addresses),
    // with Nagle off; `started` is when the name was found and connecting
    // began. False with `failure` in the operator's words ("where" names the
    // server) when no connection was made or `stop` was set.
    bool Connect(const std::string& host, const std::string& port, const std::string& where,
                 Event& stop, std::chrono::milliseconds timeout,
                 std::chrono::steady_clock::time_point& started, std::string& failure);

    enum : int { kNothing = 0, kClosed = -1, kBroken = -2, kStopped = -3, kStalled = -4 };
    // Sends everything, waiting as the socket needs but not past `deadline`:
    // 0, kBroken, kStopped or kStalled (the server takes nothing in).
    int Send(std::string_view bytes, Event& stop, std::chrono::steady_clock::time_point deadline);
    // What has arrived, without waiting: bytes, kNothing, kClosed or kBroken.
    int Receive(char* buffer, std::size_t size);
    // Why the last Send or Receive broke, in words.
    std::string BrokenReason() const { return broken_; }

    enum class Wake { Ready, Stopped, TimedOut };
    // Until something can be read (or the server has gone, or the connection
    // broke): a Receive then does not wait.
    Wake WaitReadable(Event& stop, std::chrono::steady_clock::time_point deadline);
    Wake WaitWritable(Event& stop, std::chrono::steady_clock::time_point deadline);

    // Lets the server see the end and reads until it lets go too (at most
    // `wait`), then closes. `stop` (may be null) cuts the wait short.
    void CloseGracefully(Event* stop, std::chrono::milliseconds wait);

  private:
    static constexpr std::intptr_t kNone = -1;  // also INVALID_SOCKET
    void Close();

    std::intptr_t handle_ = kNone;
    void* wake_ = nullptr;  // Windows: the WSA event the socket's news set
    std::string broken_;
};

// A socket's error code (errno, or WSAGetLastError) in the operator's words.
std::string SocketErrorText(int error);

#ifndef _WIN32
// A server that sends a reply in pieces holds each piece back (Nagle) until the
// last is acknowledged; Linux delays an acknowledgement by up to 40 ms unless
// told, after every read, to send it at once.
void AcknowledgeAtOnce(int fd);
#endif

// The words of a failed connection, the same on every system; the system's
// unit says which applies.
namespace tcp_texts {
enum class NameFault { NoSuchName, ServiceDown, BadPort, Other };
std::string HostNotFound(const std::string& host, NameFault fault);
enum class ConnectFault { Refused, TimedOut, Other };
std::string NotConnected(const std::string& where, ConnectFault fault,
                         std::chrono::milliseconds timeout, const std::string& systemText);
std::string Interrupted(const std::string& where);
}  // namespace tcp_texts

}  // namespace zep8
