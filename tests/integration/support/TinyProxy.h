#pragma once
// tinyproxy (the Debian package) on 127.0.0.1 for integration tests: its own
// configuration in a scratch folder, started in the foreground and stopped with the
// object, never a system service. tinyproxy wants a fixed port in its configuration
// and ends at once when that port is taken, so the helper tries ports at random until
// one binds; it never relies on a port someone freed before.
#include <string>
#include <sys/types.h>

#include "support/TempDir.h"

namespace velora::test {

class TinyProxy {
public:
    // With a user, the proxy demands Basic authentication ("BasicAuth user password").
    explicit TinyProxy(const std::string& user = {}, const std::string& password = {});
    ~TinyProxy();
    TinyProxy(const TinyProxy&) = delete;
    TinyProxy& operator=(const TinyProxy&) = delete;

    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    // What tinyproxy has logged so far.
    std::string log() const;

private:
    bool tryPort(int port, const std::string& user, const std::string& password);
    void stop();

    test::TempDir dir_;
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace velora::test
