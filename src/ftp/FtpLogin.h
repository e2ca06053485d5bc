#pragma once
// The login of the one FTP connection, as the user typed it into the "FTP Login" and
// "Proxy" fields. It travels as it is from the settings (schedule/FtpLoginFromSettings)
// through the session to the client; nothing is copied into a second form on the way.
#include <string>

namespace velora {

struct FtpLogin {
    std::string host;            // "Host": the server, always on port 21
    std::string user;            // "User"
    std::string password;        // "Pasword"
    bool passive = true;         // "Passiv"
    bool useProxy = false;       // "Proxy": connect to the proxy below and name the host with OPEN
    std::string proxyHost;       // empty: straight to the host even with "Proxy" checked
    std::string proxyUser;       // empty: no proxy login
    std::string proxyPassword;
    std::string proxyPort;       // read as a decimal integer at every connect
};

}  // namespace velora
