// FtpClient::put and the data connection: the store half of the client.
#include <vector>

#include "ftp/FtpClient.h"
#include "platform/Errors.h"
#include "platform/InputFile.h"

namespace velora {
namespace {

std::string namePart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string portArgument(const SocketAddress& addr) {
    std::string hostPart = addr.ip;
    for (char& c : hostPart) {
        if (c == '.') c = ',';
    }
    return hostPart + "," + std::to_string(addr.port / 256) + "," + std::to_string(addr.port % 256);
}

}  // namespace

void FtpClient::put(const std::string& localFile, const std::string& remoteName) {
    InputFile file(localFile);
    if (!file.isOpen())
        throw GeneralError("Datei \"" + localFile + "\" kann nicht geöffnet werden. " + file.errorText());
    const std::string name = remoteName.empty() ? namePart(localFile) : remoteName;
    // Refuse a bad name before the first command, not between PASV and STOR.
    requireClean("STOR " + name);
    requireConnected();
    status("Starting FTP transfer");
    {
        TcpSocket data = passive_ ? openPassiveData(name) : openActiveData(name);
        sendFile(file, data);
    }
    status("Transfer complete");
    // Without this reply the server never confirmed the file: no success.
    expect(readReply(timeouts_.readMs), {226, 225, 250});
}

TcpSocket FtpClient::openPassiveData(const std::string& remoteName) {
    if (featureListed(features_, "PRET")) command("PRET STOR " + remoteName);
    const FtpReply pasv = command("PASV", {227});
    const PasvAddress offered = parsePasvReply(pasv.lines.front());
    // Only the port is taken from the reply: an address there could point the data
    // connection at any host, so it always goes to the server we are talking to.
    const std::string peer = control_.peerAddress().ip;
    if (offered.ip != peer && events_.notice) {
        events_.notice("PASV-Adresse " + offered.ip + " ignoriert, verwende " + peer);
    }
    sendCommand("STOR " + remoteName);
    TcpSocket data = TcpSocket::connectTo(peer, offered.port);
    expect(readReply(timeouts_.readMs), {110, 125, 150});
    return data;
}

TcpSocket FtpClient::openActiveData(const std::string& remoteName) {
    TcpSocket listener = TcpSocket::listenOn(control_.localAddress().ip, 0);
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

void FtpClient::sendFile(InputFile& file, TcpSocket& data) {
    const std::int64_t size = file.size();
    if (size < 0) throw GeneralError(file.errorText());
    if (events_.workBegin) events_.workBegin(size);
    std::vector<char> block(kBlockSize);
    std::int64_t sent = 0;
    try {
        for (;;) {
            const long n = file.read(block.data(), block.size());
            if (n < 0) throw GeneralError(file.errorText());
            if (n == 0) break;
            // A server that closes the data connection early ends the send; its final
            // reply then says whether the store counts.
            if (!data.writeAll(std::string_view(block.data(), static_cast<std::size_t>(n)), timeouts_.sendStallMs)) {
                break;
            }
            sent += n;
            if (events_.work) events_.work(sent);
        }
    } catch (...) {
        if (events_.workEnd) events_.workEnd();
        throw;
    }
    if (events_.workEnd) events_.workEnd();
}

}  // namespace velora
