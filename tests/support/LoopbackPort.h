#pragma once
// A port on 127.0.0.1 that refuses every connection, for as long as the test process
// runs: a socket is bound to it but never listens, and it is never released, so no
// other socket can take the port in between. (Without SO_REUSEADDR the binding is
// exclusive.)
#include <netinet/in.h>
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

}  // namespace velora::test
