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
    // Beyond the designed login, each off unless the user switches it on:
    bool tls = false;            // "FTP_TLS": explicit FTPS, never a fall-back to plain text
    std::string tlsFingerprint;  // "FTP_TLS_Fingerprint": SHA-256 of the one certificate to trust
    bool tempRename = false;     // "Upload_Temp_Rename": store NAME.part, then rename over NAME
    bool sftp = false;           // "SFTP": the same export over SSH
    int sftpPort = 22;           // "SFTP_Port"
    std::string sftpHostKey;     // "SFTP_HostKey": "SHA256:..."; empty: ~/.ssh/known_hosts decides
    std::string sftpKeyFile;     // "SFTP_KeyFile": empty: the password above
};

}  // namespace velora
