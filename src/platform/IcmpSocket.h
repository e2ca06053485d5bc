#pragma once
// ICMP echo transport over IPv4. The program sends its echo on a raw socket, which
// needs root or CAP_NET_RAW; without that right Linux offers an unprivileged ICMP
// datagram socket (where net.ipv4.ping_group_range admits the user's group). That
// socket differs in three ways the caller must know: the kernel puts its own
// identifier into the request and hands back only the replies carrying it, a read
// gives the ICMP message without its IP header, and the time to live comes as
// ancillary data.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Errors.h"

namespace velora {

enum class IcmpSocketKind { Raw, Datagram };

struct IcmpPacket {
    std::vector<unsigned char> bytes;   // raw socket: with the IP header; datagram: the ICMP message
    std::string from;                   // sender, dotted decimal
    int ttl = 0;                        // datagram socket only (raw: in the IP header)
};

class IcmpSocket {
public:
    virtual ~IcmpSocket() = default;
    virtual IcmpSocketKind kind() const = 0;
    // Failures of the socket layer raise SocketError with the system's text.
    virtual void sendTo(const std::string& ip, const std::vector<unsigned char>& message) = 0;
    // The next packet, or nullopt when none came within the time-out. ICMP error
    // reports the kernel turns into socket errors (unreachable, refused) are skipped.
    virtual std::optional<IcmpPacket> receive(int timeoutMs) = 0;
};

// No kind of ICMP socket is allowed to this process: no right to a raw socket, and its
// groups outside net.ipv4.ping_group_range. Not the host's fault, and nothing the next
// run can change by itself, so callers tell it apart from other socket failures.
class IcmpPermissionError final : public SocketError {
public:
    using SocketError::SocketError;
};

class IcmpSockets {
public:
    virtual ~IcmpSockets() = default;
    // A fresh socket for one echo; SocketError when none of the kinds can be opened,
    // IcmpPermissionError when each was refused for lack of permission.
    virtual std::unique_ptr<IcmpSocket> open() = 0;
};

// The system's sockets, tried in the given order (the program: raw, then datagram).
class SystemIcmpSockets final : public IcmpSockets {
public:
    explicit SystemIcmpSockets(std::vector<IcmpSocketKind> order = {IcmpSocketKind::Raw, IcmpSocketKind::Datagram})
        : order_(std::move(order)) {}
    std::unique_ptr<IcmpSocket> open() override;

private:
    std::vector<IcmpSocketKind> order_;
};

// This process's id (the raw echo's identifier is made from it).
long currentProcessId();

}  // namespace velora
