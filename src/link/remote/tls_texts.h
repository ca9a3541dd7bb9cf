#pragma once

// The certificates of a TLS line in the operator's words, and the trust a
// connection is set up with. Only the TLS channel includes this header: it
// speaks OpenSSL's types.
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <string>
#include <vector>

#include "link/remote/tls_settings.h"

namespace zep8 {

// The fingerprint of a certificate: SHA-256 of its DER form, 64 lower-case
// hex digits.
std::string CertificateFingerprint(X509* cert);
// "CN=localhost,O=Plant" (RFC 2253, UTF-8 kept).
std::string CertificateSubject(X509* cert);
std::string CertificateIssuer(X509* cert);
// The names a certificate is good for: its DNS and IP alternative names, or
// its common name when it has none.
std::vector<std::string> CertificateNames(X509* cert);
// "10.12.2026".
std::string CertificateDate(const ASN1_TIME* time);

// The authorities (the system's, or a CA file, none with a pinned fingerprint)
// and the client's certificate and key. False with `failure` when a file will
// not do.
bool ConfigureTrust(SSL_CTX* ctx, const TlsSettings& settings, std::string& failure);

// What a failed handshake left to tell.
struct HandshakeFault {
    std::string where, host;
    X509* leaf = nullptr;  // the server's certificate, when it came
    int verifyError = X509_V_OK;
    std::string pinned, pinnedMismatch;
    bool expired = false, notYetValid = false;
    bool clientCertAsked = false, haveClientCert = false;
    bool ended = false;  // the server closed the connection mid-handshake
    int reason = 0;      // OpenSSL's reason code of the last error
    std::string library; // and its words
};
std::string HandshakeFailureText(const HandshakeFault& fault);
// The check failed only because no authority the program knows vouches for
// the certificate (self-signed, an unknown centre): the operator may trust it.
bool UntrustedByAuthorities(int verifyError);
std::string ClientCertificateWantedText(const std::string& where);

}  // namespace zep8
