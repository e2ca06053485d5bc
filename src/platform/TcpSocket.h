#pragma once
// A TCP/IPv4 stream socket over POSIX calls. Every wait is bounded by a time-out
// given by the caller and done with poll(); failures of the socket layer raise
// SocketError with the system's own text. Connections are opened by a TcpConnector,
// names looked up by a NameResolver.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velora {

struct SocketAddress {
    std::string ip;   // dotted IPv4
    int port = 0;
};

// How a bounded send ended. `systemError` says why the connection was lost (EPIPE,
// ECONNRESET, ETIMEDOUT, an unreachable network).
struct SendResult {
    enum Kind { Sent, ConnectionLost, Stalled } kind = Sent;
    int systemError = 0;
    std::size_t written = 0;   // bytes the system took before the end
    bool ok() const { return kind == Sent; }
};

// True for the system errors that end a connection (reset, broken pipe, an unreachable
// network), as opposed to faults of our own use of the socket.
bool connectionLost(int systemError);

// What became of a connection we only send on.
enum class PeerState { Open, Closed, Lost };

// A point in time a wait must not pass, on the monotonic clock.
class Deadline {
public:
    explicit Deadline(int ms);
    // Milliseconds left, 0 once passed.
    int remainingMs() const;
    bool passed() const { return remainingMs() == 0; }
    // min(ms, remainingMs())
    int cap(int ms) const;

private:
    long long endMs_;
};

// What a reader of a peer's replies needs from a connection, plain or TLS.
class ByteSource {
public:
    virtual bool isOpen() const = 0;
    // True when a read would not block (data, end of stream or an error is pending).
    virtual bool waitReadable(int timeoutMs) const = 0;
    // Up to `size` bytes; 0 at the peer's orderly close; nullopt when nothing came
    // within the time-out.
    virtual std::optional<std::size_t> readSome(char* buffer, std::size_t size, int timeoutMs) = 0;

protected:
    ~ByteSource() = default;
};

class TcpSocket final : public ByteSource {
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
    // A listening socket on ip:port (port 0: any free port).
    static TcpSocket listenOn(const std::string& ip, int port);

    bool isOpen() const override { return fd_ >= 0; }
    int fd() const { return fd_; }
    void close();

    bool waitReadable(int timeoutMs) const override;
    std::optional<std::size_t> readSome(char* buffer, std::size_t size, int timeoutMs) override;
    // Sends every byte, waiting at most stallTimeoutMs each time the system takes
    // nothing. Ends early when the connection is lost (broken pipe, reset, the network
    // gave up) or the send stalled, so the caller can tell those from a local failure.
    SendResult writeAll(std::string_view bytes, int stallTimeoutMs);
    // As writeAll, for `count` bytes of the file `fileFd` from `offset` on, passed to
    // the connection by the system without passing through this program.
    SendResult sendFromFile(int fileFd, std::int64_t offset, std::size_t count, int stallTimeoutMs);
    // No more bytes will be sent: the peer reads the end of the stream once it has
    // taken everything before it.
    void shutdownSend();
    // Bytes sent but not yet acknowledged by the peer's system; -1 when unknown.
    long unacknowledgedBytes() const;
    // Reads and discards what the peer sent and tells whether it closed the connection
    // or the connection was lost (then *systemError says why); call when
    // waitReadable() said so.
    PeerState takePeerState(int* systemError);
    // Closes with a reset, so the peer sees an aborted transfer, not an end of file.
    void abort();
    // A connection accepted within the time-out, or nullopt.
    std::optional<TcpSocket> accept(int timeoutMs);

    SocketAddress localAddress() const;
    SocketAddress peerAddress() const;

private:
    SendResult sendThroughBuffer(int fileFd, std::int64_t offset, std::size_t count, int stallTimeoutMs);
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
