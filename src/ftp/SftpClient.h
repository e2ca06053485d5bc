#pragma once
// The same export over SSH: the sibling of FtpClient that FtpSession uses when "SFTP" is
// checked. It logs in to login.host on login.sftpPort (host key pinned by
// "SFTP_HostKey" or known from ~/.ssh/known_hosts, checked before any authentication;
// then the key file or the password), changes folders and stores files with the same
// meaning as the FTP client, and reports through the same FtpClientEvents. Names and
// connections come from the resolver and the connector it is given.
//
// The SSH layer is libssh; the SFTP messages are framed here (ftp/detail), so writes
// run many at once and a replacing rename can use OpenSSH's posix-rename.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "ftp/FtpClient.h"
#include "ftp/FtpLogin.h"

namespace velora {

namespace detail {
class SshLink;
}
namespace sftp {
struct Reply;
class ReplyStream;
class Request;
}

class InputFile;

class SftpClient {
public:
    // One write request's payload, and how many bytes may be on the way unconfirmed.
    static constexpr std::size_t kRequestSize = 64 * 1024;
    static constexpr std::size_t kMaxInFlight = 2 * 1024 * 1024;

    SftpClient(FtpClientEvents& events, NameResolver& resolver, TcpConnector& connector, FtpTimeouts timeouts = {});
    ~SftpClient();
    SftpClient(const SftpClient&) = delete;
    SftpClient& operator=(const SftpClient&) = delete;

    // Opens and logs in. A bad key file or "SFTP_HostKey" fails before any connection;
    // a failure after the connection is open closes it before it leaves as
    // SocketError or GeneralError.
    void connect(const FtpLogin& login);
    void disconnect();
    bool connected() const;

    // As FtpClient::changeDir: relative to the folder the server put the session in at
    // login. The folder must exist.
    void changeDir(const std::string& path);
    // Stores the whole file (through NAME.part and a rename over NAME when the login
    // asks for it); returns the bytes the server confirmed.
    std::int64_t put(const std::string& localFile, const std::string& remoteName);
    // The same from a source the caller opened: one that holds its file to a snapshot
    // or copies every block it reads does so here too.
    std::int64_t put(InputFile& source, const std::string& remoteName);

    // One log line naming the FTP-only settings that are set but have no meaning over
    // SSH ("FTP_TLS", "Passiv", "Proxy"); empty when none is.
    static std::string unusedSettingsNote(const FtpLogin& login);

    // The server's SSH version string, the counterpart of FTP's system description.
    const std::string& systemDescription() const { return system_; }
    // The folder the server put the session in at login ("SFTP canonical path of .").
    const std::string& loginFolder() const { return loginFolder_; }
    bool serverReplacesOnRename() const { return posixRename_; }

private:
    void logIn(const FtpLogin& login, const std::string& hostKey);
    void verifyHostKey(const FtpLogin& login, const std::string& pinned);
    void startSftp();
    void closeSession(bool polite);
    void requireConnected() const;

    void send(sftp::Request& request);
    std::uint32_t nextId() { return ++lastId_; }
    // The reply to `id` within `timeoutMs`; replies to other requests are kept aside.
    sftp::Reply awaitReply(std::uint32_t id, int timeoutMs);
    // The next reply of any id, or false when nothing came within `timeoutMs`.
    bool nextReply(sftp::Reply& reply, int timeoutMs);
    // A request answered by STATUS: raises GeneralError with the server's text unless OK.
    void expectOk(sftp::Request& request, std::uint32_t id, const std::string& what);
    std::string remotePath(const std::string& name) const;

    std::string openForWriting(const std::string& path);
    std::int64_t sendFile(InputFile& file, const std::string& handle, const std::string& path);
    std::int64_t collectWrite(std::size_t& pending, const std::string& path);
    void replace(const std::string& from, const std::string& to);
    void replaceQuietly(const std::string& from, const std::string& to);
    bool removeQuietly(const std::string& path);
    void cleanUpAfterFailure(const std::string& handle, const std::string& partPath);

    void status(const std::string& text) { events_.IdFTP1Status(text); }

    FtpClientEvents& events_;
    NameResolver& resolver_;
    TcpConnector& connector_;
    FtpTimeouts timeouts_;
    std::unique_ptr<detail::SshLink> link_;
    std::unique_ptr<sftp::ReplyStream> stream_;
    std::map<std::uint32_t, std::size_t> inFlight_;   // write id -> bytes
    std::uint32_t lastId_ = 0;
    std::string system_;
    std::string loginFolder_;
    std::string folder_;   // where stores go; the login folder until changeDir
    bool posixRename_ = false;
    bool tempRename_ = false;
};

}  // namespace velora
