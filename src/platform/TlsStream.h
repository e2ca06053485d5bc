#pragma once
// A TCP connection that can be switched to TLS, as the client (explicit FTPS). Until
// startTls() every byte passes to the socket as it is, so a connection that never
// starts TLS behaves exactly as the bare TcpSocket. The TLS library stays inside
// TlsStream.cpp.
//
// All waits are bounded: the handshake by the time-out the caller gives, reads and
// writes as TcpSocket bounds them. TLS failures (a handshake that fails or stalls, a
// certificate that is not trusted) raise GeneralError with the program's own text; a
// connection whose TLS breaks later raises SocketError, as a reset connection does.
#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Errors.h"
#include "platform/TcpSocket.h"

namespace velora {

using Sha256 = std::array<unsigned char, 32>;

// A certificate's SHA-256 fingerprint as `openssl x509 -noout -fingerprint -sha256`
// prints it: 32 hex pairs separated by colons, in any letter case, with or without
// "Fingerprint=" or "sha256 Fingerprint=" in front. Anything else raises GeneralError.
Sha256 parseSha256Fingerprint(const std::string& text);
// "AB:01:..." in capitals, the form the parser reads back.
std::string formatSha256Fingerprint(const Sha256& fingerprint);

// Whom the server's certificate must prove to be.
struct TlsPeer {
    // The name or numeric IPv4 address the connection was opened to; the certificate
    // must name it and chain up to one of the system's trusted certificates.
    std::string host;
    // Set: exactly the certificate with this fingerprint is trusted, whoever signed
    // it and whatever name it carries.
    std::optional<Sha256> pinned;
};

class TlsStream final : public ByteSource {
public:
    TlsStream();
    explicit TlsStream(TcpSocket socket);
    ~TlsStream();
    TlsStream(TlsStream&& other) noexcept;
    TlsStream& operator=(TlsStream&& other) noexcept;
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    // The TLS handshake as the client within timeoutMs, then the certificate check;
    // nothing of ours has crossed the connection before that check has passed.
    void startTls(const TlsPeer& peer, int timeoutMs);
    // A further connection to the same server: the handshake offers to resume the
    // session `control` holds (servers that insist on it refuse anything else) and
    // checks the certificate as `control` did.
    void startTlsResuming(const TlsStream& control, int timeoutMs);
    // TLS is up. A connection whose handshake or certificate check failed is not
    // secured and refuses every further read and write: it never goes on in plain text.
    bool secured() const;
    // No TLS was ever begun: bytes go to the socket as they are.
    bool plain() const { return !tls_; }

    bool isOpen() const override { return socket_.isOpen(); }
    int fd() const { return socket_.fd(); }
    // Closes without a word to the peer: the connection is going away either way.
    void close();

    // As TcpSocket's, counting bytes the TLS layer holds already. Records that carry
    // no data for us (session tickets) are taken in passing and do not count.
    bool waitReadable(int timeoutMs) const override;
    // Data the TLS layer has taken off the socket already: a poll() on fd() does not
    // see it.
    bool buffered() const;
    std::optional<std::size_t> readSome(char* buffer, std::size_t size, int timeoutMs) override;
    SendResult writeAll(std::string_view bytes, int stallTimeoutMs);
    // TcpSocket::sendFromFile, on a connection without TLS only (the bytes must pass
    // through the TLS layer otherwise).
    SendResult sendFromFile(int fileFd, std::int64_t offset, std::size_t count, int stallTimeoutMs);
    // No more bytes will be sent. With TLS the close_notify goes out first, waiting
    // at most stallTimeoutMs for room to send it.
    SendResult shutdownSend(int stallTimeoutMs);
    long unacknowledgedBytes() const { return socket_.unacknowledgedBytes(); }
    // As TcpSocket's; with TLS the peer's close_notify counts as its close.
    PeerState takePeerState(int* systemError);
    void abort();

    SocketAddress localAddress() const { return socket_.localAddress(); }
    SocketAddress peerAddress() const { return socket_.peerAddress(); }

private:
    struct Tls;
    void handshake(const char* what, int timeoutMs);
    void requireUsable() const;
    SocketError brokenTls(int result, int systemError);

    TcpSocket socket_;
    std::unique_ptr<Tls> tls_;
};

}  // namespace velora
