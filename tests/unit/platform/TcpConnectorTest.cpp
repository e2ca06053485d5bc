// Connecting within a time-out: a listening port connects, a port that is bound but
// not listening refuses at once, and a listener whose queue is full (it drops further
// connection requests) makes the attempt give up when the time-out runs out. And what a
// connection sends from a file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/TcpConnector.h"
#include "support/ErrorOf.h"
#include "support/HttpTestServer.h"
#include "support/LoopbackPort.h"
#include "support/TempDir.h"

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

// Bytes of a file go to the peer exactly, from the offset asked for, whether the
// system passes them on itself or (for a file it cannot, as a proc file) they go
// through the program.
TEST(TcpConnector, SendsPartOfAFileExactlyWhetherTheSystemCanPassItOnOrNot) {
    test::TempDir dir;
    std::string body(300000, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7 + i / 251);
    const std::string environ = fileio::readAll("/proc/self/environ");
    ASSERT_GT(environ.size(), 3u);
    struct Case {
        std::string path, content;
        std::size_t offset;
    };
    for (const Case& c : {Case{dir.write("data.bin", body), body, 1000}, Case{"/proc/self/environ", environ, 1}}) {
        SCOPED_TRACE(c.path);
        SystemTcpConnector connector;
        TcpSocket listener = TcpSocket::listenOn("127.0.0.1", 0);
        std::optional<TcpSocket> sender = connector.connectWithin("127.0.0.1", listener.localAddress().port, 1000);
        ASSERT_TRUE(sender.has_value());
        std::optional<TcpSocket> receiver = listener.accept(1000);
        ASSERT_TRUE(receiver.has_value());
        const int fd = ::open(c.path.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        const std::size_t count = c.content.size() - c.offset;
        // Read while it is sent: the socket buffers hold less than the file.
        std::string got;
        std::thread reader([&] {
            char buffer[65536];
            while (got.size() < count) {
                const std::optional<std::size_t> n = receiver->readSome(buffer, sizeof buffer, 5000);
                if (!n || *n == 0) return;
                got.append(buffer, *n);
            }
        });
        const SendResult sent = sender->sendFromFile(fd, static_cast<std::int64_t>(c.offset), count, 5000);
        reader.join();
        ::close(fd);
        EXPECT_TRUE(sent.ok());
        EXPECT_EQ(sent.written, count);
        EXPECT_EQ(got, c.content.substr(c.offset));
    }
}

}  // namespace
}  // namespace velora
