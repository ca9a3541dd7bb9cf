#pragma once

// One connection to a serial device server, and the connections parked
// between the opens of a line so that a run keeps one per server.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "link/line/line_port.h"
#include "link/remote/tcp_socket.h"
#include "link/remote/telnet_stream.h"
#include "link/remote/tls_channel.h"
#include "platform/event.h"

namespace zep8 {

// One TCP connection to a serial device server, plain or under TLS, with the
// Telnet state and the port settings the server last confirmed. A line keeps
// it for the whole run: closing the line parks it here for the next Open, so a
// device server that takes one client at a time sees one client.
class RemoteConnection {
  public:
    RemoteConnection(TcpSocket socket, std::string key)
        : socket_(std::move(socket)), key_(std::move(key)) {}
    ~RemoteConnection();
    RemoteConnection(const RemoteConnection&) = delete;
    RemoteConnection& operator=(const RemoteConnection&) = delete;

    TcpSocket& socket() { return socket_; }
    const std::string& key() const { return key_; }

    enum : int { kNothing = 0, kClosed = -1, kBroken = -2, kStopped = -3, kStalled = -4 };
    // Sends everything by `deadline`: 0, kBroken, kStopped or kStalled.
    int Send(std::string_view bytes, Event& stop, std::chrono::steady_clock::time_point deadline);
    // What has arrived, without waiting: bytes, kNothing, kClosed or kBroken.
    int Receive(char* buffer, std::size_t size);
    // Bytes already taken off the socket wait to be read.
    bool Pending() const { return tls && tls->Pending(); }
    // Until something can be read or the connection ends.
    TcpSocket::Wake WaitReadable(Event& stop, std::chrono::steady_clock::time_point deadline) {
        return socket_.WaitReadable(stop, deadline);
    }
    // Why the last Send or Receive broke, in words.
    std::string BrokenReason() const { return broken_; }

    // Lets the server see the end and waits (up to kCloseWait) until it has
    // let the connection go, so that the next client is not turned away.
    void CloseGracefully(Event* stop);

    std::unique_ptr<TlsChannel> tls;
    TelnetStream telnet;
    std::optional<PortSettings> confirmed;  // the server's port, as it last answered
    std::chrono::microseconds roundTrip{0};
    bool settingsSent = false;

    static constexpr std::chrono::milliseconds kCloseWait{1000};

  private:
    TcpSocket socket_;
    std::string key_;
    std::string broken_;
};

// The connections parked between one Open of a line and the next, one per
// server, for the whole process. Taking one for a server lets the others go:
// the run has moved to another server (or to a local port).
class RemoteConnections {
  public:
    static void Park(std::unique_ptr<RemoteConnection> connection);
    // The parked connection for `key`, or nothing; every other one is closed.
    static std::unique_ptr<RemoteConnection> Take(const std::string& key);
    // Closes every parked connection (the run ends, or moves to a local port).
    static void ReleaseAll();
    // Connections made to servers since the process started.
    static int Made();
    static void CountMade();
};

}  // namespace zep8
