#pragma once
// Opening a TCP/IPv4 connection within a time-out the caller chooses. A host that
// drops the connection request would otherwise hold the one thread for the system's
// own connect time-out, which is minutes. Whoever connects takes a TcpConnector, so
// tests can watch or refuse every connection the program opens or waits for.
#include <optional>
#include <string>

#include "platform/TcpSocket.h"

namespace velora {

class TcpConnector {
public:
    virtual ~TcpConnector() = default;
    // A connected socket to a numeric IPv4 address, or nullopt when `timeoutMs` ran
    // out first. Refused, unreachable, an invalid address or port and the like are a
    // SocketError with the system's text.
    virtual std::optional<TcpSocket> connectWithin(const std::string& ip, int port, int timeoutMs) = 0;
    // A socket listening on ip:port (port 0: any free one) for a peer that connects
    // back, as an FTP server does in active mode.
    virtual TcpSocket listenOn(const std::string& ip, int port) = 0;
};

// The system's sockets.
class SystemTcpConnector final : public TcpConnector {
public:
    std::optional<TcpSocket> connectWithin(const std::string& ip, int port, int timeoutMs) override;
    TcpSocket listenOn(const std::string& ip, int port) override { return TcpSocket::listenOn(ip, port); }
};

}  // namespace velora
