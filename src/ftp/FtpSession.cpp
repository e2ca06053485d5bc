#include "ftp/FtpSession.h"

#include "ftp/FtpClient.h"
#include "platform/Errors.h"
#include "platform/WholeNumber.h"

namespace velora {

FtpSession::FtpSession(const ClientIdentity& identity, EventLog& log, UiHost& ui, NameResolver& resolver,
                       TcpConnector& connector, FtpTimeouts timeouts)
    : identity_(identity),
      log_(log),
      ui_(ui),
      client_(std::make_unique<FtpClient>(static_cast<FtpClientEvents&>(*this), resolver, connector, timeouts)),
      sftp_(std::make_unique<SftpClient>(static_cast<FtpClientEvents&>(*this), resolver, connector, timeouts)),
      transferTimeoutMs_(timeouts.transferMs) {}

FtpSession::~FtpSession() = default;

bool FtpSession::connected() const { return sftpInUse_ ? sftp_->connected() : client_->connected(); }

void FtpSession::B_connectClick(const FtpLogin& login) {
    if (connected()) {
        log_.write("es besteht bereits ein Connected");
        return;
    }
    log_.write("Procedure --> Connect");
    sftpInUse_ = login.sftp;
    try {
        int proxyPort = 0;
        if (login.useProxy && !sftpInUse_) {
            proxyPort = parseWholeNumber(login.proxyPort);
            log_.write("Use Proxy " + login.proxyHost);
            log_.write("Proxy User " + login.proxyUser);
            log_.write("Proxy Port " + login.proxyPort);
        }
        log_.write("Host " + login.host);
        log_.write("User " + login.user);
        log_.write("Host " + login.host);

        if (sftpInUse_) {
            const std::string unused = SftpClient::unusedSettingsNote(login);
            if (!unused.empty()) log_.write(unused);
            sftp_->connect(login);
        } else {
            client_->connect(login, serverPort_, proxyPort, identity_.identificationString());
        }

        ftpopen_ = connected();
        log_.write(ftpopen_ ? "ONLINE" : "ERROR");
        log_.write(sftpInUse_ ? sftp_->systemDescription() : client_->systemDescription());
        log_.write("TransferTimeout = " + std::to_string(transferTimeoutMs_) + " msec.");
    } catch (const SocketError& e) {
        log_.write(std::string("FTP_CONNECTED ERROR:  EIdSocketError: ") + e.what());
    } catch (const Error& e) {
        log_.write(std::string("FTP_CONNECTED ERROR: Exception: ") + e.what());
    }
}

void FtpSession::B_DisconnectClick() {
    if (!connected()) {
        log_.write("NOT Connect");
        return;
    }
    if (sftpInUse_) {
        sftp_->disconnect();
    } else {
        client_->disconnect();
    }
    log_.write("Procedure --> Disconnect");
}

void FtpSession::ChangeDir(const std::string& path) {
    if (sftpInUse_) {
        sftp_->changeDir(path);
    } else {
        client_->changeDir(path);
    }
}

std::int64_t FtpSession::Put(InputFile& source, const std::string& remoteName) {
    progress_ = TransferProgress{remoteName, 0, 0, false};
    return sftpInUse_ ? sftp_->put(source, remoteName) : client_->put(source, remoteName);
}

void FtpSession::IdFTP1Status(const std::string& text) {
    log_.write("Status --> " + text);
    if (text == "Disconnected." && ftpopen_) ftpopen_ = false;
}

void FtpSession::IdFTP1WorkBegin(std::int64_t size) {
    log_.write("Status --> Size : " + std::to_string(size) + " Byte");
    progress_.size = size;
    ui_.transferProgress(progress_);
}

void FtpSession::IdFTP1Work(std::int64_t bytesSoFar) {
    log_.write("Status --> " + std::to_string(bytesSoFar));
    progress_.bytes = bytesSoFar;
    ui_.transferProgress(progress_);
    ui_.pumpEvents();
}

void FtpSession::IdFTP1WorkEnd() {
    log_.write("Status --> Work End");
    progress_.finished = true;
    ui_.transferProgress(progress_);
}

void FtpSession::notice(const std::string& text) { log_.write(text); }

void FtpSession::IdFTP1Disconnected() {
    ftpopen_ = connected();
    log_.write("Procedure --> Disconnected");
    log_.write(std::string("Status --> Disconnect = ") + (connected() ? "ERROR" : "OFFLINE"));
}

}  // namespace velora
