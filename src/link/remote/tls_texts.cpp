#include "link/remote/tls_texts.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "link/remote/tls_trust.h"
#include "platform/file_path.h"

namespace zep8 {
namespace {

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text.empty() ? "(имён нет)" : text;
}

std::string Readable(const std::string& path, const std::string& what) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(FilePath(path), error)) return std::string(what) + " " + path + " не найден.";
    return {};
}

}  // namespace

bool UntrustedByAuthorities(int error) {
    switch (error) {
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_CERT_UNTRUSTED:
        case X509_V_ERR_CERT_SIGNATURE_FAILURE:
            return true;
        default:
            return false;
    }
}

namespace {

// A pinned certificate that has changed: both fingerprints, and the warning.
// The terminal's keeps the form --tls-fingerprint takes; the window's groups
// them for reading, one under the other.
std::string PinnedMismatchText(const std::string& where, const std::string& pinned,
                               const std::string& seen) {
    const std::string warning =
        "Возможно, кто-то вклинился в соединение (атака «человек посередине»).";
    if (OperatorAsked()) {
        return "Сертификат сервера " + where +
               " не тот, что закреплён для него. Соединение не установлено.\n\n"
               "Закреплён отпечаток SHA-256:\n" +
               GroupedFingerprint(pinned) + "\n\nСервер предъявил:\n" + GroupedFingerprint(seen) +
               "\n\n" + warning +
               " Если сертификат сервера заменили намеренно, сверьте новый отпечаток с "
               "администратором сервера и задайте его в окне «Сервер».";
    }
    return "Отпечаток сертификата сервера " + where + " (SHA-256 " + SpacedFingerprint(seen) +
           ") не совпадает с заданным (" + SpacedFingerprint(pinned) +
           "): это не тот сервер или его сертификат заменён. " + warning + " Соединение прервано.";
}

std::string CertificateFault(const HandshakeFault& f) {
    const std::string server = "Сертификат сервера " + f.where;
    const std::string subject = f.leaf ? " (" + CertificateSubject(f.leaf) + ")" : "";
    const std::string after = f.leaf ? CertificateDate(X509_get0_notAfter(f.leaf)) : "";
    const std::string before = f.leaf ? CertificateDate(X509_get0_notBefore(f.leaf)) : "";
    if (!f.pinnedMismatch.empty()) return PinnedMismatchText(f.where, f.pinned, f.pinnedMismatch);
    if (f.expired || f.verifyError == X509_V_ERR_CERT_HAS_EXPIRED)
        return server + subject + " просрочен: он действовал до " + after + ".";
    if (f.notYetValid || f.verifyError == X509_V_ERR_CERT_NOT_YET_VALID)
        return server + subject + " ещё не действует: он действует с " + before + ".";
    if (f.verifyError == X509_V_ERR_HOSTNAME_MISMATCH ||
        f.verifyError == X509_V_ERR_IP_ADDRESS_MISMATCH) {
        return server + " выдан не для имени " + f.host + ": в нём имена " +
               Joined(f.leaf ? CertificateNames(f.leaf) : std::vector<std::string>{}) + ".";
    }
    if (UntrustedByAuthorities(f.verifyError)) {
        std::string text = server + subject + " не заверен доверенным центром сертификации";
        if (f.verifyError == X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT) text += " (он самоподписан)";
        if (OperatorAsked()) {
            return text +
                   ". Соединение не установлено: укажите сертификат центра или отпечаток "
                   "сервера в окне «Сервер» («Настройка порта»).";
        }
        text += ". Укажите сертификат центра (--tls-ca=ФАЙЛ) или закрепите сертификат сервера";
        if (f.leaf) text += " (--tls-fingerprint=" + CertificateFingerprint(f.leaf) + ")";
        return text + ".";
    }
    return server + subject + " не принят: " + X509_verify_cert_error_string(f.verifyError) +
           " (код проверки " + std::to_string(f.verifyError) + ").";
}

bool NotTls(int reason) {
    return reason == SSL_R_WRONG_VERSION_NUMBER || reason == SSL_R_UNKNOWN_PROTOCOL ||
           reason == SSL_R_PACKET_LENGTH_TOO_LONG || reason == SSL_R_RECORD_LENGTH_MISMATCH;
}

bool ClientCertificateRefused(int reason) {
    return reason == SSL_R_SSLV3_ALERT_BAD_CERTIFICATE || reason == SSL_R_TLSV1_ALERT_UNKNOWN_CA ||
           reason == SSL_R_SSLV3_ALERT_CERTIFICATE_UNKNOWN ||
           reason == SSL_R_SSLV3_ALERT_CERTIFICATE_EXPIRED ||
           reason == SSL_R_TLSV1_ALERT_DECRYPT_ERROR;
}

}  // namespace

std::string CertificateFingerprint(X509* cert) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!cert || X509_digest(cert, EVP_sha256(), digest, &length) != 1) return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

namespace {

std::string NameText(const X509_NAME* name) {
    BIO* out = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(out, name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    const long size = BIO_get_mem_data(out, &data);
    std::string text(data, static_cast<std::size_t>(size > 0 ? size : 0));
    BIO_free(out);
    return text;
}

}  // namespace

std::string CertificateSubject(X509* cert) {
    return NameText(X509_get_subject_name(cert));
}

std::string CertificateIssuer(X509* cert) {
    return NameText(X509_get_issuer_name(cert));
}

std::vector<std::string> CertificateNames(X509* cert) {
    std::vector<std::string> names;
    auto* alternatives = static_cast<GENERAL_NAMES*>(
        X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr));
    for (int i = 0; alternatives && i < sk_GENERAL_NAME_num(alternatives); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(alternatives, i);
        if (name->type == GEN_DNS) {
            const ASN1_STRING* dns = name->d.dNSName;
            names.emplace_back(reinterpret_cast<const char*>(ASN1_STRING_get0_data(dns)),
                               static_cast<std::size_t>(ASN1_STRING_length(dns)));
        } else if (name->type == GEN_IPADD) {
            const ASN1_OCTET_STRING* ip = name->d.iPAddress;
            char text[64] = {};
            const int family = ASN1_STRING_length(ip) == 4 ? AF_INET : AF_INET6;
            if (inet_ntop(family, ASN1_STRING_get0_data(ip), text, sizeof text)) names.emplace_back(text);
        }
    }
    GENERAL_NAMES_free(alternatives);
    if (names.empty()) {
        char common[256] = {};
        if (X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, common,
                                      sizeof common) > 0) {
            names.emplace_back(common);
        }
    }
    return names;
}

std::string CertificateDate(const ASN1_TIME* time) {
    std::tm tm{};
    if (!time || ASN1_TIME_to_tm(time, &tm) != 1) return "?";
    char text[40];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", tm.tm_mday, tm.tm_mon + 1,
                  tm.tm_year + 1900);
    return text;
}

namespace {
// An encrypted key file would make OpenSSL ask for its password on the
// terminal, under the link lock: no password is given, and the load fails.
int NoKeyPassword(char*, int, int, void*) {
    return 0;
}
}  // namespace

bool ConfigureTrust(SSL_CTX* ctx, const TlsSettings& s, std::string& failure) {
    if (!s.fingerprint.empty() && !NormalFingerprint(s.fingerprint)) {
        failure = "Отпечаток сертификата сервера в настройках повреждён (" + s.fingerprint +
                  "): задайте его заново (" + TlsFieldName(TlsField::Fingerprint) + ").";
        return false;
    }
    SSL_CTX_set_default_passwd_cb(ctx, NoKeyPassword);
    if (!s.caFile.empty()) {
        failure =
            Readable(s.caFile, "Файл сертификатов центра (" + TlsFieldName(TlsField::Ca) + ")");
        if (!failure.empty()) return false;
        if (SSL_CTX_load_verify_locations(ctx, s.caFile.c_str(), nullptr) != 1) {
            failure = "Файл " + s.caFile + " (" + TlsFieldName(TlsField::Ca) +
                      ") не содержит сертификатов в формате PEM.";
            return false;
        }
    } else if (s.fingerprint.empty()) {
        SSL_CTX_set_default_verify_paths(ctx);
    }
    if (s.certFile.empty()) {
        if (s.keyFile.empty()) return true;
        failure = "Ключ клиента (" + TlsFieldName(TlsField::Key) +
                  ") задан без сертификата клиента (" + TlsFieldName(TlsField::Cert) + ").";
        return false;
    }
    const std::string key = s.keyFile.empty() ? s.certFile : s.keyFile;
    failure =
        Readable(s.certFile, "Файл сертификата клиента (" + TlsFieldName(TlsField::Cert) + ")");
    if (failure.empty())
        failure = Readable(key, "Файл ключа клиента (" + TlsFieldName(TlsField::Key) + ")");
    if (!failure.empty()) return false;
    if (SSL_CTX_use_certificate_chain_file(ctx, s.certFile.c_str()) != 1) {
        failure = "Файл " + s.certFile + " (" + TlsFieldName(TlsField::Cert) +
                  ") не содержит сертификата в формате PEM.";
    } else if (SSL_CTX_use_PrivateKey_file(ctx, key.c_str(), SSL_FILETYPE_PEM) != 1) {
        failure = "Файл " + key + " не содержит ключа клиента в формате PEM (без пароля).";
    } else if (SSL_CTX_check_private_key(ctx) != 1) {
        failure = "Ключ " + key + " не подходит к сертификату клиента " + s.certFile + ".";
    }
    ERR_clear_error();
    return failure.empty();
}

std::string ClientCertificateWantedText(const std::string& where) {
    return "Сервер " + where + " требует сертификат клиента: укажите его и ключ" +
           (OperatorAsked() ? " в окне «Сервер» («Настройка порта»)."
                            : " (--tls-cert=ФАЙЛ --tls-key=ФАЙЛ).");
}

std::string HandshakeFailureText(const HandshakeFault& f) {
    if (!f.pinnedMismatch.empty() || f.expired || f.notYetValid || f.verifyError != X509_V_OK)
        return CertificateFault(f);
    if (f.clientCertAsked && !f.haveClientCert) return ClientCertificateWantedText(f.where);
    if (f.haveClientCert && ClientCertificateRefused(f.reason))
        return "Сервер " + f.where + " не принял сертификат клиента (" +
               TlsFieldName(TlsField::Cert) + ").";
    if (NotTls(f.reason)) {
        return "Сервер " + f.where +
               " отвечает не по TLS: на этом порту линия без шифрования (имя порта "
               "rfc2217:// или tcp://)?";
    }
    const std::string detail = f.library.empty() ? "" : " (" + f.library + ")";
    if (f.ended) {
        return "Сервер " + f.where + " прервал установку защищённого соединения (TLS)" + detail +
               ".";
    }
    return "Защищённое соединение (TLS) с сервером " + f.where + " не установлено" + detail + ".";
}

}  // namespace zep8
