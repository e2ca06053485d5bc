#pragma once
// Ports on 127.0.0.1 that never take a connection, for as long as the test process
// runs, and are never released, so no other socket can take them in between (without
// SO_REUSEADDR a binding is exclusive): one refuses at once, the other drops every
// connection request as a host behind a broken link does.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace velora::test {

inline int refusingLoopbackPort() {
    static const int port = [] {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            throw std::runtime_error("no loopback port to reserve");
        }
        return static_cast<int>(ntohs(addr.sin_port));   // fd stays open on purpose
    }();
    return port;
}

// A listener that never accepts, with its queue filled: the system then drops every
// further request without an answer, so a connect there waits until its caller gives
// up. The queue counts as full once a request has waited two seconds unanswered.
inline int synDroppingLoopbackPort() {
    static const int port = [] {
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
            ::listen(listener, 0) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            throw std::runtime_error("no loopback port to listen on");
        }
        for (int queued = 0; queued < 16; ++queued) {
            // Queued connections stay open on purpose, like the listener.
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            if (fd < 0) break;
            ::connect(fd, reinterpret_cast<sockaddr*>(&addr), len);
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 2000) == 0) {
                ::close(fd);
                return static_cast<int>(ntohs(addr.sin_port));
            }
        }
        throw std::runtime_error("the listener's queue never filled");
    }();
    return port;
}

}  // namespace velora::test
