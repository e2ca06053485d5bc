#pragma once
// The bytes of one fuzz input as what a peer sent on a connection and then closed:
// the readers under test take a TcpSocket and must cope with whatever arrives.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "platform/TcpSocket.h"

namespace velora::fuzz {

// Inputs are kept below what a socket pair buffers, so the whole input can be written
// before the reader starts and no second thread is needed.
inline constexpr std::size_t kMaxInput = 64 * 1024;

inline TcpSocket peerSent(const std::uint8_t* data, std::size_t size) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) throw std::runtime_error("socketpair");
    const int buffer = 4 * static_cast<int>(kMaxInput);
    ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fds[1], data + done, size - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fds[1]);
    return TcpSocket(fds[0]);
}

}  // namespace velora::fuzz
