#pragma once

// The TLS settings of each serial device server, where the link finds them,
// and what the doctor tells of an encrypted line.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zep8 {

// How the program trusts one serial device server reached over TLS, and how it
// shows itself to a server that asks for a client certificate. Empty fields
// are the defaults: the system's trusted authorities, no client certificate.
struct TlsSettings {
    std::string caFile;       // PEM file of the authorities that may sign the server
    std::string fingerprint;  // SHA-256 of the server's certificate, 64 hex digits
    std::string certFile;     // PEM client certificate
    std::string keyFile;      // its private key

    bool operator==(const TlsSettings&) const = default;
    // One line that tells two settings apart (part of a connection's identity).
    std::string Identity() const;
    // "ca=FILE" ... one a line, as kept in the settings file; and back.
    std::string Text() const;
    static TlsSettings FromText(std::string_view text);
};

// What the doctor tells of an encrypted line.
struct TlsFacts {
    std::string protocol;  // "TLSv1.3"
    std::string cipher;    // "TLS_AES_256_GCM_SHA384"
    std::string subject;   // "CN=localhost"
    std::string notAfter;  // "10.12.2026"
};

// A warning when the client's key file may be read by others than its owner
// (its group, everyone); empty when it may not, or on a system without such
// rights.
std::string KeyFileExposure(const std::string& keyFile);

// A fingerprint as the operator may type it (colons, spaces, any case) in the
// program's form: 64 lower-case hex digits; nothing when it is not SHA-256.
std::optional<std::string> NormalFingerprint(std::string_view typed);
// 64 hex digits as "AB:CD:..." for reading.
std::string SpacedFingerprint(std::string_view hex);

// Where the link finds the settings of a server ("HOST:PORT"): the program's
// settings and command line, set up by the run. Without a provider, defaults.
using TlsSettingsProvider = std::function<TlsSettings(const std::string& server)>;
void SetTlsSettingsProvider(TlsSettingsProvider provider);
TlsSettings TlsSettingsFor(const std::string& server);

}  // namespace zep8
