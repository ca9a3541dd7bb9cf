#pragma once

// A serial device server as the operator sets it up in the window: the kind
// of line, the host and port, and how its certificate is trusted over TLS.
// Kept under the port name the terminal takes ("rfc2217+tls://HOST:PORT"),
// with its TLS settings beside it (app/preferences.h).

#include <optional>
#include <string>
#include <string_view>

#include "link/remote/tls_settings.h"

namespace zep8 {

struct ServerEntry {
    bool rfc2217 = true;  // else raw TCP: the server's port keeps its own speed
    bool tls = false;
    std::string host;
    int port = 0;
    TlsSettings trust;  // used with tls only

    // "rfc2217+tls://plc-hall:7002"; an IPv6 address in brackets.
    std::string PortName() const;
    // "plc-hall:7002", as the TLS settings and the line's texts name it.
    std::string Server() const;
    // From a port name and the settings kept for its server; nothing when the
    // name is not a whole server's name.
    static std::optional<ServerEntry> FromPortName(std::string_view name,
                                                   const TlsSettings& trust = {});
    // Why the entry cannot be kept, for the operator; empty when it can. A
    // fingerprint as typed (colons, spaces, any case) is put into its form.
    std::string Fault();
};

}  // namespace zep8
