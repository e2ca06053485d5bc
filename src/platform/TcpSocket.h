#pragma once
// A TCP/IPv4 stream socket over POSIX calls. Every wait is bounded by a time-out
// given by the caller and done with poll(); failures of the socket layer raise
// SocketError with the system's own text. Connecting has no time-out of its own: the
// system decides when to give up, as the program expects.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velora {

struct SocketAddress {
    std::string ip;   // dotted IPv4
    int port = 0;
};

class TcpSocket {
public:
    TcpSocket() = default;
    explicit TcpSocket(int fd) : fd_(fd) {}
    ~TcpSocket() { close(); }
    TcpSocket(TcpSocket&& other) noexcept : fd_(other.release()) {}
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // True for a dotted IPv4 address such as "127.0.0.1" (no name look-up needed).
    static bool isNumericIPv4(const std::string& host);
    // The first IPv4 address of a host name (a numeric address is returned as is).
    static std::string resolve(const std::string& host);
    // Connects to a numeric IPv4 address.
    static TcpSocket connectTo(const std::string& ip, int port);
    // A listening socket on ip:port (port 0: any free port).
    static TcpSocket listenOn(const std::string& ip, int port);

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void close();

    // True when a read would not block (data, end of stream or an error is pending).
    bool waitReadable(int timeoutMs) const;
    // Up to `size` bytes; 0 at the peer's orderly close; nullopt when nothing came
    // within the time-out.
    std::optional<std::size_t> readSome(char* buffer, std::size_t size, int timeoutMs);
    // Sends every byte. Returns false when the peer has closed the connection (broken
    // pipe or reset), so the caller can tell an early close from a local failure.
    bool writeAll(std::string_view bytes, int stallTimeoutMs);
    // A connection accepted within the time-out, or nullopt.
    std::optional<TcpSocket> accept(int timeoutMs);

    SocketAddress localAddress() const;
    SocketAddress peerAddress() const;

private:
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    int fd_ = -1;
};

// poll() on several descriptors at once; returns the index of the first readable
// one, or -1 when the time-out ran out.
int waitAnyReadable(const int* fds, int count, int timeoutMs);

}  // namespace velora
