#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "link/line_port.h"
#include "link/line_timings.h"
#include "link/remote_connection.h"

namespace zep8 {

// A port name that names a serial device server: "tcp://HOST:PORT" (raw) or
// "rfc2217://HOST:PORT" (Telnet COM Port Control), each also under TLS as
// "tcp+tls://" and "rfc2217+tls://".
struct RemoteAddress {
    bool rfc2217 = false;
    bool tls = false;
    std::string host, port;
    // "HOST:PORT", as texts and the TLS settings name the server.
    std::string Server() const;
};
std::optional<RemoteAddress> ParseRemotePortName(std::string_view name);
inline bool IsRemotePortName(std::string_view name) {
    return ParseRemotePortName(name).has_value();
}

// The line to a serial device server over TCP, on behalf of `owner`: its
// settings, reply-wait atomics and stop event are the ones it uses. The server
// drives the RS-485 direction, so RTS keying does not apply.
//
// One connection serves the whole run: Close parks it (RemoteConnections) and
// the next Open takes it back, sending only the settings that changed. A new
// connection is made only after a loss or for another server.
class RemoteLine {
  public:
    explicit RemoteLine(LinePort& owner) : owner_(owner) {}
    ~RemoteLine();
    RemoteLine(const RemoteLine&) = delete;
    RemoteLine& operator=(const RemoteLine&) = delete;

    int Open();
    int Close();
    // Lets the connection go for good, rather than parking it.
    void Disconnect();
    bool IsOpen() const { return conn_ != nullptr; }
    int Transfer(std::string_view frame, std::string& reply);
    std::string OpenFailureReason() const { return failure_; }
    // The connection's round trip, measured when it was made.
    std::chrono::microseconds RoundTrip() const;
    std::optional<TlsFacts> Security() const;

    static constexpr std::chrono::milliseconds kConnectTimeout{3000};
    // How long a refused TLS handshake is answered from memory.
    static constexpr std::chrono::milliseconds kRefusalMemory{10000};

  private:
    bool Resume(std::unique_ptr<RemoteConnection> parked);
    int Connect(const RemoteAddress& address, const std::string& key);
    int Negotiate();
    int HearServer(std::chrono::steady_clock::time_point deadline,
                   const std::function<bool()>& heard);
    int AgreeComPort(std::chrono::steady_clock::time_point deadline);
    int ApplySettings(std::chrono::steady_clock::time_point deadline);
    int Refuse(int result, std::string reason);
    int LineGone(std::string reason);
    int SendAll(std::string_view bytes);
    // Reads what has arrived (waiting until `deadline`); 0 on data or nothing
    // (timeout), else a transfer result.
    int ReadSome(std::chrono::steady_clock::time_point deadline, std::string& data, bool& timedOut);
    int Receive(std::string& reply, std::size_t echoLength);
    std::string Where() const;

    LinePort& owner_;
    std::unique_ptr<RemoteConnection> conn_;
    RemoteAddress address_;
    TlsSettings tlsSettings_;
    LineTimings timings_;
    int protocolMode_ = 0;
    std::string failure_;
    std::string refusedKey_, refusal_;
    std::chrono::steady_clock::time_point refusedUntil_;
};

}  // namespace zep8
