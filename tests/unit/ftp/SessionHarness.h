#pragma once
// An FtpSession wired to a real EventLog (view, temp log file, German formats, a
// clock that stands still), so tests read back exactly the lines a person would see.
#include <cstddef>
#include <string>

#include "app/ClientIdentity.h"
#include "ftp/FtpSession.h"
#include "platform/TcpConnector.h"
#include "support/FixedResolver.h"
#include "support/LogHarness.h"

namespace velora::test {

struct SessionHarness : test::LogHarness {
    FtpLogin settings;
    ClientIdentity identity;
    FixedResolver resolver{{{"localhost", "127.0.0.1"}}};
    SystemTcpConnector connector;
    FtpSession session;

    // Points the session at a server on 127.0.0.1:port with user "anna", password "pw";
    // the proxy fields hold the program's defaults for user and password.
    explicit SessionHarness(int port = 21, FtpTimeouts timeouts = {})
        : LogHarness("5000"), session(identity, log, ui, resolver, connector, timeouts) {
        settings.host = "127.0.0.1";
        settings.user = "anna";
        settings.password = "pw";
        settings.proxyUser = "ax";
        settings.proxyPassword = "qwpl482";
        identity.setClientName("PC1");
        identity.setClientVersion(kVersionBanner);
        identity.setPlatformDescription("Linux");
        session.setServerPort(port);
    }

    void connect() { session.B_connectClick(settings); }

    // Sends the login through a proxy on 127.0.0.1:port; the target host is then only
    // named in OPEN and never looked up.
    void useProxy(int port) { useProxy(std::to_string(port)); }
    void useProxy(const std::string& portText) {
        settings.useProxy = true;
        settings.proxyHost = "127.0.0.1";
        settings.proxyPort = portText;
    }
};

// A file body whose bytes differ from block to block, so a lost or repeated block shows.
inline std::string patterned(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 4096) & 0xFF);
    return s;
}

}  // namespace velora::test
