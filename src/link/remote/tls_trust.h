#pragma once

// Trust on first use. A server whose certificate no authority vouches for
// (self-signed, or signed by a centre the program does not know) is shown to
// the operator, who may pin its fingerprint for good, trust it for this run,
// or refuse it. Only the window asks: without an asker (the terminal, an
// automated run) such a server is refused as before, with exit code 201.
// A pinned certificate that has changed is never asked about: it is refused.

#include <functional>
#include <string>
#include <string_view>

#include "link/remote/tls_settings.h"

namespace zep8 {

// The server's certificate, as the operator is shown it.
struct CertificateFacts {
    std::string server;  // "HOST:PORT"
    std::string subject, issuer;
    std::string notBefore, notAfter;  // "10.12.2026"
    std::string fingerprint;          // SHA-256, 64 lower-case hex digits
    bool selfSigned = false;
};

enum class TrustAnswer { Pin, Once, Refuse };

// The question's buttons, in the order of TrustAnswer.
inline constexpr std::string_view kTrustButtons[] = {"Доверять этому серверу", "Только сейчас",
                                                     "Отмена"};
inline constexpr std::string_view kTrustCaption = "Неизвестный сертификат сервера";

// 64 hex digits as "3F2A 91C0 ...": groups of four upper-case digits, to be
// read aloud over the phone; `groupsPerLine` groups a line (0: one line).
std::string GroupedFingerprint(std::string_view hex, int groupsPerLine = 8);

// The question put to the operator: the server, the certificate's subject,
// issuer, dates and grouped fingerprint.
std::string TrustQuestionText(const CertificateFacts& facts);

// Who answers the question: the window's, set for its run (on the thread of
// whichever line opens; it waits for the answer). Nothing: nobody is asked.
using CertificateAsker = std::function<TrustAnswer(const CertificateFacts&)>;
void SetCertificateAsker(CertificateAsker asker);
// An asker is set: the texts of the line name the window's fields rather
// than the command line's options.
bool OperatorAsked();

// Puts the question, unless this certificate was refused in this run already
// (then Refuse at once). Pin and Once trust the fingerprint for the server
// until the run ends; Pin is also the asker's to keep.
TrustAnswer AskTrust(const CertificateFacts& facts);
// `settings` of `server` with the trust given in this run: a fingerprint the
// operator accepted stands for the server when the settings pin none.
TlsSettings WithSessionTrust(TlsSettings settings, const std::string& server);
// The operator asks for the link again (or has changed a server's settings):
// a certificate refused before is asked about once more.
void ForgetRefusedCertificates();
// The run ends: what was trusted or refused in it goes.
void ForgetSessionTrust();

// Where the operator sets each of a server's TLS settings, for the texts:
// "--tls-ca" in the terminal, the field of the "Сервер" window in the window.
enum class TlsField { Ca, Fingerprint, Cert, Key };
std::string TlsFieldName(TlsField field);

}  // namespace zep8
