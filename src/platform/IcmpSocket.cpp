#include "platform/IcmpSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Errors.h"
#include "platform/TcpSocket.h"

namespace velora {

namespace {

[[noreturn]] void raiseSystem(int code) { throw SocketError(std::strerror(code)); }

// What the kernel reports on a socket when an ICMP error answered something we sent:
// an error report, not an answer, and not a broken socket.
bool icmpErrorReport(int code) {
    switch (code) {
    case ECONNREFUSED: case EHOSTUNREACH: case ENETUNREACH: case EPROTO: case EMSGSIZE:
        return true;
    default:
        return false;
    }
}

constexpr std::size_t kMaxPacket = 65536;

class SystemIcmpSocket final : public IcmpSocket {
public:
    SystemIcmpSocket(int fd, IcmpSocketKind kind) : fd_(fd), kind_(kind) {}
    ~SystemIcmpSocket() override { ::close(fd_); }
    SystemIcmpSocket(const SystemIcmpSocket&) = delete;
    SystemIcmpSocket& operator=(const SystemIcmpSocket&) = delete;

    IcmpSocketKind kind() const override { return kind_; }

    void sendTo(const std::string& ip, const std::vector<unsigned char>& message) override {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        if (inet_pton(AF_INET, ip.c_str(), &to.sin_addr) != 1) raiseSystem(EINVAL);
        ssize_t rc;
        do {
            rc = ::sendto(fd_, message.data(), message.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        } while (rc < 0 && errno == EINTR);
        if (rc < 0) raiseSystem(errno);
        if (static_cast<std::size_t>(rc) != message.size()) raiseSystem(EMSGSIZE);
    }

    std::optional<IcmpPacket> receive(int timeoutMs) override {
        const Deadline deadline(timeoutMs);
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            const int rc = ::poll(&p, 1, deadline.remainingMs());
            if (rc < 0 && errno == EINTR) continue;
            if (rc < 0) raiseSystem(errno);
            if (rc == 0) return std::nullopt;
            std::optional<IcmpPacket> packet = readOne();
            if (packet) return packet;
            if (deadline.passed()) return std::nullopt;
        }
    }

private:
    // One datagram; nullopt for an error report that was skipped.
    std::optional<IcmpPacket> readOne() {
        IcmpPacket packet;
        packet.bytes.resize(kMaxPacket);
        sockaddr_in from{};
        iovec iov{packet.bytes.data(), packet.bytes.size()};
        alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(int)) * 4];
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        ssize_t n;
        do {
            n = ::recvmsg(fd_, &msg, MSG_DONTWAIT);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || icmpErrorReport(errno)) return std::nullopt;
            raiseSystem(errno);
        }
        packet.bytes.resize(static_cast<std::size_t>(n));
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        packet.from = text;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) std::memcpy(&packet.ttl, CMSG_DATA(c), sizeof(int));
        }
        return packet;
    }

    int fd_;
    IcmpSocketKind kind_;
};

int openKind(IcmpSocketKind kind) {
    const int type = kind == IcmpSocketKind::Raw ? SOCK_RAW : SOCK_DGRAM;
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) return -errno;
    if (kind == IcmpSocketKind::Datagram) {
        const int on = 1;
        if (::setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on) != 0) {
            const int code = errno;
            ::close(fd);
            return -code;
        }
    }
    return fd;
}

}  // namespace

std::unique_ptr<IcmpSocket> SystemIcmpSockets::open() {
    int lastError = EPROTONOSUPPORT;
    bool refused = !order_.empty();
    for (IcmpSocketKind kind : order_) {
        const int fd = openKind(kind);
        if (fd >= 0) return std::make_unique<SystemIcmpSocket>(fd, kind);
        lastError = -fd;
        // A raw socket without CAP_NET_RAW gives EPERM, a datagram socket outside the
        // ping group range EACCES.
        refused = refused && (lastError == EPERM || lastError == EACCES);
    }
    if (refused) throw IcmpPermissionError(std::strerror(lastError));
    raiseSystem(lastError);
}

long currentProcessId() { return static_cast<long>(::getpid()); }

}  // namespace velora
