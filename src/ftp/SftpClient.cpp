#include "ftp/SftpClient.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ftp/detail/SftpPacket.h"
#include "ftp/detail/SshLink.h"
#include "platform/Errors.h"

namespace velora {
namespace {

constexpr std::uint32_t kSftpVersion = 3;
constexpr std::uint32_t kDirectoryType = 0040000;
constexpr std::uint32_t kTypeMask = 0170000;

std::string knownHostsFile() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) throw GeneralError("SFTP: HOME nicht gesetzt, ~/.ssh/known_hosts unbekannt");
    return std::string(home) + "/.ssh/known_hosts";
}

std::string joined(const std::string& folder, const std::string& name) {
    if (name.empty()) return folder;
    if (name.front() == '/') return name;
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

SftpClient::SftpClient(FtpClientEvents& events, NameResolver& resolver, TcpConnector& connector, FtpTimeouts timeouts)
    : events_(events), resolver_(resolver), connector_(connector), timeouts_(timeouts) {}

// Closing here fires no events: whoever listens may already be gone.
SftpClient::~SftpClient() = default;

std::string SftpClient::unusedSettingsNote(const FtpLogin& login) {
    std::vector<std::string> names;
    if (login.tls) names.push_back("FTP_TLS");
    if (login.passive) names.push_back("Passiv");
    if (login.useProxy) names.push_back("Proxy");
    if (names.empty()) return {};
    std::string list = names.front();
    for (std::size_t i = 1; i < names.size(); ++i) list += (i + 1 == names.size() ? " und " : ", ") + names[i];
    return "SFTP: " + list + (names.size() == 1 ? " gilt" : " gelten") + " hier nicht";
}

bool SftpClient::connected() const { return link_ && link_->usable(); }

void SftpClient::requireConnected() const {
    if (!connected()) throw GeneralError("Not Connected");
}

void SftpClient::connect(const FtpLogin& login) {
    system_.clear();
    loginFolder_.clear();
    folder_.clear();
    posixRename_ = false;
    tempRename_ = login.tempRename;
    // Everything the user typed is checked before the first packet: a setting that
    // cannot work must not cost a connection, nor send a password anywhere.
    std::string pinned;
    if (!login.sftpHostKey.empty()) {
        const auto normal = detail::normalizedHostKey(login.sftpHostKey);
        if (!normal) {
            throw GeneralError("SFTP_HostKey hat ein falsches Format: \"" + login.sftpHostKey +
                               "\" (erwartet SHA256:... wie ssh-keygen -l -E sha256 es zeigt)");
        }
        pinned = *normal;
    }
    detail::SshKey key;
    if (!login.sftpKeyFile.empty()) key = detail::loadPrivateKey(login.sftpKeyFile);
    const std::string knownHosts = pinned.empty() ? knownHostsFile() : std::string();
    FtpClient::requireClean(login.host);
    FtpClient::requireClean(login.user);
    if (login.sftpPort < 1 || login.sftpPort > 65535) throw SocketError(std::strerror(ECONNREFUSED));

    std::string ip = login.host;
    if (!TcpSocket::isNumericIPv4(login.host)) {
        status("Resolving hostname " + login.host + ".");
        ip = resolver_.resolveIPv4(login.host);
    }
    status("Connecting to " + ip + ".");
    std::optional<TcpSocket> socket = connector_.connectWithin(ip, login.sftpPort, timeouts_.connectMs);
    if (!socket) throw SocketError(std::strerror(ETIMEDOUT));
    link_ = std::make_unique<detail::SshLink>(std::move(*socket), login.host, login.sftpPort, login.user,
                                              timeouts_.wholeReplyMs);
    stream_ = std::make_unique<sftp::ReplyStream>();
    inFlight_.clear();
    status("Connected.");
    try {
        link_->handshake();
        verifyHostKey(login, pinned.empty() ? knownHosts : pinned);
        if (key) {
            link_->authenticate(key);
        } else {
            link_->authenticate(login.password);
        }
        startSftp();
    } catch (...) {
        closeSession(false);
        throw;
    }
    system_ = link_->serverBanner();
    status("Connection established");
}

// `expected` is the pinned fingerprint, or the known_hosts file to ask.
void SftpClient::verifyHostKey(const FtpLogin& login, const std::string& expected) {
    const std::string actual = link_->hostKeyFingerprint();
    const std::string server = login.host + (login.sftpPort != 22 ? ":" + std::to_string(login.sftpPort) : "");
    if (expected.rfind("SHA256:", 0) == 0) {
        if (actual != expected) {
            throw GeneralError("SFTP Host-Schlüssel von " + server + " ist " + actual + ", nicht " + expected +
                               " aus SFTP_HostKey");
        }
        return;
    }
    switch (link_->knownHostsVerdict(expected)) {
        case detail::KnownHost::Ok:
            return;
        case detail::KnownHost::Changed:
            throw GeneralError("SFTP Host-Schlüssel von " + server + " hat sich geändert: " + actual +
                               " passt nicht zu " + expected);
        case detail::KnownHost::Unknown:
            throw GeneralError("SFTP Host-Schlüssel von " + server + " unbekannt: " + actual +
                               " (in SFTP_HostKey eintragen oder in " + expected + " aufnehmen)");
        case detail::KnownHost::Error:
            break;
    }
    throw GeneralError("SFTP Host-Schlüssel von " + server + " nicht prüfbar: " + expected + " nicht lesbar (" +
                       actual + ")");
}

void SftpClient::startSftp() {
    link_->openSftpChannel();
    sftp::Request init(sftp::kInit);
    init.u32(kSftpVersion);
    link_->send(init.packet());
    sftp::Reply reply;
    if (!nextReply(reply, timeouts_.wholeReplyMs)) throw GeneralError("Read Timeout");
    const auto version = reply.type == sftp::kVersion ? sftp::parseVersion(reply.body) : std::nullopt;
    if (!version || version->version < kSftpVersion) throw GeneralError("SFTP: Server spricht nicht SFTP Version 3");
    const auto rename = version->extensions.find(sftp::kPosixRename);
    posixRename_ = rename != version->extensions.end() && rename->second == "1";

    const std::uint32_t id = nextId();
    sftp::Request realpath(sftp::kRealpath, id);
    realpath.string(".");
    send(realpath);
    const sftp::Reply named = awaitReply(id, timeouts_.wholeReplyMs);
    const auto folder = named.type == sftp::kName ? sftp::parseFirstName(named.body) : std::nullopt;
    if (!folder) throw GeneralError("SFTP: Anmeldeordner unbekannt");
    loginFolder_ = *folder;
    folder_ = loginFolder_;
}

void SftpClient::disconnect() { closeSession(true); }

void SftpClient::closeSession(bool polite) {
    if (!link_) return;
    // Gone before any event runs, so a handler that pumps window messages and ends up
    // here again finds nothing left to close.
    std::unique_ptr<detail::SshLink> link = std::move(link_);
    link->setTimeout(timeouts_.quitReplyMs + 1000);
    link->close(polite);
    inFlight_.clear();
    status("Disconnecting.");
    events_.IdFTP1Disconnected();
    status("Disconnected.");
}

void SftpClient::send(sftp::Request& request) {
    // Every event handler may pump window messages, and a disconnect may be among them.
    requireConnected();
    try {
        link_->send(request.packet());
    } catch (const Error&) {
        closeSession(false);
        throw;
    }
}

bool SftpClient::nextReply(sftp::Reply& reply, int timeoutMs) {
    requireConnected();
    Deadline deadline(timeoutMs);
    for (;;) {
        if (auto next = stream_->next()) {
            reply = std::move(*next);
            return true;
        }
        if (stream_->broken()) {
            closeSession(false);
            throw GeneralError("SFTP: ungültige Antwort des Servers");
        }
        if (deadline.passed()) return false;
        std::string bytes;
        try {
            if (!link_->receive(bytes, deadline.remainingMs())) return false;
        } catch (const Error&) {
            closeSession(false);
            throw;
        }
        stream_->append(bytes.data(), bytes.size());
    }
}

sftp::Reply SftpClient::awaitReply(std::uint32_t id, int timeoutMs) {
    Deadline deadline(timeoutMs);
    sftp::Reply reply;
    for (;;) {
        if (!nextReply(reply, deadline.remainingMs())) {
            // The reply may still come and would then answer the wrong request.
            closeSession(false);
            throw GeneralError("Read Timeout");
        }
        if (reply.id == id && reply.type != sftp::kVersion) return reply;
        // A late write confirmation; the store that sent it has ended already.
        inFlight_.erase(reply.id);
    }
}

void SftpClient::expectOk(sftp::Request& request, std::uint32_t id, const std::string& what) {
    send(request);
    const sftp::Reply reply = awaitReply(id, timeouts_.wholeReplyMs);
    const auto result = reply.type == sftp::kStatus ? sftp::parseStatus(reply.body) : std::nullopt;
    if (!result) throw GeneralError("SFTP: ungültige Antwort auf " + what);
    if (result->code != sftp::kOk) throw GeneralError(what + ": " + result->message);
}

std::string SftpClient::remotePath(const std::string& name) const { return joined(folder_, name); }

void SftpClient::changeDir(const std::string& path) {
    requireConnected();
    const std::string target = joined(loginFolder_, path);
    const std::uint32_t id = nextId();
    sftp::Request stat(sftp::kStat, id);
    stat.string(target);
    send(stat);
    const sftp::Reply reply = awaitReply(id, timeouts_.wholeReplyMs);
    if (reply.type == sftp::kStatus) {
        const auto result = sftp::parseStatus(reply.body);
        throw GeneralError("SFTP Ordner " + target + ": " + (result ? result->message : std::string("?")));
    }
    const auto permissions = reply.type == sftp::kAttrs ? sftp::parsePermissions(reply.body) : std::nullopt;
    if (!permissions) throw GeneralError("SFTP: ungültige Antwort auf STAT " + target);
    // A server that leaves the type out gets the benefit of the doubt; the store
    // into it will tell.
    if (*permissions && (**permissions & kTypeMask) != kDirectoryType) {
        throw GeneralError("SFTP Ordner " + target + ": kein Ordner");
    }
    folder_ = target;
}

}  // namespace velora
