#include "support/ServerTls.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <stdexcept>

namespace velora::test {

struct ServerTls::State {
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    int fd = -1;
    ~State() {
        SSL_free(ssl);
        SSL_CTX_free(context);
    }
};

ServerTls::ServerTls(int fd, const TestCertificate& certificate, int waitMs) : state_(std::make_unique<State>()) {
    // OpenSSL's socket writes raise SIGPIPE on a connection the client has dropped, as
    // it does after refusing the server; the test process must outlive that.
    static const bool ignored = [] {
        ::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)ignored;
    const timeval wait{waitMs / 1000, (waitMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    state_->fd = fd;
    state_->context = SSL_CTX_new(TLS_server_method());
    if (!state_->context ||
        SSL_CTX_use_certificate_file(state_->context, certificate.certificateFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(state_->context, certificate.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        throw std::runtime_error("ServerTls: certificate not usable");
    }
    state_->ssl = SSL_new(state_->context);
    SSL_set_fd(state_->ssl, fd);
    if (SSL_accept(state_->ssl) != 1) {
        ERR_clear_error();
        throw std::runtime_error("ServerTls: handshake failed");
    }
}

ServerTls::~ServerTls() = default;

std::optional<std::size_t> ServerTls::readSome(char* buffer, std::size_t size, int timeoutMs) {
    if (SSL_pending(state_->ssl) == 0) {
        pollfd p{state_->fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
    }
    const int n = SSL_read(state_->ssl, buffer, static_cast<int>(size));
    if (n > 0) return static_cast<std::size_t>(n);
    const int kind = SSL_get_error(state_->ssl, n);
    ERR_clear_error();
    // A record that held no data (an alert we ignore, a ticket) is not the end.
    if (kind == SSL_ERROR_WANT_READ) return std::nullopt;
    return 0;
}

bool ServerTls::writeAll(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const int n = SSL_write(state_->ssl, bytes.data() + done, static_cast<int>(bytes.size() - done));
        if (n <= 0) {
            ERR_clear_error();
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace velora::test
