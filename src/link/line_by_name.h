#pragma once

#include <chrono>

#include "link/remote_line.h"
#include "link/serial_port.h"

namespace zep8 {

// The port a document owns: the kind of line follows the port name at every
// Open, since the name may change while the program runs. A local name is a
// serial port; "tcp://HOST:PORT" and "rfc2217://HOST:PORT" (and the same
// under TLS, "tcp+tls://", "rfc2217+tls://") are a serial device server. The stop event, settings and reply-wait atomics are this
// object's for either kind.
class LineByName : public SerialPort {
  public:
    LineByName() = default;

    int Open() override;
    int Close() override;
    bool IsOpen() const override { return remote_.IsOpen() || SerialPort::IsOpen(); }
    int Transfer(std::string_view frame, std::string& reply) override;
    std::string OpenFailureReason() const override;

    bool IsRemote() const { return remoteKind_; }
    std::chrono::microseconds RoundTrip() const override {
        return remoteKind_ ? remote_.RoundTrip() : std::chrono::microseconds{0};
    }
    std::optional<TlsFacts> Security() const override {
        return remoteKind_ ? remote_.Security() : std::nullopt;
    }

  private:
    RemoteLine remote_{*this};
    bool remoteKind_ = false;
};

}  // namespace zep8
