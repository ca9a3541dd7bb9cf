#pragma once

// The line to a serial device server (tcp://, rfc2217://, either under TLS):
// its name, its connection's open and settings, its transfers and waits.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "link/line/line_port.h"
#include "link/line/line_timings.h"
#include "link/remote/remote_connection.h"

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
// Nothing unless the name is whole: a host, and a port number 1-65535.
std::optional<RemoteAddress> ParseRemotePortName(std::string_view name);
inline bool IsRemotePortName(std::string_view name) {
    return ParseRemotePortName(name).has_value();
}
// Written with one of the schemes above, whole or not.
bool LooksLikeRemotePortName(std::string_view name);
// Why a name written as a server's line names none (no host, no port, a port
// number outside 1-65535), for the operator; empty for a whole name and for
// one that is not written as a server's.
std::string RemotePortNameFault(std::string_view name);

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
    // An Open as a whole: the connection, TLS and the port's settings.
    static constexpr std::chrono::milliseconds kOpenLimit{2 * kConnectTimeout};
    // How long a refused TLS handshake is answered from memory.
    static constexpr std::chrono::milliseconds kRefusalMemory{10000};
    // A server that could not be reached is tried again after 1 s, then
    // after twice as long each time, up to kBackOffLimit; an exchange in
    // between fails at once with the reason remembered.
    static constexpr std::chrono::milliseconds kFirstBackOff{1000};
    static constexpr std::chrono::milliseconds kBackOffLimit{10000};
    // What a server may do before it is taken for broken or hostile: leave
    // our few bytes unread this long, send this many bytes between two of
    // our requests.
    static constexpr std::chrono::milliseconds kSendLimit{2000};
    static constexpr std::size_t kDrainLimit = 4096;

  private:
    int OpenOnce();
    bool AskedToTrust(const TlsChannel& tls);
    bool Resume(std::unique_ptr<RemoteConnection> parked);
    int Connect(const RemoteAddress& address, const std::string& key);
    int Negotiate();
    int HearServer(std::chrono::steady_clock::time_point deadline,
                   const std::function<bool()>& heard);
    int AgreeComPort(std::chrono::steady_clock::time_point deadline);
    int ApplySettings(std::chrono::steady_clock::time_point deadline);
    int Refuse(int result, std::string reason);
    int LineGone(std::string reason);
    // The server broke a rule of the line (`what` it did): the connection is
    // dropped, and the next exchange makes a new one.
    int Misbehaved(const std::string& what);
    // Fails this Open at once when the server's last connection failed within
    // its back-off, and keeps the outcome of this one.
    bool InBackOff(const std::string& key);
    void RememberFailure(const std::string& key, std::chrono::milliseconds wait);
    // Drops what the server sent since the last reply, at most kDrainLimit
    // bytes: 0 when it went quiet, else a transfer result.
    int Drain();
    // How long a whole transfer may take, from its start to its reply's end.
    std::chrono::milliseconds TransferLimit() const;
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
    // The end of the Open or Transfer under way: no wait of it goes past.
    std::chrono::steady_clock::time_point until_;
    // The last failure to reach a server, answered from memory until retryAt_.
    std::string key_;  // the server and TLS identity of the connection
    std::string failedKey_, failedReason_;
    std::chrono::steady_clock::time_point retryAt_;
    std::chrono::milliseconds backOff_{0};
    bool misbehaved_ = false;   // in this Open: the server broke a rule
    bool trustAsked_ = false;   // in this Open: the operator was asked about the certificate
    bool trustGiven_ = false;   // and trusted it
    std::size_t lastRead_ = 0;  // bytes the last ReadSome took off the connection
};

}  // namespace zep8
