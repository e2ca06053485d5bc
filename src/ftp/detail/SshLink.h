#pragma once
// One SSH connection through libssh, over a TCP connection the program opened itself,
// with one channel running the "sftp" subsystem. Every wait is bounded: libssh's own
// waits by the time-out set here, reads by the caller's time-out. The libssh types stay
// in this file and its .cpp.
#include <memory>
#include <optional>
#include <string>

#include "platform/TcpSocket.h"

struct ssh_session_struct;
struct ssh_channel_struct;
struct ssh_key_struct;

namespace velora::detail {

struct SshKeyFree {
    void operator()(ssh_key_struct* key) const;
};
using SshKey = std::unique_ptr<ssh_key_struct, SshKeyFree>;

// The private key of "SFTP_KeyFile", read before anything goes on the wire. Raises
// GeneralError for a missing or unreadable file, one that holds no key, a key with a
// passphrase, or a key type other than ed25519, ecdsa and rsa.
SshKey loadPrivateKey(const std::string& path);

// The fingerprint of "SFTP_HostKey" as "SHA256:" + 43 characters of unpadded base64,
// taken with or without the prefix; nullopt for anything else.
std::optional<std::string> normalizedHostKey(const std::string& setting);

enum class KnownHost { Ok, Changed, Unknown, Error };

class SshLink {
public:
    // Takes over `socket`. `host` and `port` are what known_hosts is searched for.
    SshLink(TcpSocket socket, const std::string& host, int port, const std::string& user, int timeoutMs);
    ~SshLink();
    SshLink(const SshLink&) = delete;
    SshLink& operator=(const SshLink&) = delete;

    // Version exchange and key exchange; no authentication yet.
    void handshake();
    // "SHA256:..." of the key the server proved it holds.
    std::string hostKeyFingerprint();
    KnownHost knownHostsVerdict(const std::string& knownHostsFile);
    std::string serverBanner() const;
    // Each raises GeneralError when the server does not accept the login.
    void authenticate(const SshKey& key);
    void authenticate(const std::string& password);
    void openSftpChannel();

    // The bound of every wait inside libssh from now on.
    void setTimeout(int ms);
    // All of `bytes` onto the channel. SocketError when the link is gone, GeneralError
    // "Read Timeout" when the server took nothing within the time-out.
    void send(const std::string& bytes);
    // Whatever the channel has within `timeoutMs` (appended to `into`); false when
    // nothing came. SocketError when the link is gone.
    bool receive(std::string& into, int timeoutMs);
    bool usable() const;
    // `polite`: end the channel and say goodbye; otherwise just drop the connection.
    void close(bool polite);

private:
    [[noreturn]] void fail(const std::string& step) const;

    TcpSocket socket_;
    ssh_session_struct* session_ = nullptr;
    ssh_channel_struct* channel_ = nullptr;
    std::string user_;
    bool broken_ = false;
};

}  // namespace velora::detail
