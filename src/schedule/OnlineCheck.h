#pragma once
// The online check's echo: resolve the FTP host, send the 50-byte echo request, wait
// for its answer and hand back the reply record. Names are resolved by the injected
// resolver and packets go through the injected sockets, so tests neither query a name
// server nor depend on the right to open a raw socket.
#include <cstdint>
#include <optional>
#include <string>

#include "app/EventLog.h"
#include "platform/Clock.h"
#include "platform/IcmpSocket.h"
#include "platform/NameResolver.h"
#include "schedule/EchoCheck.h"

namespace velora {

inline constexpr int kEchoTimeoutMs = 5000;
inline constexpr const char* kNoIcmpPermission =
    "PING (Procedure Ping) --> Echo not sent: no permission for ICMP. Switch the check off (\"Onlinstatus Prüfen\") "
    "or widen the range (sysctl net.ipv4.ping_group_range=\"0 2147483647\")";

class OnlineCheck final : public EchoCheck {
public:
    OnlineCheck(NameResolver& resolver, IcmpSockets& sockets, const Clock& clock, EventLog& log, long processId,
                int timeoutMs = kEchoTimeoutMs);

    std::optional<EchoReply> PingHost(const std::string& host, int sequence) override;
    // Every status the echo reports: the kind of socket when it changes, and why an
    // echo could not be made.
    void IdIcmpClient1Status(const std::string& text);

private:
    EchoReply exchange(const std::string& host, int sequence);

    NameResolver& resolver_;
    IcmpSockets& sockets_;
    const Clock& clock_;
    EventLog& log_;
    std::uint16_t identifier_;
    int timeoutMs_;
    std::optional<IcmpSocketKind> lastKind_;
    // Set from the first echo refused for lack of permission until a socket opens again.
    bool permissionReported_ = false;
};

}  // namespace velora
