// SftpClient::put: the store half of the SFTP client.
#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "ftp/SftpClient.h"
#include "ftp/detail/SftpPacket.h"
#include "ftp/detail/SshLink.h"
#include "platform/Errors.h"
#include "platform/InputFile.h"

namespace velora {
namespace {

std::string namePart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ofSize(std::int64_t written, std::int64_t size) {
    return std::to_string(written) + " von " + std::to_string(size) + " Bytes";
}

std::string serverText(const sftp::Reply& reply) {
    const auto status = reply.type == sftp::kStatus ? sftp::parseStatus(reply.body) : std::nullopt;
    return status ? status->message : std::string("ungültige Antwort");
}

}  // namespace

std::int64_t SftpClient::put(const std::string& localFile, const std::string& remoteName) {
    InputFile file(localFile);
    return put(file, remoteName);
}

std::int64_t SftpClient::put(InputFile& file, const std::string& remoteName) {
    if (!file.isOpen())
        throw GeneralError("Datei \"" + file.path() + "\" kann nicht geöffnet werden. " + file.errorText());
    const std::string name = remoteName.empty() ? namePart(file.path()) : remoteName;
    requireConnected();
    const std::string target = remotePath(name);
    // NAME itself is never missing nor half written: the bytes go to NAME.part, which
    // then takes NAME's place in one step.
    const std::string written = tempRename_ ? target + ".part" : target;
    const std::string part = tempRename_ ? written : std::string();
    status("Starting FTP transfer");
    const std::string handle = openForWriting(written);
    std::int64_t confirmed = 0;
    try {
        confirmed = sendFile(file, handle, written);
    } catch (const Error&) {
        cleanUpAfterFailure(handle, part);
        throw;
    }
    status("Transfer complete");
    try {
        // Only a closed handle means the server has taken the file.
        const std::uint32_t id = nextId();
        sftp::Request close(sftp::kClose, id);
        close.string(handle);
        expectOk(close, id, "SFTP " + written);
        if (tempRename_) replace(written, target);
    } catch (const Error&) {
        if (connected() && !part.empty()) removeQuietly(part);
        throw;
    }
    return confirmed;
}

std::string SftpClient::openForWriting(const std::string& path) {
    const std::uint32_t id = nextId();
    sftp::Request open(sftp::kOpen, id);
    open.string(path).u32(sftp::kOpenWrite | sftp::kOpenCreate | sftp::kOpenTruncate).u32(0);
    send(open);
    const sftp::Reply reply = awaitReply(id, timeouts_.wholeReplyMs);
    if (reply.type == sftp::kHandle) {
        if (auto handle = sftp::parseHandle(reply.body)) return *handle;
    }
    throw GeneralError("SFTP " + path + ": " + serverText(reply));
}

// Writes go out back to back, each with its offset, up to kMaxInFlight bytes ahead of
// the server's confirmations: waiting for every write before the next would cost a
// round trip per 64 KiB.
std::int64_t SftpClient::sendFile(InputFile& file, const std::string& handle, const std::string& path) {
    const std::int64_t size = file.size();
    if (size < 0) throw GeneralError(file.errorText());
    events_.IdFTP1WorkBegin(size);
    std::vector<char> block(FtpClient::kBlockSize);
    std::int64_t sent = 0;
    std::int64_t confirmed = 0;
    std::size_t pending = 0;
    link_->setTimeout(timeouts_.sendStallMs);
    try {
        try {
            for (;;) {
                const long n = file.read(block.data(), block.size());
                if (n < 0) throw GeneralError(file.errorText());
                if (n == 0) break;
                for (std::size_t at = 0; at < static_cast<std::size_t>(n); at += kRequestSize) {
                    const std::size_t length = std::min(kRequestSize, static_cast<std::size_t>(n) - at);
                    while (pending + length > kMaxInFlight) confirmed += collectWrite(pending, path);
                    const std::uint32_t id = nextId();
                    sftp::Request write(sftp::kWrite, id);
                    write.string(handle).u64(static_cast<std::uint64_t>(sent)).string(block.data() + at, length);
                    send(write);
                    inFlight_[id] = length;
                    pending += length;
                    sent += static_cast<std::int64_t>(length);
                }
                events_.IdFTP1Work(sent);
                // A handler that pumped window messages may have closed the session.
                requireConnected();
                if (events_.abandonStore()) {
                    throw GeneralError("Übertragung abgebrochen nach " + ofSize(sent, size) + ": Programmende");
                }
            }
            while (pending > 0) {
                confirmed += collectWrite(pending, path);
                if (events_.abandonStore()) {
                    throw GeneralError("Übertragung abgebrochen nach " + ofSize(sent, size) + ": Programmende");
                }
            }
        } catch (const SocketError& e) {
            throw SocketError("Datenverbindung abgebrochen nach " + ofSize(sent, size) + ": " + e.what());
        } catch (const GeneralError& e) {
            if (std::strcmp(e.what(), "Read Timeout") != 0) throw;
            throw GeneralError("Zeitüberschreitung der Datenverbindung nach " + ofSize(sent, size));
        }
    } catch (...) {
        if (link_) link_->setTimeout(timeouts_.wholeReplyMs);
        events_.IdFTP1WorkEnd();
        throw;
    }
    link_->setTimeout(timeouts_.wholeReplyMs);
    events_.IdFTP1WorkEnd();
    return confirmed;
}

// Waits for the confirmation of one write; a refusal ends the store with the server's
// text, silence for the stall time-out ends it as "Read Timeout".
std::int64_t SftpClient::collectWrite(std::size_t& pending, const std::string& path) {
    sftp::Reply reply;
    if (!nextReply(reply, timeouts_.sendStallMs)) {
        // Confirmations may still arrive for a stalled store: nothing after it could
        // tell them apart, so the session goes.
        closeSession(false);
        throw GeneralError("Read Timeout");
    }
    const auto it = inFlight_.find(reply.id);
    if (it == inFlight_.end()) return 0;
    const std::size_t length = it->second;
    inFlight_.erase(it);
    pending -= length;
    const auto result = reply.type == sftp::kStatus ? sftp::parseStatus(reply.body) : std::nullopt;
    if (!result || result->code != sftp::kOk) throw GeneralError("SFTP " + path + ": " + serverText(reply));
    return static_cast<std::int64_t>(length);
}

// The same status lines as the FTP client's rename, so a log reads alike either way.
void SftpClient::replace(const std::string& from, const std::string& to) {
    status("Renaming " + namePart(from) + " to " + namePart(to));
    replaceQuietly(from, to);
    status("Renamed.");
}

void SftpClient::replaceQuietly(const std::string& from, const std::string& to) {
    if (posixRename_) {
        // rename(2) on the server: NAME is replaced in one step, never missing.
        const std::uint32_t id = nextId();
        sftp::Request rename(sftp::kExtended, id);
        rename.string(sftp::kPosixRename).string(from).string(to);
        expectOk(rename, id, "SFTP " + to);
        return;
    }
    // A plain rename refuses an existing target on most servers; without the extension
    // the old file has to go first.
    std::uint32_t id = nextId();
    sftp::Request rename(sftp::kRename, id);
    rename.string(from).string(to);
    send(rename);
    const sftp::Reply first = awaitReply(id, timeouts_.wholeReplyMs);
    const auto status = first.type == sftp::kStatus ? sftp::parseStatus(first.body) : std::nullopt;
    if (status && status->code == sftp::kOk) return;
    this->status("Deleting " + namePart(to));
    removeQuietly(to);
    id = nextId();
    sftp::Request again(sftp::kRename, id);
    again.string(from).string(to);
    expectOk(again, id, "SFTP " + to);
}

bool SftpClient::removeQuietly(const std::string& path) {
    try {
        const std::uint32_t id = nextId();
        sftp::Request remove(sftp::kRemove, id);
        remove.string(path);
        expectOk(remove, id, "SFTP " + path);
        return true;
    } catch (const Error&) {
        return false;
    }
}

// After a failed store the session stays usable when it can: the writes still under
// way are answered and dropped, the handle closed, a NAME.part removed. Whatever of
// that fails closes the session; the store's own failure is the one to report.
void SftpClient::cleanUpAfterFailure(const std::string& handle, const std::string& partPath) {
    if (!connected()) return;
    try {
        Deadline deadline(timeouts_.wholeReplyMs);
        sftp::Reply reply;
        while (!inFlight_.empty()) {
            if (!nextReply(reply, deadline.remainingMs())) {
                closeSession(false);
                return;
            }
            inFlight_.erase(reply.id);
        }
        const std::uint32_t id = nextId();
        sftp::Request close(sftp::kClose, id);
        close.string(handle);
        send(close);
        awaitReply(id, timeouts_.wholeReplyMs);
        if (!partPath.empty()) removeQuietly(partPath);
    } catch (const Error&) {
        closeSession(false);
    }
}

}  // namespace velora
