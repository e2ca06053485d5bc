// Connecting within a time-out: a listening port connects, a port that is bound but
// not listening refuses at once, and a listener whose queue is full (it drops further
// connection requests) makes the attempt give up when the time-out runs out.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "platform/Errors.h"
#include "platform/TcpConnector.h"
#include "support/ErrorOf.h"
#include "support/HttpTestServer.h"
#include "support/LoopbackPort.h"

namespace velora {
namespace {

TEST(TcpConnector, ConnectsRefusesOrGivesUp) {
    SystemTcpConnector connector;
    TcpSocket listener = TcpSocket::listenOn("127.0.0.1", 0);
    const int port = listener.localAddress().port;
    std::optional<TcpSocket> first = connector.connectWithin("127.0.0.1", port, 1000);
    ASSERT_TRUE(first.has_value());
    // The socket is usable as a blocking one by the readers and writers.
    EXPECT_TRUE(first->writeAll("x", 1000).ok());
    std::optional<TcpSocket> taken = listener.accept(1000);
    ASSERT_TRUE(taken.has_value());
    char c = 0;
    EXPECT_EQ(taken->readSome(&c, 1, 1000), std::optional<std::size_t>(1));
    EXPECT_EQ(c, 'x');

    EXPECT_EQ(test::errorOf<SocketError>([&] { connector.connectWithin("127.0.0.1", test::refusingLoopbackPort(), 1000); }),
              "Connection refused");
    EXPECT_EQ(test::errorOf<SocketError>([&] { connector.connectWithin("localhost", port, 1000); }),
              "Invalid argument");

    // Nobody accepts: once the queue is full the system drops further requests, and
    // the attempt ends with the time-out instead of the system's minutes.
    std::vector<TcpSocket> queued;
    bool gaveUp = false;
    for (int i = 0; i < 64 && !gaveUp; ++i) {
        std::optional<TcpSocket> s = connector.connectWithin("127.0.0.1", port, 200);
        if (s) {
            queued.push_back(std::move(*s));
        } else {
            gaveUp = true;
        }
    }
    EXPECT_TRUE(gaveUp);
}

}  // namespace
}  // namespace velora
