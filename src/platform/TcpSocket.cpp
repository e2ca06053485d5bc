#include "platform/TcpSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include "platform/Errors.h"

namespace velora {
namespace {

[[noreturn]] void raiseSystem(int code) { throw SocketError(std::strerror(code)); }

void requireOpen(int fd) {
    if (fd < 0) raiseSystem(EBADF);
}

sockaddr_in makeAddress(const std::string& ip, int port) {
    if (port < 0 || port > 65535) raiseSystem(EINVAL);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, ip.c_str(), &addr.sin_addr) != 1) raiseSystem(EINVAL);
    return addr;
}

SocketAddress fromSockaddr(const sockaddr_in& addr) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
    return {text, ntohs(addr.sin_port)};
}

int newStreamSocket() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) raiseSystem(errno);
    return fd;
}

// poll() that restarts after a signal and keeps the remaining time honest enough for
// our short waits.
int pollRetry(pollfd* fds, nfds_t count, int timeoutMs) {
    for (;;) {
        const int rc = ::poll(fds, count, timeoutMs);
        if (rc >= 0 || errno != EINTR) return rc;
    }
}

// Waits for room to send on `fd`: false when none came within the stall time-out.
bool roomWithin(int fd, int stallTimeoutMs) {
    pollfd p{fd, POLLOUT, 0};
    const int rc = pollRetry(&p, 1, stallTimeoutMs);
    if (rc < 0) raiseSystem(errno);
    return rc != 0;
}

SendResult ended(SendResult result, SendResult::Kind kind, int systemError = 0) {
    result.kind = kind;
    result.systemError = systemError;
    return result;
}

// A failed send ends the connection (told in the result) or is a fault of our own use
// of the socket (raised).
SendResult lostOrRaise(const SendResult& result, int systemError) {
    if (!connectionLost(systemError)) raiseSystem(systemError);
    return ended(result, SendResult::ConnectionLost, systemError);
}

long long monotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

bool connectionLost(int code) {
    switch (code) {
    case EPIPE: case ECONNRESET: case ECONNABORTED: case ETIMEDOUT:
    case EHOSTUNREACH: case ENETUNREACH: case ENETDOWN: case ENETRESET:
        return true;
    default:
        return false;
    }
}

Deadline::Deadline(int ms) : endMs_(monotonicMs() + std::max(ms, 0)) {}

int Deadline::remainingMs() const {
    const long long left = endMs_ - monotonicMs();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1LL << 30));
}

int Deadline::cap(int ms) const { return std::min(ms, remainingMs()); }

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

void TcpSocket::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool TcpSocket::isNumericIPv4(const std::string& host) {
    in_addr addr{};
    return inet_pton(AF_INET, host.c_str(), &addr) == 1;
}

TcpSocket TcpSocket::listenOn(const std::string& ip, int port) {
    const sockaddr_in addr = makeAddress(ip, port);
    TcpSocket sock(newStreamSocket());
    const int one = 1;
    ::setsockopt(sock.fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(sock.fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) raiseSystem(errno);
    if (::listen(sock.fd_, 4) != 0) raiseSystem(errno);
    return sock;
}

bool TcpSocket::waitReadable(int timeoutMs) const {
    requireOpen(fd_);
    pollfd p{fd_, POLLIN, 0};
    const int rc = pollRetry(&p, 1, timeoutMs);
    if (rc < 0) raiseSystem(errno);
    return rc > 0;
}

std::optional<std::size_t> TcpSocket::readSome(char* buffer, std::size_t size, int timeoutMs) {
    if (!waitReadable(timeoutMs)) return std::nullopt;
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, size, 0);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return std::nullopt;
        raiseSystem(errno);
    }
}

SendResult TcpSocket::writeAll(std::string_view bytes, int stallTimeoutMs) {
    requireOpen(fd_);
    SendResult result;
    while (result.written < bytes.size()) {
        if (!roomWithin(fd_, stallTimeoutMs)) return ended(result, SendResult::Stalled);
        const std::string_view rest = bytes.substr(result.written);
        const ssize_t n = ::send(fd_, rest.data(), rest.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return lostOrRaise(result, errno);
        }
        result.written += static_cast<std::size_t>(n);
    }
    return result;
}

SendResult TcpSocket::sendFromFile(int fileFd, std::int64_t offset, std::size_t count, int stallTimeoutMs) {
    requireOpen(fd_);
    // sendfile() has no "don't wait" of its own; on a blocking socket it would wait
    // for a stalled peer without a bound.
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK) != 0) raiseSystem(errno);
    struct RestoreFlags {
        int fd, flags;
        ~RestoreFlags() { ::fcntl(fd, F_SETFL, flags); }
    } restore{fd_, flags};
    SendResult result;
    auto at = static_cast<off_t>(offset);
    while (result.written < count) {
        if (!roomWithin(fd_, stallTimeoutMs)) return ended(result, SendResult::Stalled);
        const ssize_t n = ::sendfile(fd_, fileFd, &at, count - result.written);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            // A file system that cannot hand its pages to a socket (ecryptfs, say): the
            // rest goes through a buffer of ours.
            if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
                const SendResult rest = sendThroughBuffer(fileFd, at, count - result.written, stallTimeoutMs);
                result.written += rest.written;
                return ended(result, rest.kind, rest.systemError);
            }
            return lostOrRaise(result, errno);
        }
        // The file ended early: its blocks were counted before, so it was cut meanwhile.
        if (n == 0) raiseSystem(EIO);
        result.written += static_cast<std::size_t>(n);
    }
    return result;
}

SendResult TcpSocket::sendThroughBuffer(int fileFd, std::int64_t offset, std::size_t count, int stallTimeoutMs) {
    constexpr std::size_t kPiece = 64 * 1024;
    const auto piece = std::make_unique_for_overwrite<char[]>(kPiece);
    SendResult result;
    while (result.written < count) {
        const ssize_t n = ::pread(fileFd, piece.get(), std::min(kPiece, count - result.written),
                                  static_cast<off_t>(offset) + static_cast<off_t>(result.written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) raiseSystem(n < 0 ? errno : EIO);
        const SendResult sent = writeAll(std::string_view(piece.get(), static_cast<std::size_t>(n)), stallTimeoutMs);
        result.written += sent.written;
        if (!sent.ok()) return ended(result, sent.kind, sent.systemError);
    }
    return result;
}

void TcpSocket::shutdownSend() {
    requireOpen(fd_);
    // A connection already lost shows up in takePeerState().
    if (::shutdown(fd_, SHUT_WR) != 0 && errno != ENOTCONN) raiseSystem(errno);
}

long TcpSocket::unacknowledgedBytes() const {
    requireOpen(fd_);
    int queued = 0;
    if (::ioctl(fd_, SIOCOUTQ, &queued) != 0) return -1;
    return queued;
}

PeerState TcpSocket::takePeerState(int* systemError) {
    requireOpen(fd_);
    char sink[4096];
    for (;;) {
        const ssize_t n = ::recv(fd_, sink, sizeof sink, MSG_DONTWAIT);
        if (n == 0) return PeerState::Closed;
        if (n > 0) return PeerState::Open;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return PeerState::Open;
        if (connectionLost(errno)) {
            if (systemError) *systemError = errno;
            return PeerState::Lost;
        }
        raiseSystem(errno);
    }
}

void TcpSocket::abort() {
    if (fd_ < 0) return;
    const linger hard{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close();
}

std::optional<TcpSocket> TcpSocket::accept(int timeoutMs) {
    if (!waitReadable(timeoutMs)) return std::nullopt;
    int fd;
    do {
        fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) raiseSystem(errno);
    return TcpSocket(fd);
}

SocketAddress TcpSocket::localAddress() const {
    requireOpen(fd_);
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) raiseSystem(errno);
    return fromSockaddr(addr);
}

SocketAddress TcpSocket::peerAddress() const {
    requireOpen(fd_);
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) raiseSystem(errno);
    return fromSockaddr(addr);
}

int waitAnyReadable(const int* fds, int count, int timeoutMs) {
    pollfd polls[8];
    if (count > 8) raiseSystem(EINVAL);
    for (int i = 0; i < count; ++i) polls[i] = {fds[i], POLLIN, 0};
    const int rc = pollRetry(polls, static_cast<nfds_t>(count), timeoutMs);
    if (rc < 0) raiseSystem(errno);
    for (int i = 0; i < count; ++i) {
        if (polls[i].revents != 0) return i;
    }
    return -1;
}

}  // namespace velora
