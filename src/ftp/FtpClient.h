#pragma once
// The FTP protocol over one control connection (RFC 959, plain TCP/IPv4): open and
// log in with the "OPEN" proxy method, change directory, store a file passively or
// actively, close. Everything the session wants to log leaves through FtpClientEvents.
//
// Every command line passes through sendCommand(), which refuses control characters,
// so no field a user typed can smuggle a second command onto the connection.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "ftp/FtpReply.h"
#include "platform/TcpSocket.h"

namespace velora {

class InputFile;

struct FtpLogin {
    std::string host;
    int port = 21;
    std::string user;
    std::string password;
    std::string proxyHost;           // empty: connect to host:port directly
    int proxyPort = 0;
    std::string proxyUser;           // empty: no proxy login
    std::string proxyPassword;
    bool passive = true;
    std::string identification;      // sent with "CLNT" when the server lists it
};

struct FtpClientEvents {
    std::function<void(const std::string&)> status;
    std::function<void(std::int64_t size)> workBegin;
    std::function<void(std::int64_t bytesSoFar)> work;
    std::function<void()> workEnd;
    std::function<void()> disconnected;
    std::function<void(const std::string&)> notice;   // remarks worth a log line
};

// Every wait of the client. The program keeps these values; tests shorten them.
struct FtpTimeouts {
    // A whole reply, however slowly it trickles in, must be complete within this.
    static constexpr int kWholeReplySeconds = 10;
    // A store whose data has not moved for this long has stalled.
    static constexpr int kSendStallSeconds = 30;

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

    explicit FtpClient(FtpClientEvents events, FtpTimeouts timeouts = {});
    ~FtpClient();
    FtpClient(const FtpClient&) = delete;
    FtpClient& operator=(const FtpClient&) = delete;

    // Opens and logs in. A failure after the connection is open closes it (with
    // "QUIT") before it leaves as SocketError or GeneralError.
    void connect(const FtpLogin& login);
    // "QUIT" while the link is up, then close; fires the disconnect statuses and event.
    void disconnect();
    bool connected() const { return control_.isOpen(); }

    // A path without a leading "/" is taken relative to the folder the server put the
    // session in at login, never relative to where earlier commands went.
    void changeDir(const std::string& path);
    // Succeeds only when every byte reached the server and it confirmed the file;
    // returns how many bytes that was.
    std::int64_t put(const std::string& localFile, const std::string& remoteName);

    const std::string& systemDescription() const { return system_; }
    const std::vector<std::string>& features() const { return features_; }

    // The one place that writes a command line. Raises GeneralError kBadCharacter,
    // sending nothing, when the line holds a byte below 0x20 or 0x7F.
    void sendCommand(const std::string& line);
    static void requireClean(const std::string& line);

private:
    void logIn(const FtpLogin& login);
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

    TcpSocket openPassiveData(const std::string& remoteName);
    TcpSocket openActiveData(const std::string& remoteName);
    TcpSocket awaitServerConnection(TcpSocket& listener);
    std::int64_t sendFile(InputFile& file, TcpSocket& data);
    void awaitDelivery(TcpSocket& data, std::int64_t written, std::int64_t size);
    void readReplyAfterFailedStore();

    void status(const std::string& text) {
        if (events_.status) events_.status(text);
    }

    FtpClientEvents events_;
    FtpTimeouts timeouts_;
    TcpSocket control_;
    ReplyReader reader_{control_};
    bool passive_ = true;
    std::string system_;
    std::vector<std::string> features_;
    std::string loginFolder_;   // what "PWD" named after the login; empty: unknown
};

}  // namespace velora
