#include "platform/TlsStream.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform/Errors.h"

namespace velora {
namespace {

// ---- The socket under the TLS layer ------------------------------------------------
// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE on a connection
// the peer has reset; this one sends with MSG_NOSIGNAL as TcpSocket does, and never
// blocks, so every wait stays with our poll() calls and their time-outs.

struct Wire {
    int fd = -1;
    bool atEnd = false;   // the peer's side of the stream has ended
};

int wireWrite(BIO* bio, const char* data, int size) {
    BIO_clear_retry_flags(bio);
    const auto* wire = static_cast<Wire*>(BIO_get_data(bio));
    for (;;) {
        const ssize_t n = ::send(wire->fd, data, static_cast<std::size_t>(size), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) return static_cast<int>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) BIO_set_retry_write(bio);
        return -1;
    }
}

int wireRead(BIO* bio, char* data, int size) {
    BIO_clear_retry_flags(bio);
    auto* wire = static_cast<Wire*>(BIO_get_data(bio));
    for (;;) {
        const ssize_t n = ::recv(wire->fd, data, static_cast<std::size_t>(size), MSG_DONTWAIT);
        if (n > 0) return static_cast<int>(n);
        if (n == 0) {
            wire->atEnd = true;
            return 0;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) BIO_set_retry_read(bio);
        return -1;
    }
}

long wireControl(BIO* bio, int command, long, void*) {
    switch (command) {
    case BIO_CTRL_FLUSH:
        return 1;
    case BIO_CTRL_EOF:
        return static_cast<Wire*>(BIO_get_data(bio))->atEnd ? 1 : 0;
    default:
        return 0;
    }
}

BIO_METHOD* wireMethod() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "velora socket");
        if (!m) return m;
        BIO_meth_set_write(m, wireWrite);
        BIO_meth_set_read(m, wireRead);
        BIO_meth_set_ctrl(m, wireControl);
        BIO_meth_set_create(m, [](BIO* bio) {
            BIO_set_init(bio, 1);
            return 1;
        });
        return m;
    }();
    return method;
}

// ---- Errors ----------------------------------------------------------------------

// OpenSSL's reason for the last failure of `ssl`, in its own words; the queue is
// emptied so the next call starts clean.
std::string reasonOf(SSL* ssl, int result, const Wire& wire, int systemError) {
    const int kind = SSL_get_error(ssl, result);
    std::string reason;
    if (const unsigned long code = ERR_peek_last_error(); code != 0) {
        const char* text = ERR_reason_error_string(code);
        reason = text ? text : "unbekannter TLS-Fehler";
    }
    ERR_clear_error();
    if (!reason.empty()) return reason;
    if (kind == SSL_ERROR_ZERO_RETURN || wire.atEnd) return "Verbindung vom Server geschlossen";
    if (kind == SSL_ERROR_SYSCALL && systemError != 0) return std::strerror(systemError);
    return "TLS-Fehler " + std::to_string(kind);
}

// poll() for one event, restarted after a signal; false when the time ran out.
bool waitFor(int fd, short event, int timeoutMs) {
    pollfd p{fd, event, 0};
    for (;;) {
        const int rc = ::poll(&p, 1, timeoutMs);
        if (rc > 0) return true;
        if (rc == 0) return false;
        if (errno != EINTR) throw SocketError(std::strerror(errno));
    }
}

Sha256 fingerprintOf(X509* certificate) {
    Sha256 out{};
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), out.data(), &length) != 1 || length != out.size()) {
        throw GeneralError("Zertifikat nicht lesbar");
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool startsWithNoCase(const std::string& text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

// ---- Fingerprints ------------------------------------------------------------------

Sha256 parseSha256Fingerprint(const std::string& text) {
    std::string rest = text;
    while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.front()))) rest.erase(0, 1);
    while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.back()))) rest.pop_back();
    for (std::string_view prefix : {"sha256 fingerprint=", "fingerprint="}) {
        if (startsWithNoCase(rest, prefix)) {
            rest.erase(0, prefix.size());
            break;
        }
    }
    const GeneralError malformed("Ungültiger TLS-Fingerabdruck \"" + text +
                                 "\": erwartet werden 32 Hex-Paare mit Doppelpunkten (AB:CD:...)");
    Sha256 out{};
    if (rest.size() != out.size() * 3 - 1) throw malformed;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int high = hexValue(rest[i * 3]);
        const int low = hexValue(rest[i * 3 + 1]);
        if (high < 0 || low < 0 || (i + 1 < out.size() && rest[i * 3 + 2] != ':')) throw malformed;
        out[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return out;
}

std::string formatSha256Fingerprint(const Sha256& fingerprint) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char byte : fingerprint) {
        if (!out.empty()) out += ':';
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
    return out;
}

// ---- The TLS state of one connection ------------------------------------------------

struct TlsStream::Tls {
    SSL_CTX* context = nullptr;   // shared by a control connection and its data connections
    SSL* ssl = nullptr;
    Wire wire;
    TlsPeer peer;
    // The handshake failed or the certificate was refused: nothing more crosses, in
    // TLS or in plain text.
    bool failed = false;

    Tls(SSL_CTX* sharedContext, int fd, TlsPeer who) : context(sharedContext), peer(std::move(who)) {
        SSL_CTX_up_ref(context);
        wire.fd = fd;
        ssl = SSL_new(context);
        BIO* bio = ssl ? BIO_new(wireMethod()) : nullptr;
        if (!bio) {
            SSL_free(ssl);
            SSL_CTX_free(context);
            ERR_clear_error();
            throw GeneralError("TLS nicht verfügbar");
        }
        BIO_set_data(bio, &wire);
        SSL_set_bio(ssl, bio, bio);
        expectPeer();
    }
    ~Tls() {
        SSL_free(ssl);
        SSL_CTX_free(context);
    }
    Tls(const Tls&) = delete;
    Tls& operator=(const Tls&) = delete;

    static SSL_CTX* newContext() {
        SSL_CTX* context = SSL_CTX_new(TLS_client_method());
        if (!context) throw GeneralError("TLS nicht verfügbar");
        SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
        // The handshake goes on whatever the certificate; verify() decides afterwards,
        // before a byte of ours crosses, and can then name the certificate it refused.
        SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr);
        SSL_CTX_set_default_verify_paths(context);
        SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        return context;
    }

    // The name the certificate must carry; a pinned certificate needs none. A server
    // with several certificates still learns which name we asked for.
    void expectPeer() {
        const bool numeric = TcpSocket::isNumericIPv4(peer.host);
        if (!numeric) SSL_set_tlsext_host_name(ssl, peer.host.c_str());
        if (peer.pinned) return;
        if (numeric) {
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), peer.host.c_str());
        } else {
            SSL_set1_host(ssl, peer.host.c_str());
        }
    }

    void verify() const {
        X509* certificate = SSL_get0_peer_certificate(ssl);
        if (!certificate) throw GeneralError("Zertifikat nicht vertrauenswürdig: der Server zeigt keines");
        const Sha256 actual = fingerprintOf(certificate);
        if (peer.pinned) {
            if (actual != *peer.pinned) {
                throw GeneralError("Zertifikat nicht vertrauenswürdig: SHA-256 Fingerabdruck " +
                                   formatSha256Fingerprint(actual) + " statt des eingetragenen " +
                                   formatSha256Fingerprint(*peer.pinned));
            }
            return;
        }
        const long result = SSL_get_verify_result(ssl);
        if (result != X509_V_OK) {
            throw GeneralError(std::string("Zertifikat nicht vertrauenswürdig: ") +
                               X509_verify_cert_error_string(result) + " (SHA-256 Fingerabdruck " +
                               formatSha256Fingerprint(actual) + ")");
        }
    }

    // Decrypted data for us that no read has taken yet.
    bool dataReady() const { return SSL_pending(ssl) > 0; }
};

TlsStream::TlsStream() = default;
TlsStream::TlsStream(TcpSocket socket) : socket_(std::move(socket)) {}
TlsStream::~TlsStream() = default;
TlsStream::TlsStream(TlsStream&& other) noexcept = default;

TlsStream& TlsStream::operator=(TlsStream&& other) noexcept {
    if (this != &other) {
        tls_ = std::move(other.tls_);
        socket_ = std::move(other.socket_);
    }
    return *this;
}

void TlsStream::close() {
    tls_.reset();
    socket_.close();
}

void TlsStream::abort() {
    tls_.reset();
    socket_.abort();
}

bool TlsStream::secured() const { return tls_ && !tls_->failed; }

void TlsStream::startTls(const TlsPeer& peer, int timeoutMs) {
    if (!socket_.isOpen()) throw SocketError(std::strerror(EBADF));
    SSL_CTX* context = Tls::newContext();
    try {
        tls_ = std::make_unique<Tls>(context, socket_.fd(), peer);
    } catch (...) {
        SSL_CTX_free(context);
        throw;
    }
    SSL_CTX_free(context);   // the connection holds its own reference
    handshake("TLS-Aushandlung fehlgeschlagen", timeoutMs);
}

void TlsStream::startTlsResuming(const TlsStream& control, int timeoutMs) {
    if (!socket_.isOpen() || !control.secured()) throw SocketError(std::strerror(EBADF));
    tls_ = std::make_unique<Tls>(control.tls_->context, socket_.fd(), control.tls_->peer);
    // The control connection's latest session: with TLS 1.3 its ticket arrives after
    // the handshake, and the replies read since then have taken it in.
    if (SSL_SESSION* session = SSL_get1_session(control.tls_->ssl)) {
        SSL_set_session(tls_->ssl, session);
        SSL_SESSION_free(session);
    }
    handshake("TLS der Datenverbindung fehlgeschlagen", timeoutMs);
}

void TlsStream::handshake(const char* what, int timeoutMs) {
    const Deadline deadline(timeoutMs);
    ERR_clear_error();
    for (;;) {
        errno = 0;
        const int rc = SSL_connect(tls_->ssl);
        if (rc == 1) break;
        const int systemError = errno;
        const int kind = SSL_get_error(tls_->ssl, rc);
        short event = 0;
        if (kind == SSL_ERROR_WANT_READ) event = POLLIN;
        if (kind == SSL_ERROR_WANT_WRITE) event = POLLOUT;
        if (event == 0) {
            tls_->failed = true;
            throw GeneralError(std::string(what) + ": " + reasonOf(tls_->ssl, rc, tls_->wire, systemError));
        }
        if (deadline.passed() || !waitFor(socket_.fd(), event, deadline.remainingMs())) {
            tls_->failed = true;
            throw GeneralError(std::string(what) + ": Zeitüberschreitung");
        }
    }
    try {
        tls_->verify();
    } catch (...) {
        tls_->failed = true;
        throw;
    }
}

// A record that does not decrypt, an alert, a reset: the connection is as good as
// broken, and is treated so, and nothing more goes out on it.
SocketError TlsStream::brokenTls(int result, int systemError) {
    tls_->failed = true;
    if (SSL_get_error(tls_->ssl, result) == SSL_ERROR_SYSCALL && systemError != 0) {
        ERR_clear_error();
        return SocketError(std::strerror(systemError));
    }
    return SocketError("TLS-Fehler: " + reasonOf(tls_->ssl, result, tls_->wire, systemError));
}

void TlsStream::requireUsable() const {
    if (!socket_.isOpen()) throw SocketError(std::strerror(EBADF));
    if (tls_->failed) throw SocketError("TLS-Verbindung unbrauchbar");
}

bool TlsStream::buffered() const { return secured() && tls_->dataReady(); }

bool TlsStream::waitReadable(int timeoutMs) const {
    if (!tls_) return socket_.waitReadable(timeoutMs);
    requireUsable();
    const Deadline deadline(timeoutMs);
    for (;;) {
        if (tls_->dataReady()) return true;
        // A peek takes in records that hold nothing for us (session tickets, key
        // updates) and tells whether one holding data has come.
        char probe;
        ERR_clear_error();
        const int rc = SSL_peek(tls_->ssl, &probe, 1);
        if (rc > 0) return true;
        const int kind = SSL_get_error(tls_->ssl, rc);
        ERR_clear_error();
        if (kind != SSL_ERROR_WANT_READ && kind != SSL_ERROR_WANT_WRITE) return true;   // the end or an error
        const short event = kind == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
        if (deadline.passed() || !waitFor(socket_.fd(), event, deadline.remainingMs())) return false;
    }
}

std::optional<std::size_t> TlsStream::readSome(char* buffer, std::size_t size, int timeoutMs) {
    if (!tls_) return socket_.readSome(buffer, size, timeoutMs);
    requireUsable();
    const Deadline deadline(timeoutMs);
    const int wanted = static_cast<int>(std::min<std::size_t>(size, 1 << 30));
    for (;;) {
        ERR_clear_error();
        errno = 0;
        const int rc = SSL_read(tls_->ssl, buffer, wanted);
        if (rc > 0) return static_cast<std::size_t>(rc);
        const int systemError = errno;
        const int kind = SSL_get_error(tls_->ssl, rc);
        if (kind == SSL_ERROR_ZERO_RETURN) return 0;
        if (kind == SSL_ERROR_WANT_READ || kind == SSL_ERROR_WANT_WRITE) {
            const short event = kind == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
            if (deadline.passed() || !waitFor(socket_.fd(), event, deadline.remainingMs())) return std::nullopt;
            continue;
        }
        // A peer that hangs up without close_notify has still closed the connection.
        if (tls_->wire.atEnd) {
            ERR_clear_error();
            return 0;
        }
        throw brokenTls(rc, systemError);
    }
}

SendResult TlsStream::sendFromFile(int fileFd, std::int64_t offset, std::size_t count, int stallTimeoutMs) {
    if (tls_) throw SocketError("Senden aus einer Datei ist über TLS nicht möglich");
    return socket_.sendFromFile(fileFd, offset, count, stallTimeoutMs);
}

SendResult TlsStream::writeAll(std::string_view bytes, int stallTimeoutMs) {
    if (!tls_) return socket_.writeAll(bytes, stallTimeoutMs);
    requireUsable();
    SendResult result;
    while (result.written < bytes.size()) {
        const std::string_view rest = bytes.substr(result.written);
        const int chunk = static_cast<int>(std::min<std::size_t>(rest.size(), 1 << 30));
        ERR_clear_error();
        errno = 0;
        const int rc = SSL_write(tls_->ssl, rest.data(), chunk);
        if (rc > 0) {
            result.written += static_cast<std::size_t>(rc);
            continue;
        }
        const int systemError = errno;
        const int kind = SSL_get_error(tls_->ssl, rc);
        if (kind == SSL_ERROR_WANT_WRITE || kind == SSL_ERROR_WANT_READ) {
            if (!waitFor(socket_.fd(), kind == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN, stallTimeoutMs)) {
                result.kind = SendResult::Stalled;
                return result;
            }
            continue;
        }
        if (kind == SSL_ERROR_SYSCALL && connectionLost(systemError)) {
            ERR_clear_error();
            result.kind = SendResult::ConnectionLost;
            result.systemError = systemError;
            return result;
        }
        throw brokenTls(rc, systemError);
    }
    return result;
}

SendResult TlsStream::shutdownSend(int stallTimeoutMs) {
    SendResult result;
    if (tls_) {
        requireUsable();
        for (;;) {
            ERR_clear_error();
            errno = 0;
            const int rc = SSL_shutdown(tls_->ssl);
            if (rc >= 0) break;   // our close_notify is out
            const int systemError = errno;
            const int kind = SSL_get_error(tls_->ssl, rc);
            ERR_clear_error();
            if (kind == SSL_ERROR_WANT_WRITE) {
                if (!waitFor(socket_.fd(), POLLOUT, stallTimeoutMs)) {
                    result.kind = SendResult::Stalled;
                    return result;
                }
                continue;
            }
            // A connection already lost shows up in takePeerState().
            if (kind == SSL_ERROR_SYSCALL && connectionLost(systemError)) return result;
            break;
        }
    }
    socket_.shutdownSend();
    return result;
}

PeerState TlsStream::takePeerState(int* systemError) {
    if (!tls_) return socket_.takePeerState(systemError);
    requireUsable();
    char sink[4096];
    ERR_clear_error();
    errno = 0;
    const int rc = SSL_read(tls_->ssl, sink, sizeof sink);
    if (rc > 0) return PeerState::Open;
    const int lostBecause = errno;
    const int kind = SSL_get_error(tls_->ssl, rc);
    ERR_clear_error();
    if (kind == SSL_ERROR_WANT_READ || kind == SSL_ERROR_WANT_WRITE) return PeerState::Open;
    if (kind == SSL_ERROR_ZERO_RETURN || tls_->wire.atEnd) return PeerState::Closed;
    if (kind == SSL_ERROR_SYSCALL && connectionLost(lostBecause)) {
        if (systemError) *systemError = lostBecause;
        return PeerState::Lost;
    }
    // Garbage where a record should be: whatever the server took, it did not take
    // our stream as it was sent.
    if (systemError) *systemError = EPROTO;
    return PeerState::Lost;
}

}  // namespace velora
