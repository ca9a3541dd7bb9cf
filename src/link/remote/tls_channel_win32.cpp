// The Windows build is made without OpenSSL: an encrypted line is refused at
// Open, before any connection, and the channel itself is never set up.
#include "link/remote/tls_channel.h"

namespace zep8 {

struct TlsChannel::State {};

TlsChannel::TlsChannel() : state_(std::make_unique<State>()) {}
TlsChannel::~TlsChannel() = default;

std::string TlsChannel::Unavailable(const std::string& where) {
    return "Зашифрованные линии (TLS) в этой сборке для Windows недоступны: сервер " + where + ".";
}

bool TlsChannel::Handshake(int, const std::string&, const std::string& where, const TlsSettings&,
                           Event&, std::chrono::steady_clock::time_point, std::string& failure) {
    failure = Unavailable(where);
    return false;
}

bool TlsChannel::ClientAccepted(const std::string& where, Event&, std::string& failure) {
    failure = Unavailable(where);
    return false;
}

int TlsChannel::Read(char*, std::size_t) {
    return kBroken;
}

bool TlsChannel::Pending() const {
    return false;
}

int TlsChannel::Write(std::string_view, Event&, std::chrono::steady_clock::time_point) {
    return kBroken;
}

void TlsChannel::Shutdown() {}

TlsFacts TlsChannel::Facts() const {
    return {};
}

std::string TlsChannel::BrokenReason() const {
    return "TLS недоступен";
}

std::optional<CertificateFacts> TlsChannel::UntrustedCertificate() const {
    return std::nullopt;
}

}  // namespace zep8
