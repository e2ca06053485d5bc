#pragma once
// The server's side of TLS on one connection, for scripted servers that go on to say
// in TLS what real servers never say. The socket stays the caller's; every wait is
// bounded by the socket's own time-outs, set here.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "support/TestCertificate.h"

namespace velora::test {

class ServerTls {
public:
    // Takes the client's handshake on `fd`; throws std::runtime_error when it fails.
    ServerTls(int fd, const TestCertificate& certificate, int waitMs);
    ~ServerTls();
    ServerTls(const ServerTls&) = delete;
    ServerTls& operator=(const ServerTls&) = delete;

    // Up to `size` bytes, 0 at the end, nullopt when nothing came within timeoutMs.
    std::optional<std::size_t> readSome(char* buffer, std::size_t size, int timeoutMs);
    bool writeAll(const std::string& bytes);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace velora::test
