#pragma once
// OpenSSH's sshd for SFTP tests, one process per connection in inetd mode (sshd -i): the
// connector below hands the client one end of a fresh loopback TCP connection and sshd
// the other, so no port is ever chosen, freed or raced for. Everything sshd needs (its
// host key, the client's key pair, authorized_keys, the configuration, the folder
// served) lives in a temporary folder; sshd's log goes to a file per connection.
// Password logins see a shadow file made here, mounted privately over /etc/shadow in
// sshd's own mount namespace. sshd needs root for all this; CI runs as root.
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/TcpConnector.h"
#include "support/TempDir.h"

namespace velora::test {

class SshServer {
public:
    static constexpr const char* kPassword = "Sftp-Test-7";
    // Below the served folder; read-only for sshd even though it runs as root.
    static constexpr const char* kReadOnlyFolder = "nurlesen";

    // Which SFTP server sshd runs: OpenSSH's own, or a scripted one without posix-rename
    // whose plain rename refuses an existing target (sftp_plain_rename.py).
    enum class Sftp { OpenSsh, PlainRename };
    explicit SshServer(Sftp sftp = Sftp::OpenSsh);
    ~SshServer();
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;

    // Empty when sshd can run here; otherwise why not (for GTEST_SKIP).
    static std::string unavailable();

    const std::string& root() const { return dir_.path(); }
    std::string folder(const std::string& relative) const { return dir_.file("srv/" + relative); }
    // The folder served, as the client sees it after login.
    std::string servedFolder() const { return dir_.file("srv"); }
    // The client's key (in authorized_keys) and its fingerprint, and those of the host.
    std::string clientKey() const { return dir_.file("client_ed25519"); }
    std::string hostKeyFingerprint() const { return hostFingerprint_; }
    // A HOME for the client whose .ssh/known_hosts lists this server as `hostName`
    // (port 22) when `known` is true, or a different key under that name otherwise.
    std::string homeWithKnownHosts(const std::string& hostName, bool known) const;
    // Makes a key with ssh-keygen: type "ed25519", "ecdsa", "rsa"; a passphrase encrypts it.
    std::string makeKey(const std::string& name, const std::string& type, const std::string& passphrase = "") const;
    void authorize(const std::string& publicKeyFile) const;

    // The requests the scripted server was sent, one name a line.
    std::string scriptedRequests() const;
    // What the scripted server reported about itself (a Python traceback).
    std::string scriptErrors() const;
    // What every connection sshd served so far has logged, in order.
    std::string log() const;
    // Signals every sshd process of every connection (SIGSTOP, SIGKILL, ...).
    void signalConnections(int signal) const;
    // Waits for every connection's sshd to end (after the client closed or a kill).
    void reap();

    // Opens connections to this sshd whatever address is asked; records what was asked.
    class Connector final : public TcpConnector {
    public:
        explicit Connector(SshServer& server) : server_(server) {}
        std::optional<TcpSocket> connectWithin(const std::string& ip, int port, int timeoutMs) override;
        TcpSocket listenOn(const std::string& ip, int port) override { return TcpSocket::listenOn(ip, port); }
        std::vector<std::string> asked;   // "ip:port"

    private:
        SshServer& server_;
    };

private:
    TcpSocket serveOne();
    std::vector<pid_t> processesOfConnections() const;

    TempDir dir_;
    std::string hostFingerprint_;
    std::string shadow_;
    std::vector<pid_t> sshds_;
    std::vector<std::string> logs_;
};

// Runs a command without a shell; its standard output, or throws when it fails.
std::string runTool(const std::vector<std::string>& argv);

}  // namespace velora::test
