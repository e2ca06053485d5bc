#pragma once
// The one FTP connection of the program, as the window drives it: connect (with the
// proxy login), change directory, store, disconnect, and the event handlers that log
// every step and keep `_ftpopen`. The protocol itself is FtpClient, or SftpClient when
// the login asks for SFTP; both report through the same handlers, so the log reads alike.
#include <cstdint>
#include <memory>
#include <string>

#include "app/ClientIdentity.h"
#include "app/EventLog.h"
#include "ftp/FtpClient.h"
#include "ftp/FtpLogin.h"
#include "ftp/FtpOperations.h"
#include "ftp/SftpClient.h"

namespace velora {

class FtpSession : public FtpOperations, private FtpClientEvents {
public:
    // The time-outs are the program's unless a test shortens them.
    FtpSession(const ClientIdentity& identity, EventLog& log, UiHost& ui, NameResolver& resolver,
               TcpConnector& connector, FtpTimeouts timeouts = {});
    ~FtpSession() override;

    // "Connect". The login is read afresh for every connect, so an edit counts at once.
    void B_connectClick(const FtpLogin& login);
    void B_DisconnectClick();   // "DisConnect"
    void ChangeDir(const std::string& path) override;
    std::int64_t Put(InputFile& source, const std::string& remoteName) override;
    using FtpOperations::Put;
    bool endRequested() override { return ui_.endRequested(); }

    bool connected() const;
    bool ftpOpen() const { return ftpopen_; }
    void clearFtpOpen() { ftpopen_ = false; }   // Label12Click

    // The server port; 21 as the program fixes it. Only tests change it.
    void setServerPort(int port) { serverPort_ = port; }

private:
    // Client event handlers
    void IdFTP1Status(const std::string& text) override;
    void IdFTP1WorkBegin(std::int64_t size) override;
    void IdFTP1Work(std::int64_t bytesSoFar) override;
    void IdFTP1WorkEnd() override;
    void IdFTP1Disconnected() override;
    void notice(const std::string& text) override;
    bool abandonStore() override { return ui_.endGraceOver(); }

    const ClientIdentity& identity_;
    EventLog& log_;
    UiHost& ui_;
    std::unique_ptr<FtpClient> client_;
    std::unique_ptr<SftpClient> sftp_;
    bool sftpInUse_ = false;   // chosen at every connect
    int transferTimeoutMs_;
    bool ftpopen_ = false;
    int serverPort_ = 21;
    TransferProgress progress_;   // of the store under way
};

}  // namespace velora
