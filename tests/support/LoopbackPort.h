#pragma once
// Ports on 127.0.0.1 that never take a connection, for as long as the test process
// runs, and are never released, so no other socket can take them in between (without
// SO_REUSEADDR a binding is exclusive): one refuses at once, the other drops every
// connection request as a host behind a broken link does.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/TcpConnector.h"

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
// further request without an answer, as a host behind a broken link does. The queue
// counts as full once a request has waited two seconds unanswered.
inline int synDroppingLoopbackPort() {
    static std::vector<TcpSocket> kept;   // the listener and what it queued, for good
    static const int port = [] {
        kept.push_back(TcpSocket::listenOn("127.0.0.1", 0));
        const int p = kept.front().localAddress().port;
        while (std::optional<TcpSocket> queued = SystemTcpConnector().connectWithin("127.0.0.1", p, 2000)) {
            kept.push_back(std::move(*queued));
        }
        return p;
    }();
    return port;
}

}  // namespace velora::test
