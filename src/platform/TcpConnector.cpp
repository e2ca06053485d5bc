#include "platform/TcpConnector.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/Errors.h"

namespace velora {
namespace {

[[noreturn]] void raiseSystem(int code) { throw SocketError(std::strerror(code)); }

sockaddr_in addressOf(const std::string& ip, int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    if (port < 1 || port > 65535 || inet_pton(AF_INET, ip.c_str(), &addr.sin_addr) != 1) raiseSystem(EINVAL);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    return addr;
}

// Waits until the connection attempt has an outcome; false when the time ran out.
bool waitWritable(int fd, int timeoutMs) {
    using Steady = std::chrono::steady_clock;
    const auto deadline = Steady::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
        pollfd p{fd, POLLOUT, 0};
        const int rc = ::poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
        if (rc > 0) return true;
        if (rc == 0) return false;
        if (errno != EINTR) raiseSystem(errno);
    }
}

}  // namespace

std::optional<TcpSocket> SystemTcpConnector::connectWithin(const std::string& ip, int port, int timeoutMs) {
    const sockaddr_in addr = addressOf(ip, port);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) raiseSystem(errno);
    TcpSocket socket(fd);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) raiseSystem(errno);
        if (!waitWritable(fd, timeoutMs)) return std::nullopt;
        int error = 0;
        socklen_t len = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0) raiseSystem(errno);
        if (error != 0) raiseSystem(error);
    }
    // The socket's readers and writers wait with poll() themselves and expect a
    // blocking descriptor.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) raiseSystem(errno);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return socket;
}

}  // namespace velora
