#include "link/line_by_name.h"

namespace zep8 {

int LineByName::Open() {
    const bool remote = IsRemotePortName(settings.name);
    // A line of the other kind may still be open under the old name.
    if (remote) {
        if (SerialPort::IsOpen()) SerialPort::Close();
    } else {
        // The run has moved to a local port: the server's connection goes.
        remote_.Disconnect();
        RemoteConnections::ReleaseAll();
    }
    remoteKind_ = remote;
    return remote ? remote_.Open() : SerialPort::Open();
}

int LineByName::Close() {
    return remoteKind_ ? remote_.Close() : SerialPort::Close();
}

int LineByName::Transfer(std::string_view frame, std::string& reply) {
    // A closed line opens for the one transfer: its kind is the name's now.
    if (!IsOpen()) remoteKind_ = IsRemotePortName(settings.name);
    return remoteKind_ ? remote_.Transfer(frame, reply) : SerialPort::Transfer(frame, reply);
}

std::string LineByName::OpenFailureReason() const {
    return remoteKind_ ? remote_.OpenFailureReason() : SerialPort::OpenFailureReason();
}

}  // namespace zep8
