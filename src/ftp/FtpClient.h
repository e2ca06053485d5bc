#pragma once
// The FTP protocol over one control connection (RFC 959, TCP/IPv4): open and
// log in with the "OPEN" proxy method, change directory, store a file passively or
// actively, close. With the login's "FTP_TLS" every connection runs in TLS (RFC 4217,
// explicit: AUTH TLS before the login, PROT P for the data), and a server that will
// not is refused, never talked to in plain text instead. Everything the session wants
// to log leaves through FtpClientEvents.
// The client opens no connection of its own: names and connections come from the
// resolver and the connector it is given.
//
// Every command line passes through sendCommand(), which refuses control characters,
// so no field a user typed can smuggle a second command onto the connection.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "ftp/FtpLogin.h"
#include "ftp/FtpReply.h"
#include "platform/NameResolver.h"
#include "platform/TcpConnector.h"
#include "platform/TcpSocket.h"
#include "platform/TlsStream.h"

namespace velora {

class InputFile;

// What the client reports while it works, for the session to log. A handler may let
// window messages run, and with them anything, a disconnect included.
class FtpClientEvents {
public:
    virtual ~FtpClientEvents() = default;
    // "Resolving hostname %s.", "Connecting to %s.", "Connected.", "Connection
    // established", "Starting FTP transfer", "Transfer complete", "Disconnecting.",
    // "Disconnected."
    virtual void IdFTP1Status(const std::string& text) = 0;
    // A store: the file's size before the first byte, the bytes written so far after
    // every block, and its end (also when it failed).
    virtual void IdFTP1WorkBegin(std::int64_t size) = 0;
    virtual void IdFTP1Work(std::int64_t bytesSoFar) = 0;
    virtual void IdFTP1WorkEnd() = 0;
    // The control connection has just been closed.
    virtual void IdFTP1Disconnected() = 0;
    // A remark worth a log line: an address the client did not follow, a login folder
    // it could not learn.
    virtual void notice(const std::string& text) = 0;
    // Asked between the blocks of a store and while it waits for the delivery: true
    // gives the store up at once, as failed.
    virtual bool abandonStore() = 0;
};

// Every wait of the client. The program keeps these values; tests shorten them.
struct FtpTimeouts {
    // A connection the server's system has not taken by then will not come: a host
    // that drops the request would otherwise hold the one thread for minutes.
    static constexpr int kConnectSeconds = 15;
    // A whole reply, however slowly it trickles in, must be complete within this.
    static constexpr int kWholeReplySeconds = 10;
    // A store whose data has not moved for this long has stalled.
    static constexpr int kSendStallSeconds = 30;

    int connectMs = kConnectSeconds * 1000;   // control and passive data connections
    int readMs = 1000;          // ReadTimeout: a reply must begin within this
    int wholeReplyMs = kWholeReplySeconds * 1000;
    int transferMs = 1000;      // TransferTimeout: reads on the data connection
    int acceptMs = 10000;       // active mode: the server must connect back within this
    int quitReplyMs = 10;       // the reply to QUIT is read only if it is this quick
    int sendStallMs = kSendStallSeconds * 1000;
};

class FtpClient {
public:
    static constexpr std::size_t kBlockSize = 256 * 1024;
    static constexpr const char* kBadCharacter = "Ungültiges Zeichen im FTP-Befehl";

    // Names are looked up through `resolver`; the control and the passive data
    // connections are opened through `connector`, each within timeouts.connectMs, and
    // the active mode's listener comes from it too.
    FtpClient(FtpClientEvents& events, NameResolver& resolver, TcpConnector& connector, FtpTimeouts timeouts = {});
    ~FtpClient();
    FtpClient(const FtpClient&) = delete;
    FtpClient& operator=(const FtpClient&) = delete;

    // Opens and logs in: to the login's host at serverPort, or with the proxy to the
    // proxy host at proxyPort. `identification` goes with "CLNT" when the server lists
    // it. A failure after the connection is open closes it (with "QUIT") before it
    // leaves as SocketError or GeneralError.
    void connect(const FtpLogin& login, int serverPort, int proxyPort, const std::string& identification);
    // "QUIT" while the link is up, then close; fires the disconnect statuses and event.
    void disconnect();
    bool connected() const { return control_.isOpen(); }

    // A path without a leading "/" is taken relative to the folder the server put the
    // session in at login, never relative to where earlier commands went.
    void changeDir(const std::string& path);
    // Succeeds only when every byte reached the server and it confirmed the file;
    // returns how many bytes that was. With the login's tempRename the file is stored
    // as remoteName + ".part" and renamed over remoteName only once confirmed, so
    // the old file stays whole on the server until the new one is; a store or rename
    // that fails removes the ".part" again when the connection still allows it.
    std::int64_t put(InputFile& source, const std::string& remoteName);
    std::int64_t put(const std::string& localFile, const std::string& remoteName);

    static constexpr const char* kPartSuffix = ".part";

    const std::string& systemDescription() const { return system_; }
    const std::vector<std::string>& features() const { return features_; }

    // The one place that writes a command line. Raises GeneralError kBadCharacter,
    // sending nothing, when the line holds a byte below 0x20 or 0x7F.
    void sendCommand(const std::string& line);
    static void requireClean(const std::string& line);

private:
    void logIn(const FtpLogin& login, int serverPort, const std::string& identification, const TlsPeer& peer);
    // AUTH TLS and the handshake, before a word of the login.
    void secureControl(const TlsPeer& peer);
    // PBSZ 0 and PROT P: every data connection in TLS from here on.
    void protectData();
    // The data connection's handshake, resuming the control connection's session.
    void secureData(TlsStream& data);
    // USER (answered by one of userCodes), PASS on 331, and no account to give on 332.
    void authenticate(const std::string& user, const std::string& password, std::initializer_list<int> userCodes);
    FtpReply readReply(int timeoutMs);
    FtpReply command(const std::string& line);
    FtpReply command(const std::string& line, std::initializer_list<int> expected);
    static const FtpReply& expect(const FtpReply& reply, std::initializer_list<int> expected);
    void drainStaleReplies();
    void requireConnected() const;
    void closeSession();
    std::string folderToSend(const std::string& path) const;

    // A connection within the connect time-out; one that does not come in time is the
    // system's own time-out, only sooner.
    TcpSocket open(const std::string& ip, int port);
    TcpSocket openPassiveData(const std::string& remoteName);
    TcpSocket openActiveData(const std::string& remoteName);
    TcpSocket awaitServerConnection(TcpSocket& listener);
    std::int64_t sendFile(InputFile& file, TlsStream& data);
    void awaitDelivery(TlsStream& data, std::int64_t written, std::int64_t size);
    void readReplyAfterFailedStore();
    std::int64_t store(InputFile& source, const std::string& name, bool& begun);
    // RNFR/RNTO; a refused RNTO (5xx) deletes the target once and tries again.
    // keepPart turns true when that deleted the old file and the rename still failed.
    void renameOver(const std::string& part, const std::string& name, bool& keepPart);
    // The reply to RNTO, or the one that ended the attempt early.
    FtpReply tryRename(const std::string& from, const std::string& to);
    void removeQuietly(const std::string& name);

    void status(const std::string& text) { events_.IdFTP1Status(text); }

    FtpClientEvents& events_;
    NameResolver& resolver_;
    TcpConnector& connector_;
    FtpTimeouts timeouts_;
    TlsStream control_;
    ReplyReader reader_{control_};
    bool passive_ = true;
    bool tempRename_ = false;
    bool tls_ = false;   // the login asked for TLS
    std::string system_;
    std::vector<std::string> features_;
    std::string loginFolder_;   // what "PWD" named after the login; empty: unknown
};

}  // namespace velora
