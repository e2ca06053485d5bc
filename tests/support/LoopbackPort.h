#pragma once
// A port on 127.0.0.1 that nothing listens on: bound by the system, then released
// again, so a connection to it is refused at once.
#include "platform/TcpSocket.h"

namespace velora::test {

inline int closedLoopbackPort() { return TcpSocket::listenOn("127.0.0.1", 0).localAddress().port; }

}  // namespace velora::test
