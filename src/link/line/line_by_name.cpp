#include "link/line/line_by_name.h"

#include "link/line/line_in_use.h"

namespace zep8 {

LineByName::Kind LineByName::KindOf(std::string_view name) {
    // A server's name that is not whole is refused by the remote line, with
    // the reason, rather than taken for a device file.
    if (LooksLikeRemotePortName(name)) return Kind::Remote;
    if (IsInProcessPortName(name)) return Kind::InProcess;
    return Kind::Serial;
}

void LineByName::LeaveOtherKinds(Kind kind) {
    if (kind != Kind::Serial && SerialPort::IsOpen()) SerialPort::Close();
    if (kind != Kind::InProcess && inProcess_.IsOpen()) inProcess_.Close();
    if (kind != Kind::Remote) {
        // The run has moved off the server: its connection goes.
        remote_.Disconnect();
        RemoteConnections::ReleaseAll();
    }
}

int LineByName::Open() {
    const Kind kind = KindOf(settings.name);
    LeaveOtherKinds(kind);
    kind_ = kind;
    int opened = 0;
    switch (kind) {
        case Kind::Remote:
            opened = remote_.Open();
            break;
        case Kind::InProcess:
            opened = inProcess_.Open();
            break;
        case Kind::Serial:
            opened = SerialPort::Open();
            break;
    }
    // What the window's status bar shows.
    const std::optional<TlsFacts> security = Security();
    SetLineInUse({settings.name, security ? security->protocol : std::string(), IsOpen()});
    return opened;
}

int LineByName::Close() {
    switch (kind_) {
        case Kind::Remote: return remote_.Close();
        case Kind::InProcess: return inProcess_.Close();
        case Kind::Serial: break;
    }
    return SerialPort::Close();
}

int LineByName::Transfer(std::string_view frame, std::string& reply) {
    // A closed line opens for the one transfer: its kind is the name's now.
    if (!IsOpen()) kind_ = KindOf(settings.name);
    switch (kind_) {
        case Kind::Remote: return remote_.Transfer(frame, reply);
        case Kind::InProcess: return inProcess_.Transfer(frame, reply);
        case Kind::Serial: break;
    }
    return SerialPort::Transfer(frame, reply);
}

int LineByName::Listen(std::string& reply) {
    switch (kind_) {
        // A remote line's next transfer drops what came late; one peer in
        // process never sends a stray frame.
        case Kind::Remote:
        case Kind::InProcess: return LinePort::Listen(reply);
        case Kind::Serial: break;
    }
    return SerialPort::Listen(reply);
}

void LineByName::AwaitQuiet() {
    switch (kind_) {
        case Kind::Remote:
        case Kind::InProcess: return;
        case Kind::Serial: break;
    }
    SerialPort::AwaitQuiet();
}

std::string LineByName::OpenFailureReason() const {
    switch (kind_) {
        case Kind::Remote: return remote_.OpenFailureReason();
        case Kind::InProcess: return inProcess_.OpenFailureReason();
        case Kind::Serial: break;
    }
    return SerialPort::OpenFailureReason();
}

}  // namespace zep8
