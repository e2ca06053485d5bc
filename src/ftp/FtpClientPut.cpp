// FtpClient::put and the data connection: the store half of the client.
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>

#include "ftp/FtpClient.h"
#include "platform/Errors.h"
#include "platform/InputFile.h"

namespace velora {
namespace {

std::string namePart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

SocketError brokenDataConnection(std::int64_t written, std::int64_t size, int systemError) {
    return SocketError("Datenverbindung abgebrochen nach " + std::to_string(written) + " von " +
                       std::to_string(size) + " Bytes: " + std::strerror(systemError));
}

GeneralError abandonedStore(std::int64_t written, std::int64_t size) {
    return GeneralError("Übertragung abgebrochen nach " + std::to_string(written) + " von " + std::to_string(size) +
                        " Bytes: Programmende");
}

GeneralError stalledDataConnection(std::int64_t written, std::int64_t size) {
    return GeneralError("Zeitüberschreitung der Datenverbindung nach " + std::to_string(written) + " von " +
                        std::to_string(size) + " Bytes");
}

std::string portArgument(const SocketAddress& addr) {
    std::string hostPart = addr.ip;
    for (char& c : hostPart) {
        if (c == '.') c = ',';
    }
    return hostPart + "," + std::to_string(addr.port / 256) + "," + std::to_string(addr.port % 256);
}

}  // namespace

std::int64_t FtpClient::put(const std::string& localFile, const std::string& remoteName) {
    InputFile file(localFile);
    return put(file, remoteName);
}

std::int64_t FtpClient::put(InputFile& file, const std::string& remoteName) {
    if (!file.isOpen())
        throw GeneralError("Datei \"" + file.path() + "\" kann nicht geöffnet werden. " + file.errorText());
    const std::string name = remoteName.empty() ? namePart(file.path()) : remoteName;
    const std::string storedAs = tempRename_ ? name + kPartSuffix : name;
    // Refuse a bad name before the first command, not between PASV and STOR.
    requireClean("STOR " + storedAs);
    requireConnected();
    bool begun = false;
    if (!tempRename_) return store(file, name, begun);
    bool keepPart = false;
    try {
        const std::int64_t sent = store(file, storedAs, begun);
        renameOver(storedAs, name, keepPart);
        return sent;
    } catch (const Error&) {
        // A piece of a file is no use to anyone on the server.
        if (begun && !keepPart) removeQuietly(storedAs);
        throw;
    }
}

// `begun` turns true once the server has taken the data connection: from then on
// there may be a file of that name on the server, whole or not.
std::int64_t FtpClient::store(InputFile& file, const std::string& name, bool& begun) {
    status("Starting FTP transfer");
    std::exception_ptr failure;
    std::int64_t sent = 0;
    {
        TlsStream data(passive_ ? openPassiveData(name) : openActiveData(name));
        begun = true;
        try {
            secureData(data);
            sent = sendFile(file, data);
        } catch (const Error&) {
            // A reset tells the server the file is incomplete; a plain close would
            // look like its end.
            data.abort();
            failure = std::current_exception();
        }
    }
    if (failure) {
        readReplyAfterFailedStore();
        std::rethrow_exception(failure);
    }
    status("Transfer complete");
    // Without this reply the server never confirmed the file: no success.
    expect(readReply(timeouts_.readMs), {226, 225, 250});
    return sent;
}

// Some servers refuse to rename over an existing file; for them the old one is
// deleted first, which leaves a moment without it, so only after a refusal.
void FtpClient::renameOver(const std::string& part, const std::string& name, bool& keepPart) {
    requireClean("RNTO " + name);
    status("Renaming " + part + " to " + name);
    FtpReply reply = tryRename(part, name);
    if (reply.code / 100 == 5) {
        status("Deleting " + name);
        const bool oldGone = command("DELE " + name).code == 250;
        reply = tryRename(part, name);
        // The old file is gone: the part is the only whole copy left on the server
        // (the next run stores the file again anyway).
        keepPart = oldGone && reply.code != 250;
        if (keepPart) status("Keeping " + part);
    }
    expect(reply, {250});
    status("Renamed.");
}

FtpReply FtpClient::tryRename(const std::string& from, const std::string& to) {
    command("RNFR " + from, {350});
    return command("RNTO " + to);
}

// Bounded by the reply time-out like every command; a failure here changes nothing,
// the store has failed already.
void FtpClient::removeQuietly(const std::string& name) {
    if (!control_.isOpen()) return;
    try {
        status("Removing " + name);
        command("DELE " + name);
    } catch (const Error&) {
        // The failure being reported is the store's.
    }
}

// The server answers a broken store too; that reply is read so the next command gets
// its own. What it says changes nothing: the store has failed already.
void FtpClient::readReplyAfterFailedStore() {
    if (!control_.isOpen()) return;
    try {
        readReply(timeouts_.readMs);
    } catch (const Error&) {
        // A late or missing reply has closed the session; the store's own failure is
        // the one to report.
    }
}

TcpSocket FtpClient::openPassiveData(const std::string& remoteName) {
    if (featureListed(features_, "PRET")) command("PRET STOR " + remoteName);
    const FtpReply pasv = command("PASV", {227});
    const PasvAddress offered = parsePasvReply(pasv.lines.front());
    // Only the port is taken from the reply: an address there could point the data
    // connection at any host, so it always goes to the server we are talking to.
    const std::string peer = control_.peerAddress().ip;
    if (offered.ip != peer) {
        events_.notice("PASV-Adresse " + offered.ip + " ignoriert, verwende " + peer);
    }
    sendCommand("STOR " + remoteName);
    TcpSocket data = open(peer, offered.port);
    expect(readReply(timeouts_.readMs), {110, 125, 150});
    return data;
}

TcpSocket FtpClient::openActiveData(const std::string& remoteName) {
    TcpSocket listener = connector_.listenOn(control_.localAddress().ip, 0);
    command("PORT " + portArgument(listener.localAddress()), {200});
    command("STOR " + remoteName, {125, 150});
    return awaitServerConnection(listener);
}

// Waits for the server's data connection, and meanwhile for the server giving up on
// the control connection (425, 421), which ends the wait at once.
TcpSocket FtpClient::awaitServerConnection(TcpSocket& listener) {
    const int fds[2] = {listener.fd(), control_.fd()};
    int remaining = timeouts_.acceptMs;
    while (remaining > 0) {
        if (reader_.pending(0)) throw GeneralError(readReply(timeouts_.readMs).text());
        const int slice = remaining < 100 ? remaining : 100;
        const int ready = waitAnyReadable(fds, 2, slice);
        if (ready == 0) {
            if (auto data = listener.accept(0)) return std::move(*data);
        } else if (ready == 1) {
            throw GeneralError(readReply(timeouts_.readMs).text());
        }
        remaining -= slice;
    }
    throw GeneralError("Zeitüberschreitung: keine Datenverbindung vom Server");
}

std::int64_t FtpClient::sendFile(InputFile& file, TlsStream& data) {
    const std::int64_t size = file.size();
    if (size < 0) throw GeneralError(file.errorText());
    events_.IdFTP1WorkBegin(size);
    // Without TLS a file copied while it is sent goes from the copy to the connection
    // inside the system: each byte is copied twice there instead of three times.
    const bool fromCopy = data.plain() && file.copiesBlocks();
    // Not zeroed first: every byte sent is one just read.
    const auto block = std::make_unique_for_overwrite<char[]>(fromCopy ? 0 : kBlockSize);
    std::int64_t written = 0;
    try {
        for (;;) {
            InputFile::CopiedBlock copied;
            const long n = fromCopy ? (copied = file.copyNextBlock(kBlockSize)).n : file.read(block.get(), kBlockSize);
            if (n < 0) throw GeneralError(file.errorText());
            if (n == 0) break;
            const auto count = static_cast<std::size_t>(n);
            const SendResult sent =
                fromCopy ? data.sendFromFile(copied.fd, copied.offset, count, timeouts_.sendStallMs)
                         : data.writeAll(std::string_view(block.get(), count), timeouts_.sendStallMs);
            written += static_cast<std::int64_t>(sent.written);
            if (sent.kind == SendResult::ConnectionLost) throw brokenDataConnection(written, size, sent.systemError);
            if (sent.kind == SendResult::Stalled) throw stalledDataConnection(written, size);
            events_.IdFTP1Work(written);
            // A handler that pumped window messages may have closed the session.
            requireConnected();
            if (events_.abandonStore()) throw abandonedStore(written, size);
        }
    } catch (...) {
        events_.IdFTP1WorkEnd();
        throw;
    }
    events_.IdFTP1WorkEnd();
    awaitDelivery(data, written, size);
    return written;
}

// After the last block the bytes may still sit in the system's buffers, and a slow
// link can take far longer than the reply time-out to carry them. The reply wait
// starts only once the server has everything: it closed the data connection, or it
// answered with nothing left unacknowledged. Only a transfer that stops moving for
// the stall time-out ends this wait.
void FtpClient::awaitDelivery(TlsStream& data, std::int64_t written, std::int64_t size) {
    constexpr int kSliceMs = 100;
    if (data.shutdownSend(timeouts_.sendStallMs).kind == SendResult::Stalled) throw stalledDataConnection(written, size);
    Deadline stall(timeouts_.sendStallMs);
    long queued = data.unacknowledgedBytes();
    for (;;) {
        // While bytes are unacknowledged a reply cannot be about the whole file.
        const bool replyMayEnd = queued <= 0;
        const int fds[2] = {data.fd(), control_.fd()};
        // What the TLS layer holds already never shows in the poll.
        const int ready = data.buffered()                    ? 0
                          : replyMayEnd && control_.buffered() ? 1
                                                               : waitAnyReadable(fds, replyMayEnd ? 2 : 1, stall.cap(kSliceMs));
        int lostBecause = 0;
        if (ready == 0) {
            const PeerState peer = data.takePeerState(&lostBecause);
            if (peer == PeerState::Lost) throw brokenDataConnection(written, size, lostBecause);
            if (peer == PeerState::Closed) {
                // An orderly close with bytes still unacknowledged: they never arrived.
                if (data.unacknowledgedBytes() > 0) throw brokenDataConnection(written, size, EPIPE);
                return;
            }
            continue;
        }
        if (ready == 1) {
            // The server answered first; its data connection is about to close. A
            // reset now still means the file did not arrive whole.
            if (data.waitReadable(timeouts_.readMs) && data.takePeerState(&lostBecause) == PeerState::Lost) {
                throw brokenDataConnection(written, size, lostBecause);
            }
            return;
        }
        if (events_.abandonStore()) throw abandonedStore(written, size);
        const long now = data.unacknowledgedBytes();
        if (now < queued) stall = Deadline(timeouts_.sendStallMs);
        queued = now;
        if (stall.passed()) throw stalledDataConnection(written, size);
    }
}

}  // namespace velora
