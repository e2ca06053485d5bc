#pragma once
// The network a whole program gets in tests: its resolver knows only the names a test
// gives it (so no DNS query ever leaves), connections and echo sockets are the
// system's, which the tests point at loopback only.
#include <map>
#include <string>

#include "platform/IcmpSocket.h"
#include "platform/TcpConnector.h"
#include "support/FixedResolver.h"

namespace velora::test {

struct TestNetwork {
    explicit TestNetwork(std::map<std::string, std::string> names = {}) : resolver(std::move(names)) {}

    FixedResolver resolver;
    SystemTcpConnector connector;
    SystemIcmpSockets icmpSockets;
};

}  // namespace velora::test
