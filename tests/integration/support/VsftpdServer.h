#pragma once
// Debian's vsftpd on 127.0.0.1 for the FTPS tests, run as inetd would run it: the
// fixture listens on a port the system picks (no port is chosen and freed first), and
// every connection it accepts gets a vsftpd of its own with the connection as its
// standard input and output. The server lets anonymous users upload into "in/" and,
// with TLS, insists on it for the login and every data connection and on data
// connections that resume the control connection's session. The destructor stops
// every vsftpd and removes the folder with the certificate, the files and the log.
#include <sys/types.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/TcpSocket.h"
#include "support/TempDir.h"
#include "support/TestCertificate.h"

namespace velora::test {

class VsftpdServer {
public:
    static constexpr const char* kProgram = "/usr/sbin/vsftpd";
    static constexpr const char* kUser = "anonymous";
    static constexpr const char* kUploadFolder = "/in";

    static bool installed();

    explicit VsftpdServer(bool tls);
    ~VsftpdServer();
    VsftpdServer(const VsftpdServer&) = delete;
    VsftpdServer& operator=(const VsftpdServer&) = delete;

    int port() const { return port_; }
    const TestCertificate& certificate() const { return certificate_; }
    // The bytes of a file the server received into the upload folder.
    std::string uploaded(const std::string& name) const;
    // Every command the server received, as its protocol log has them ("USER anonymous").
    std::vector<std::string> commands() const;

private:
    void serve();
    void startSession(int fd);

    TempDir home_;
    TestCertificate certificate_;
    std::string config_;
    std::string log_;
    TcpSocket listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<pid_t> sessions_;
    std::thread thread_;
};

}  // namespace velora::test
