#include "ftp/detail/SshLink.h"

#include <libssh/libssh.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Errors.h"

namespace velora::detail {
namespace {

constexpr const char* kKeyTypes = "ed25519, ecdsa, rsa";

bool isBase64Char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Asked by libssh only for a key that has a passphrase; there is none to give.
int refusePassphrase(const char*, char*, std::size_t, int, int, void* asked) {
    *static_cast<bool*>(asked) = true;
    return -1;
}

bool supportedKeyType(ssh_keytypes_e type) {
    switch (type) {
        case SSH_KEYTYPE_ED25519:
        case SSH_KEYTYPE_RSA:
        case SSH_KEYTYPE_ECDSA:
        case SSH_KEYTYPE_ECDSA_P256:
        case SSH_KEYTYPE_ECDSA_P384:
        case SSH_KEYTYPE_ECDSA_P521:
            return true;
        default:
            return false;
    }
}

// libssh writes to the socket without MSG_NOSIGNAL: a server that went away would end
// the whole program with SIGPIPE. While libssh works the signal stays blocked for this
// thread, and one it raised is taken off again, unless it was pending before.
class NoSigpipe {
public:
    NoSigpipe() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
    }
    ~NoSigpipe() {
        if (!wasPending_) {
            const timespec now{0, 0};
            while (sigtimedwait(&pipe_, nullptr, &now) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    NoSigpipe(const NoSigpipe&) = delete;
    NoSigpipe& operator=(const NoSigpipe&) = delete;

private:
    sigset_t pipe_{};
    sigset_t old_{};
    bool wasPending_ = false;
};

// libssh sets up its crypto once per process.
void initialiseLibssh() {
    static const int once = ssh_init();
    (void)once;
}

}  // namespace

void SshKeyFree::operator()(ssh_key_struct* key) const { ssh_key_free(key); }

SshKey loadPrivateKey(const std::string& path) {
    initialiseLibssh();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        throw GeneralError("Schlüsseldatei nicht gefunden: " + path + " (" + std::strerror(errno) + ")");
    }
    if (!S_ISREG(info.st_mode)) throw GeneralError("Schlüsseldatei ist keine Datei: " + path);
    if (::access(path.c_str(), R_OK) != 0) {
        throw GeneralError("Schlüsseldatei nicht lesbar: " + path + " (" + std::strerror(errno) + ")");
    }
    bool askedForPassphrase = false;
    ssh_key key = nullptr;
    const int rc = ssh_pki_import_privkey_file(path.c_str(), nullptr, refusePassphrase, &askedForPassphrase, &key);
    SshKey owned(key);
    if (askedForPassphrase) {
        throw GeneralError("Schlüsseldatei verschlüsselt: " + path + " (nur Schlüssel ohne Passphrase)");
    }
    if (rc != SSH_OK || !owned) {
        throw GeneralError(std::string("Keine private Schlüsseldatei: ") + path + " (unterstützt: " + kKeyTypes +
                           ", ohne Passphrase)");
    }
    if (!supportedKeyType(ssh_key_type(owned.get()))) {
        throw GeneralError(std::string("Schlüsseltyp ") + ssh_key_type_to_char(ssh_key_type(owned.get())) +
                           " nicht unterstützt: " + path + " (unterstützt: " + kKeyTypes + ")");
    }
    return owned;
}

std::optional<std::string> normalizedHostKey(const std::string& setting) {
    std::string value = trimmed(setting);
    if (value.rfind("SHA256:", 0) == 0) value.erase(0, 7);
    // 32 bytes of digest are 43 characters without the padding ssh-keygen leaves off.
    if (value.size() != 43) return std::nullopt;
    for (char c : value) {
        if (!isBase64Char(c)) return std::nullopt;
    }
    // The last character carries only 4 bits of the digest; the other 2 are zero.
    const std::string lastOk = "AEIMQUYcgkosw048";
    if (lastOk.find(value.back()) == std::string::npos) return std::nullopt;
    return "SHA256:" + value;
}

SshLink::SshLink(TcpSocket socket, const std::string& host, int port, const std::string& user, int timeoutMs)
    : user_(user) {
    initialiseLibssh();
    session_ = ssh_new();
    if (!session_) throw GeneralError("SSH: keine Sitzung");
    // libssh uses the descriptor it is given but leaves closing it to us.
    socket_ = std::move(socket);
    const int fd = socket_.fd();
    socket_t sshFd = fd;
    const long portValue = port;
    const int noConfig = 0;
    // Neither ~/.ssh/config nor /etc/ssh/ssh_config may redirect the connection or
    // add a proxy command: it goes where the settings say, over the socket we opened.
    const bool ok = ssh_options_set(session_, SSH_OPTIONS_PROCESS_CONFIG, &noConfig) == SSH_OK &&
                    ssh_options_set(session_, SSH_OPTIONS_FD, &sshFd) == SSH_OK &&
                    ssh_options_set(session_, SSH_OPTIONS_HOST, host.c_str()) == SSH_OK &&
                    ssh_options_set(session_, SSH_OPTIONS_PORT, &portValue) == SSH_OK &&
                    ssh_options_set(session_, SSH_OPTIONS_USER, user.c_str()) == SSH_OK;
    if (!ok) {
        const std::string why = ssh_get_error(session_);
        ssh_free(session_);
        session_ = nullptr;
        socket_.close();
        throw GeneralError("SSH: " + why);
    }
    setTimeout(timeoutMs);
}

SshLink::~SshLink() { close(false); }

void SshLink::fail(const std::string& step) const {
    throw GeneralError("SSH " + step + ": " + ssh_get_error(session_));
}

void SshLink::setTimeout(int ms) {
    if (ms < 1) ms = 1;
    const long seconds = ms / 1000;
    const long micro = (ms % 1000) * 1000L;
    ssh_options_set(session_, SSH_OPTIONS_TIMEOUT, &seconds);
    ssh_options_set(session_, SSH_OPTIONS_TIMEOUT_USEC, &micro);
}

void SshLink::handshake() {
    NoSigpipe guard;
    if (ssh_connect(session_) != SSH_OK) {
        broken_ = true;
        fail("Verbindung");
    }
}

std::string SshLink::serverBanner() const {
    const char* banner = ssh_get_serverbanner(session_);
    return banner ? banner : "";
}

std::string SshLink::hostKeyFingerprint() {
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(session_, &key) != SSH_OK) fail("Host-Schlüssel");
    SshKey owned(key);
    unsigned char* hash = nullptr;
    std::size_t size = 0;
    if (ssh_get_publickey_hash(owned.get(), SSH_PUBLICKEY_HASH_SHA256, &hash, &size) != SSH_OK) fail("Host-Schlüssel");
    char* text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, size);
    ssh_clean_pubkey_hash(&hash);
    if (!text) fail("Host-Schlüssel");
    std::string fingerprint = text;
    ssh_string_free_char(text);
    return fingerprint;
}

KnownHost SshLink::knownHostsVerdict(const std::string& knownHostsFile) {
    NoSigpipe guard;
    ssh_options_set(session_, SSH_OPTIONS_KNOWNHOSTS, knownHostsFile.c_str());
    // Only the user's own list decides, as the settings page says.
    ssh_options_set(session_, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, "/dev/null");
    switch (ssh_session_is_known_server(session_)) {
        case SSH_KNOWN_HOSTS_OK:
            return KnownHost::Ok;
        case SSH_KNOWN_HOSTS_CHANGED:
        case SSH_KNOWN_HOSTS_OTHER:
            return KnownHost::Changed;
        case SSH_KNOWN_HOSTS_UNKNOWN:
        case SSH_KNOWN_HOSTS_NOT_FOUND:
            return KnownHost::Unknown;
        default:
            return KnownHost::Error;
    }
}

void SshLink::authenticate(const SshKey& key) {
    NoSigpipe guard;
    const int rc = ssh_userauth_publickey(session_, nullptr, key.get());
    if (rc == SSH_AUTH_ERROR) fail("Anmeldung");
    if (rc != SSH_AUTH_SUCCESS) throw GeneralError("SFTP Anmeldung mit Schlüssel abgelehnt für " + user_);
}

void SshLink::authenticate(const std::string& password) {
    NoSigpipe guard;
    const int rc = ssh_userauth_password(session_, nullptr, password.c_str());
    if (rc == SSH_AUTH_ERROR) fail("Anmeldung");
    if (rc != SSH_AUTH_SUCCESS) throw GeneralError("SFTP Anmeldung mit Passwort abgelehnt für " + user_);
}

void SshLink::openSftpChannel() {
    NoSigpipe guard;
    channel_ = ssh_channel_new(session_);
    if (!channel_) fail("Kanal");
    if (ssh_channel_open_session(channel_) != SSH_OK) fail("Kanal");
    if (ssh_channel_request_subsystem(channel_, "sftp") != SSH_OK) fail("Subsystem sftp");
}

bool SshLink::usable() const { return session_ && channel_ && !broken_; }

void SshLink::send(const std::string& bytes) {
    NoSigpipe guard;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const int n = ssh_channel_write(channel_, bytes.data() + done, static_cast<std::uint32_t>(bytes.size() - done));
        if (n == SSH_ERROR || ssh_channel_is_closed(channel_)) {
            broken_ = true;
            throw SocketError(std::string("SSH Verbindung verloren: ") + ssh_get_error(session_));
        }
        // libssh gives up waiting for the server's window after the time-out and
        // returns what it took: a write that takes nothing has stalled, as a reply that
        // does not come has.
        if (n == 0) {
            broken_ = true;
            throw GeneralError("Read Timeout");
        }
        done += static_cast<std::size_t>(n);
    }
}

bool SshLink::receive(std::string& into, int timeoutMs) {
    NoSigpipe guard;
    char buffer[64 * 1024];
    const int n = ssh_channel_read_timeout(channel_, buffer, sizeof buffer, 0, timeoutMs);
    if (n == SSH_ERROR) {
        broken_ = true;
        throw SocketError(std::string("SSH Verbindung verloren: ") + ssh_get_error(session_));
    }
    if (n == 0) {
        if (ssh_channel_is_eof(channel_) || ssh_channel_is_closed(channel_) ||
            (ssh_get_status(session_) & (SSH_CLOSED | SSH_CLOSED_ERROR))) {
            broken_ = true;
            throw SocketError("SSH Verbindung vom Server geschlossen");
        }
        return false;
    }
    into.append(buffer, static_cast<std::size_t>(n));
    // Take whatever else is already here without waiting.
    for (;;) {
        const int more = ssh_channel_read_nonblocking(channel_, buffer, sizeof buffer, 0);
        if (more <= 0) break;
        into.append(buffer, static_cast<std::size_t>(more));
    }
    return true;
}

void SshLink::close(bool polite) {
    if (!session_) return;
    NoSigpipe guard;
    const bool goodbye = polite && !broken_;
    if (goodbye && channel_) {
        ssh_channel_close(channel_);
        ssh_channel_free(channel_);
    }
    // Either disconnect frees the channels still open; a link that is gone or stalled
    // gets no farewell that could wait on it.
    channel_ = nullptr;
    if (!goodbye) ssh_silent_disconnect(session_);
    if (goodbye) ssh_disconnect(session_);
    ssh_free(session_);
    session_ = nullptr;
    socket_.close();
}

}  // namespace velora::detail
