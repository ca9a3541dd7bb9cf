#include "link/remote/tls_trust.h"

#include <cctype>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "platform/text.h"

namespace zep8 {
namespace {

struct SessionTrust {
    std::mutex mutex;
    CertificateAsker asker;
    std::map<std::string, std::string> trusted;             // server -> fingerprint
    std::set<std::pair<std::string, std::string>> refused;  // server, fingerprint
};

SessionTrust& Session() {
    static SessionTrust session;
    return session;
}

}  // namespace

std::string GroupedFingerprint(std::string_view hex, int groupsPerLine) {
    std::string text;
    int groups = 0;
    for (std::size_t i = 0; i < hex.size(); i += 4) {
        if (i > 0) text += groupsPerLine > 0 && groups % groupsPerLine == 0 ? '\n' : ' ';
        for (std::size_t j = i; j < i + 4 && j < hex.size(); ++j)
            text += static_cast<char>(std::toupper(static_cast<unsigned char>(hex[j])));
        ++groups;
    }
    return text;
}

std::string TrustQuestionText(const CertificateFacts& f) {
    std::string text = "Сервер " + f.server +
                       " предъявил сертификат, который не заверен доверенным центром "
                       "сертификации" +
                       (f.selfSigned ? " (он самоподписан)" : "") + ".\n\n";
    text += "Кому выдан: " + f.subject + "\n";
    text += "Кем выдан: " + f.issuer + "\n";
    text += "Действует: с " + f.notBefore + " по " + f.notAfter + "\n\n";
    text += "Отпечаток SHA-256:\n" + GroupedFingerprint(f.fingerprint) + "\n\n";
    text +=
        "Сверьте отпечаток с тем, что назовёт администратор сервера. "
        "«Доверять этому серверу» закрепит отпечаток: если сертификат сервера "
        "потом сменится, программа не станет соединяться и предупредит. "
        "«Только сейчас» доверяет ему до закрытия программы.";
    return text;
}

void SetCertificateAsker(CertificateAsker asker) {
    std::lock_guard lock(Session().mutex);
    Session().asker = std::move(asker);
}

bool OperatorAsked() {
    std::lock_guard lock(Session().mutex);
    return static_cast<bool>(Session().asker);
}

TrustAnswer AskTrust(const CertificateFacts& facts) {
    SessionTrust& s = Session();
    const std::string server = FoldCase(facts.server);
    CertificateAsker asker;
    {
        std::lock_guard lock(s.mutex);
        if (!s.asker || s.refused.count({server, facts.fingerprint})) return TrustAnswer::Refuse;
        asker = s.asker;
    }
    // Asked without the lock: the answer may take the operator minutes.
    const TrustAnswer answer = asker(facts);
    std::lock_guard lock(s.mutex);
    if (answer == TrustAnswer::Refuse) {
        s.refused.insert({server, facts.fingerprint});
    } else {
        s.trusted[server] = facts.fingerprint;
    }
    return answer;
}

TlsSettings WithSessionTrust(TlsSettings settings, const std::string& server) {
    if (!settings.fingerprint.empty()) return settings;
    std::lock_guard lock(Session().mutex);
    if (const auto found = Session().trusted.find(FoldCase(server));
        found != Session().trusted.end()) {
        settings.fingerprint = found->second;
    }
    return settings;
}

void ForgetRefusedCertificates() {
    std::lock_guard lock(Session().mutex);
    Session().refused.clear();
}

void ForgetSessionTrust() {
    std::lock_guard lock(Session().mutex);
    Session().trusted.clear();
    Session().refused.clear();
}

std::string TlsFieldName(TlsField field) {
    const bool window = OperatorAsked();
    switch (field) {
        case TlsField::Ca:
            return window ? "«Сертификат центра» в окне «Сервер»" : "--tls-ca";
        case TlsField::Fingerprint:
            return window ? "«Отпечаток» в окне «Сервер»" : "--tls-fingerprint";
        case TlsField::Cert:
            return window ? "«Сертификат клиента» в окне «Сервер»" : "--tls-cert";
        case TlsField::Key:
            return window ? "«Ключ клиента» в окне «Сервер»" : "--tls-key";
    }
    return {};
}

}  // namespace zep8
