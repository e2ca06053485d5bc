#pragma once
// Opening a TCP/IPv4 connection within a time-out the caller chooses. A host that
// drops the connection request would otherwise hold the one thread for the system's
// own connect time-out, which is minutes.
#include <optional>
#include <string>

#include "platform/TcpSocket.h"

namespace velora {

class TcpConnector {
public:
    // A connected socket to a numeric IPv4 address, or nullopt when `timeoutMs` ran
    // out first. Refused, unreachable, an invalid address or port and the like are a
    // SocketError with the system's text.
    static std::optional<TcpSocket> connectWithin(const std::string& ip, int port, int timeoutMs);
};

}  // namespace velora
