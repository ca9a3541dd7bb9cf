#include "link/remote/tls_channel.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <arpa/inet.h>
#include <cerrno>
#include <ctime>

#include "link/line/run_stop.h"
#include "link/remote/tcp_socket.h"
#include "link/remote/tls_texts.h"
#include "link/remote/tls_trust.h"

namespace zep8 {

using Clock = std::chrono::steady_clock;

struct TlsChannel::State {
    SSL_CTX* ctx = nullptr;
    SSL* ssl = nullptr;
    int fd = -1;
    TlsSettings settings;
    X509* leaf = nullptr;              // the server's certificate, as the check saw it
    int verifyError = X509_V_OK;       // the first fault the authorities' check found
    std::string pinnedMismatch;        // the fingerprint the server showed instead
    bool expired = false, notYetValid = false;
    bool clientCertAsked = false;
    std::string broken;
    std::optional<CertificateFacts> untrusted;

    ~State() {
        if (ssl) SSL_free(ssl);
        if (ctx) SSL_CTX_free(ctx);
        if (leaf) X509_free(leaf);
    }
};

namespace {

// The socket's writes must not raise SIGPIPE when the server has gone: OpenSSL's
// own socket BIO writes with write(2), so the channel has one that sends.
int BioWrite(BIO* bio, const char* data, int size) {
    const ssize_t n = ::send(BIO_get_fd(bio, nullptr), data, static_cast<std::size_t>(size),
                             MSG_NOSIGNAL);
    BIO_clear_retry_flags(bio);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) BIO_set_retry_write(bio);
    return static_cast<int>(n);
}

int BioRead(BIO* bio, char* data, int size) {
    const int fd = BIO_get_fd(bio, nullptr);
    const ssize_t n = ::recv(fd, data, static_cast<std::size_t>(size), 0);
    AcknowledgeAtOnce(fd);
    BIO_clear_retry_flags(bio);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) BIO_set_retry_read(bio);
    return static_cast<int>(n);
}

long BioControl(BIO* bio, int command, long number, void* pointer) {
    switch (command) {
        case BIO_C_SET_FD:
            BIO_set_data(bio, nullptr);
            BIO_set_init(bio, 1);
            BIO_set_shutdown(bio, BIO_NOCLOSE);
            return BIO_meth_get_ctrl(BIO_s_socket())(bio, command, number, pointer);
        case BIO_C_GET_FD:
        case BIO_CTRL_FLUSH:
            return BIO_meth_get_ctrl(BIO_s_socket())(bio, command, number, pointer);
        default:
            return 0;
    }
}

const BIO_METHOD* SendingSocket() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK |
                                         BIO_TYPE_DESCRIPTOR,
                                     "zep8 socket");
        BIO_meth_set_write(m, BioWrite);
        BIO_meth_set_read(m, BioRead);
        BIO_meth_set_ctrl(m, BioControl);
        BIO_meth_set_create(m, BIO_meth_get_create(BIO_s_socket()));
        BIO_meth_set_destroy(m, BIO_meth_get_destroy(BIO_s_socket()));
        return m;
    }();
    return method;
}

TlsChannel::State* StateOf(X509_STORE_CTX* store) {
    auto* ssl = static_cast<SSL*>(
        X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    return static_cast<TlsChannel::State*>(SSL_get_app_data(ssl));
}

// Keeps the server's certificate and the first fault for the texts. With a
// pinned fingerprint the fingerprint stands in for the authorities and the
// name: only the dates still count.
int CheckCertificate(int ok, X509_STORE_CTX* store) {
    TlsChannel::State& s = *StateOf(store);
    const int depth = X509_STORE_CTX_get_error_depth(store);
    X509* cert = X509_STORE_CTX_get_current_cert(store);
    if (depth == 0 && cert && !s.leaf) {
        X509_up_ref(cert);
        s.leaf = cert;
    }
    const int error = X509_STORE_CTX_get_error(store);
    if (s.settings.fingerprint.empty()) {
        if (!ok && s.verifyError == X509_V_OK) s.verifyError = error;
        return ok;
    }
    if (depth != 0) return 1;
    if (const std::string seen = CertificateFingerprint(cert); seen != s.settings.fingerprint) {
        s.pinnedMismatch = seen;
        return 0;
    }
    if (!ok && error == X509_V_ERR_CERT_HAS_EXPIRED) s.expired = true;
    if (!ok && error == X509_V_ERR_CERT_NOT_YET_VALID) s.notYetValid = true;
    return s.expired || s.notYetValid ? 0 : 1;
}

// The server asks for a client certificate: with none set, the client sends
// none; either way the server may still turn the client away after the handshake.
int ClientCertificateAsked(SSL* ssl, void*) {
    static_cast<TlsChannel::State*>(SSL_get_app_data(ssl))->clientCertAsked = true;
    return 1;
}

int NoClientCertificate(SSL* ssl, X509**, EVP_PKEY**) {
    static_cast<TlsChannel::State*>(SSL_get_app_data(ssl))->clientCertAsked = true;
    return 0;
}

bool IsAddressLiteral(const std::string& host) {
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
           inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

std::string OpenSslReason() {
    const unsigned long error = ERR_peek_last_error();
    const char* reason = error ? ERR_reason_error_string(error) : nullptr;
    return reason ? reason : "";
}

}  // namespace

TlsChannel::TlsChannel() : state_(std::make_unique<State>()) {}
TlsChannel::~TlsChannel() = default;

std::string TlsChannel::Unavailable(const std::string&) {
    return {};
}

bool TlsChannel::Handshake(int fd, const std::string& host, const std::string& where,
                           const TlsSettings& settings, Event& stop, Clock::time_point deadline,
                           std::string& failure) {
    State& s = *state_;
    s.settings = settings;
    s.fd = fd;
    ERR_clear_error();
    s.ctx = SSL_CTX_new(TLS_client_method());
    if (!s.ctx) {
        failure = "Защищённое соединение недоступно: библиотека TLS не готова.";
        return false;
    }
    SSL_CTX_set_min_proto_version(s.ctx, TLS1_2_VERSION);
    if (!ConfigureTrust(s.ctx, settings, failure)) return false;
    SSL_CTX_set_verify(s.ctx, SSL_VERIFY_PEER, CheckCertificate);
    SSL_CTX_set_cert_cb(s.ctx, ClientCertificateAsked, nullptr);
    if (settings.certFile.empty()) SSL_CTX_set_client_cert_cb(s.ctx, NoClientCertificate);

    s.ssl = SSL_new(s.ctx);
    BIO* bio = BIO_new(SendingSocket());
    BIO_set_fd(bio, fd, BIO_NOCLOSE);
    SSL_set_bio(s.ssl, bio, bio);
    SSL_set_app_data(s.ssl, &s);
    // Without the name to check, any certificate the authorities signed would do.
    bool named = true;
    if (IsAddressLiteral(host)) {
        if (settings.fingerprint.empty())
            named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(s.ssl), host.c_str()) == 1;
    } else {
        SSL_set_tlsext_host_name(s.ssl, host.c_str());
        if (settings.fingerprint.empty()) {
            SSL_set_hostflags(s.ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
            named = SSL_set1_host(s.ssl, host.c_str()) == 1;
        }
    }
    if (!named) {
        failure = "Имя сервера " + host + " не годится для проверки его сертификата (TLS): "
                  "соединение не установлено.";
        ERR_clear_error();
        return false;
    }

    for (;;) {
        const int result = SSL_connect(s.ssl);
        if (result == 1) break;
        const int error = SSL_get_error(s.ssl, result);
        short wanted = 0;
        if (error == SSL_ERROR_WANT_READ) wanted = Event::kReadable;
        if (error == SSL_ERROR_WANT_WRITE) wanted = Event::kWritable;
        if (wanted == 0) {
            HandshakeFault fault;
            fault.where = where;
            fault.host = host;
            fault.leaf = s.leaf;
            fault.verifyError = s.verifyError;
            fault.pinned = settings.fingerprint;
            fault.pinnedMismatch = s.pinnedMismatch;
            fault.expired = s.expired;
            fault.notYetValid = s.notYetValid;
            fault.clientCertAsked = s.clientCertAsked;
            fault.haveClientCert = !settings.certFile.empty();
            fault.ended = error == SSL_ERROR_SYSCALL || error == SSL_ERROR_ZERO_RETURN;
            fault.reason = ERR_GET_REASON(ERR_peek_last_error());
            fault.library = OpenSslReason();
            failure = HandshakeFailureText(fault);
            if (settings.fingerprint.empty() && s.leaf && UntrustedByAuthorities(s.verifyError)) {
                s.untrusted =
                    CertificateFacts{where,
                                     CertificateSubject(s.leaf),
                                     CertificateIssuer(s.leaf),
                                     CertificateDate(X509_get0_notBefore(s.leaf)),
                                     CertificateDate(X509_get0_notAfter(s.leaf)),
                                     CertificateFingerprint(s.leaf),
                                     s.verifyError == X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT};
            }
            return false;
        }
        const int woke = WaitOnLine(stop, Event::Remaining(deadline), fd, wanted);
        if (woke == 0) {
            failure = "Соединение с сервером " + where + " прервано.";
            return false;
        }
        if (woke == Event::kTimedOut) {
            failure = "Сервер " + where +
                      " не закончил установку защищённого соединения (TLS) за 3 с: "
                      "на этом порту, возможно, линия без шифрования.";
            return false;
        }
    }
    if (s.clientCertAsked) return ClientAccepted(where, stop, failure);
    return true;
}

// TLS 1.3 ends the client's handshake before the server has checked the
// client's certificate (or seen that there is none): a server that turns the
// client away says so with an alert, or a reset, just after.
bool TlsChannel::ClientAccepted(const std::string& where, Event& stop, std::string& failure) {
    const auto until = Clock::now() + std::chrono::milliseconds(300);
    for (;;) {
        char byte;
        const int peeked = SSL_peek(state_->ssl, &byte, 1);
        if (peeked > 0) return true;
        const int error = SSL_get_error(state_->ssl, peeked);
        if (error != SSL_ERROR_WANT_READ) break;
        const int woke = WaitOnLine(stop, Event::Remaining(until), state_->fd);
        if (woke == 0) {
            failure = "Соединение с сервером " + where + " прервано.";
            return false;
        }
        if (woke == Event::kTimedOut) return true;
    }
    failure = state_->settings.certFile.empty()
                  ? ClientCertificateWantedText(where)
                  : "Сервер " + where + " не принял сертификат клиента " +
                        state_->settings.certFile + " (" + TlsFieldName(TlsField::Cert) + ").";
    ERR_clear_error();
    return false;
}

int TlsChannel::Read(char* buffer, std::size_t size) {
    const int n = SSL_read(state_->ssl, buffer, static_cast<int>(size));
    if (n > 0) return n;
    const int error = SSL_get_error(state_->ssl, n);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) return kNothing;
    if (error == SSL_ERROR_ZERO_RETURN) return kClosed;
    if (error == SSL_ERROR_SYSCALL && errno == 0) return kClosed;  // ended without close_notify
    state_->broken = error == SSL_ERROR_SYSCALL ? SocketErrorText(errno) : OpenSslReason();
    ERR_clear_error();
    return kBroken;
}

bool TlsChannel::Pending() const {
    return SSL_pending(state_->ssl) > 0;
}

int TlsChannel::Write(std::string_view bytes, Event& stop, Clock::time_point deadline) {
    while (!bytes.empty()) {
        const int n = SSL_write(state_->ssl, bytes.data(), static_cast<int>(bytes.size()));
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        const int error = SSL_get_error(state_->ssl, n);
        short wanted = 0;
        if (error == SSL_ERROR_WANT_READ) wanted = Event::kReadable;
        if (error == SSL_ERROR_WANT_WRITE) wanted = Event::kWritable;
        if (wanted == 0) {
            state_->broken = error == SSL_ERROR_SYSCALL ? SocketErrorText(errno) : OpenSslReason();
            ERR_clear_error();
            return kBroken;
        }
        const int woke = WaitOnLine(stop, Event::Remaining(deadline), state_->fd, wanted);
        if (woke == 0) return kStopped;
        if (woke == Event::kTimedOut) return kStalled;
    }
    return 0;
}

void TlsChannel::Shutdown() {
    if (state_->ssl) SSL_shutdown(state_->ssl);
    ERR_clear_error();
}

TlsFacts TlsChannel::Facts() const {
    TlsFacts facts;
    if (!state_->ssl) return facts;
    facts.protocol = SSL_get_version(state_->ssl);
    facts.cipher = SSL_get_cipher_name(state_->ssl);
    if (X509* cert = SSL_get0_peer_certificate(state_->ssl)) {
        facts.subject = CertificateSubject(cert);
        facts.notAfter = CertificateDate(X509_get0_notAfter(cert));
    }
    return facts;
}

std::string TlsChannel::BrokenReason() const {
    return state_->broken;
}

std::optional<CertificateFacts> TlsChannel::UntrustedCertificate() const {
    return state_->untrusted;
}

}  // namespace zep8
