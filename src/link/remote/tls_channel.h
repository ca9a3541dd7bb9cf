#pragma once

// TLS on a remote line: the handshake, the server's certificate checked, the
// line's bytes encrypted.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "link/remote/tls_settings.h"
#include "link/remote/tls_trust.h"
#include "platform/event.h"

namespace zep8 {

// TLS (1.2 or later, OpenSSL) over a connected non-blocking socket, on the
// client's side of a line to a serial device server. The server's certificate
// is checked before the handshake ends: against the authorities (the system's,
// or a CA file) with the host name, or against a pinned fingerprint; no byte
// of the line goes out before. Every failure is told in Russian, naming the
// server.
class TlsChannel {
  public:
    TlsChannel();
    ~TlsChannel();
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // Why this build cannot reach the server "where" under TLS; empty when it can.
    static std::string Unavailable(const std::string& where);

    // The handshake with `host` ("where" names the server in texts). True when
    // the connection is secured; else `failure` says why.
    bool Handshake(int fd, const std::string& host, const std::string& where,
                   const TlsSettings& settings, Event& stop,
                   std::chrono::steady_clock::time_point deadline, std::string& failure);

    enum : int { kNothing = 0, kClosed = -1, kBroken = -2, kStopped = -3, kStalled = -4 };
    // What has arrived, without waiting: bytes (> 0), kNothing, kClosed (the
    // server ended the connection) or kBroken.
    int Read(char* buffer, std::size_t size);
    // Decrypted bytes wait to be read: the socket may stay quiet meanwhile.
    bool Pending() const;
    // Sends everything, waiting as the socket needs but not past `deadline`:
    // 0, kBroken, kStopped or kStalled (the server takes nothing in).
    int Write(std::string_view bytes, Event& stop, std::chrono::steady_clock::time_point deadline);
    // Tells the server the connection ends (close_notify), without waiting.
    void Shutdown();

    TlsFacts Facts() const;
    // After a failed handshake: the server's certificate when only the
    // authorities failed to vouch for it, and nothing was pinned (the
    // operator may trust it); else nothing.
    std::optional<CertificateFacts> UntrustedCertificate() const;
    // Why the last Read or Write broke, in words (for the operator's message).
    std::string BrokenReason() const;

    struct State;

  private:
    bool ClientAccepted(const std::string& where, Event& stop, std::string& failure);

    std::unique_ptr<State> state_;
};

}  // namespace zep8
