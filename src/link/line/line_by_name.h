#pragma once

// The port the program opens by name: a serial port, a serial device server or
// the line inside the program, whichever the name says at each open.

#include <chrono>

#include "link/line/in_process_line.h"
#include "link/remote/remote_line.h"
#include "link/serial/serial_port.h"

namespace zep8 {

// The port a document owns: the kind of line follows the port name at every
// Open, since the name may change while the program runs. A local name is a
// serial port; "tcp://HOST:PORT" and "rfc2217://HOST:PORT" (and the same
// under TLS, "tcp+tls://", "rfc2217+tls://") are a serial device server;
// "sim://N" is the virtual module inside the program. The stop event,
// settings and reply-wait atomics are this object's for every kind.
class LineByName : public SerialPort {
  public:
    LineByName() = default;

    int Open() override;
    int Close() override;
    bool IsOpen() const override {
        return remote_.IsOpen() || inProcess_.IsOpen() || SerialPort::IsOpen();
    }
    int Transfer(std::string_view frame, std::string& reply) override;
    int Listen(std::string& reply) override;
    void AwaitQuiet() override;
    std::string OpenFailureReason() const override;

    bool IsRemote() const { return kind_ == Kind::Remote; }
    std::chrono::microseconds RoundTrip() const override {
        return IsRemote() ? remote_.RoundTrip() : std::chrono::microseconds{0};
    }
    std::optional<TlsFacts> Security() const override {
        return IsRemote() ? remote_.Security() : std::nullopt;
    }

  private:
    enum class Kind { Serial, Remote, InProcess };
    static Kind KindOf(std::string_view name);
    // Closes whatever line of another kind the old name left open.
    void LeaveOtherKinds(Kind kind);

    RemoteLine remote_{*this};
    InProcessLine inProcess_{*this};
    Kind kind_ = Kind::Serial;
};

}  // namespace zep8
