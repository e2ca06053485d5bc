#include "schedule/OnlineCheck.h"

#include "platform/TcpSocket.h"

namespace velora {

OnlineCheck::OnlineCheck(NameResolver& resolver, IcmpSockets& sockets, const Clock& clock, EventLog& log,
                         long processId, int timeoutMs)
    : resolver_(resolver),
      sockets_(sockets),
      clock_(clock),
      log_(log),
      identifier_(echoIdentifier(processId)),
      timeoutMs_(timeoutMs) {}

void OnlineCheck::IdIcmpClient1Status(const std::string& text) { log_.write("Ping Status --> " + text); }

std::optional<EchoReply> OnlineCheck::PingHost(const std::string& host, int sequence) {
    log_.write("PING (Procedure Ping) --> " + host);
    try {
        return exchange(host, sequence);
    } catch (const IcmpPermissionError& e) {
        IdIcmpClient1Status(e.what());
        // The run then blames the host; say once what really stops the echo, not on
        // every run of a box that nobody watches.
        if (!permissionReported_) log_.write(kNoIcmpPermission);
        permissionReported_ = true;
        log_.write("PING (Procedure Ping) --> Not Route");
    } catch (const std::exception& e) {
        IdIcmpClient1Status(e.what());
        log_.write("PING (Procedure Ping) --> Not Route");
    }
    return std::nullopt;
}

EchoReply OnlineCheck::exchange(const std::string& host, int sequence) {
    const std::string ip = TcpSocket::isNumericIPv4(host) ? host : resolver_.resolveIPv4(host);
    const std::unique_ptr<IcmpSocket> socket = sockets_.open();
    permissionReported_ = false;
    const IcmpSocketKind kind = socket->kind();
    if (lastKind_ != kind) {
        lastKind_ = kind;
        IdIcmpClient1Status(kind == IcmpSocketKind::Raw ? "ICMP Raw-Socket"
                                                        : "ICMP Datagramm-Socket (kein Recht auf Raw-Socket)");
    }
    const auto seq = static_cast<std::uint16_t>(sequence);
    socket->sendTo(ip, buildEchoRequest(identifier_, seq, static_cast<std::uint32_t>(clock_.tickMs()), host));

    EchoExpectation expected;
    expected.sequence = seq;
    expected.withIpHeader = kind == IcmpSocketKind::Raw;
    expected.from = ip;
    if (kind == IcmpSocketKind::Raw) expected.identifier = identifier_;
    // One deadline for the whole wait: on a busy machine a raw socket sees every ICMP
    // packet, and a wait that began afresh with each of them might never end.
    const std::int64_t start = clock_.tickMs();
    for (;;) {
        const std::int64_t waited = clock_.tickMs() - start;
        if (waited >= timeoutMs_) return echoTimeoutRecord(sequence, waited);
        const std::optional<IcmpPacket> packet = socket->receive(static_cast<int>(timeoutMs_ - waited));
        if (!packet) return echoTimeoutRecord(sequence, clock_.tickMs() - start);
        const std::optional<EchoAnswer> answer = readEchoPacket(*packet, expected);
        if (!answer) continue;
        EchoReply reply = answer->reply;
        const auto now = static_cast<std::uint32_t>(clock_.tickMs());
        // Unsigned 32-bit difference: right across the counter's wrap-around.
        reply.roundTripMs = answer->echoedCounter ? static_cast<std::uint32_t>(now - *answer->echoedCounter)
                                                  : clock_.tickMs() - start;
        return reply;
    }
}

}  // namespace velora
