#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "link/line_port.h"
#include "link/line_timings.h"
#include "link/telnet_stream.h"

namespace zep8 {

// A port name that names a serial device server: "tcp://HOST:PORT" (raw) or
// "rfc2217://HOST:PORT" (Telnet COM Port Control).
struct RemoteAddress {
    bool rfc2217 = false;
    std::string host, port;
};
std::optional<RemoteAddress> ParseRemotePortName(std::string_view name);
inline bool IsRemotePortName(std::string_view name) {
    return ParseRemotePortName(name).has_value();
}

// The line to a serial device server over TCP, on behalf of `owner`: its
// settings, reply-wait atomics and stop event are the ones it uses. The server
// drives the RS-485 direction, so RTS keying does not apply.
class RemoteLine {
  public:
    explicit RemoteLine(LinePort& owner) : owner_(owner) {}
    ~RemoteLine();
    RemoteLine(const RemoteLine&) = delete;
    RemoteLine& operator=(const RemoteLine&) = delete;

    int Open();
    int Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Transfer(std::string_view frame, std::string& reply);
    std::string OpenFailureReason() const { return failure_; }
    // The connection's round trip, measured when it was made.
    std::chrono::microseconds RoundTrip() const { return roundTrip_; }

    static constexpr std::chrono::milliseconds kConnectTimeout{3000};
    static constexpr std::chrono::milliseconds kCloseWait{1000};

  private:
    int Connect(const RemoteAddress& address);
    int Negotiate();
    int Refuse(int result, std::string reason);
    int LineGone(std::string reason);
    int SendAll(std::string_view bytes);
    // Reads what has arrived (waiting until `deadline`); 0 on data or nothing
    // (timeout), else a transfer result.
    int ReadSome(std::chrono::steady_clock::time_point deadline, std::string& data, bool& timedOut);
    int Receive(std::string& reply, std::size_t echoLength);
    std::string Where() const;

    LinePort& owner_;
    int fd_ = -1;
    RemoteAddress address_;
    TelnetStream telnet_;
    LineTimings timings_;
    int protocolMode_ = 0;
    std::chrono::microseconds roundTrip_{0};
    std::string failure_;
};

}  // namespace zep8
