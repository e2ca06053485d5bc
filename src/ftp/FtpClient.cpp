#include "ftp/FtpClient.h"

#include <cerrno>
#include <cstring>

#include "platform/Errors.h"

namespace velora {
namespace {

// The text of a reply's first line without its code, as the system description
// wants it ("215 UNIX Type: L8" -> "UNIX Type: L8").
std::string firstTextLine(const FtpReply& reply) {
    const std::string& line = reply.lines.front();
    if (reply.code != 0 && line.size() >= 4) return line.substr(4);
    return reply.code != 0 ? std::string() : line;
}

// FEAT lists one feature per line between its first and its last line.
std::vector<std::string> featureLines(const FtpReply& reply) {
    if (reply.lines.size() < 3) return {};
    return {reply.lines.begin() + 1, reply.lines.end() - 1};
}

}  // namespace

FtpClient::FtpClient(FtpClientEvents& events, NameResolver& resolver, TcpConnector& connector, FtpTimeouts timeouts)
    : events_(events), resolver_(resolver), connector_(connector), timeouts_(timeouts) {}

// Closing here fires no events: whoever listens may already be gone.
FtpClient::~FtpClient() = default;

void FtpClient::requireClean(const std::string& line) {
    for (unsigned char c : line) {
        if (c < 0x20 || c == 0x7F) throw GeneralError(kBadCharacter);
    }
}

void FtpClient::requireConnected() const {
    if (!control_.isOpen()) throw GeneralError("Not Connected");
}

void FtpClient::sendCommand(const std::string& line) {
    requireClean(line);
    requireConnected();
    drainStaleReplies();
    SendResult sent;
    try {
        sent = control_.writeAll(line + "\r\n", timeouts_.sendStallMs);
    } catch (const SocketError&) {
        closeSession();
        throw;
    }
    if (!sent.ok()) {
        closeSession();
        throw SocketError(std::strerror(sent.kind == SendResult::Stalled ? ETIMEDOUT : sent.systemError));
    }
}

// Bytes that arrive before a command is sent answer nothing we asked (a server that
// says more than one reply per command); throw them away.
void FtpClient::drainStaleReplies() {
    while (control_.isOpen() && reader_.pending(0)) readReply(timeouts_.readMs);
}

FtpReply FtpClient::readReply(int timeoutMs) {
    requireConnected();
    FtpReply reply;
    try {
        reply = reader_.read(timeoutMs, timeouts_.wholeReplyMs);
    } catch (const SocketError&) {
        closeSession();
        throw;
    } catch (const GeneralError&) {
        // After a refused or late reply the stream is out of step for good: the rest
        // of it would be taken as the answer to the next command.
        if (reader_.outOfStep()) closeSession();
        throw;
    }
    if (reply.code == 421) {
        // The server is closing the control connection; follow it cleanly.
        closeSession();
        throw GeneralError(reply.text());
    }
    return reply;
}

const FtpReply& FtpClient::expect(const FtpReply& reply, std::initializer_list<int> expected) {
    if (!reply.is(expected)) throw GeneralError(reply.text());
    return reply;
}

FtpReply FtpClient::command(const std::string& line) {
    sendCommand(line);
    return readReply(timeouts_.readMs);
}

FtpReply FtpClient::command(const std::string& line, std::initializer_list<int> expected) {
    return expect(command(line), expected);
}

void FtpClient::connect(const FtpLogin& login, int serverPort, int proxyPort, const std::string& identification) {
    features_.clear();
    system_.clear();
    loginFolder_.clear();
    passive_ = login.passive;
    tempRename_ = login.tempRename;
    tls_ = login.tls;
    const bool viaProxy = login.useProxy && !login.proxyHost.empty();
    const std::string& target = viaProxy ? login.proxyHost : login.host;
    const int port = viaProxy ? proxyPort : serverPort;
    // A control character would never reach the wire in OPEN; nor may it cut the name
    // that is looked up and connected to.
    requireClean(target);
    // The TLS is with whoever we connect to, the proxy included. A fingerprint that
    // cannot be read stops the connect before it starts.
    TlsPeer peer{target, std::nullopt};
    if (tls_ && !login.tlsFingerprint.empty()) peer.pinned = parseSha256Fingerprint(login.tlsFingerprint);

    std::string ip = target;
    if (!TcpSocket::isNumericIPv4(target)) {
        status("Resolving hostname " + target + ".");
        ip = resolver_.resolveIPv4(target);
    }
    status("Connecting to " + ip + ".");
    control_ = TlsStream(open(ip, port));
    reader_.reset();
    status("Connected.");
    try {
        logIn(login, serverPort, identification, peer);
    } catch (...) {
        closeSession();
        throw;
    }
    status("Connection established");
}

TcpSocket FtpClient::open(const std::string& ip, int port) {
    // Port 0 takes no connection anywhere; say so as a refusal, as the system would.
    if (port == 0) throw SocketError(std::strerror(ECONNREFUSED));
    std::optional<TcpSocket> socket = connector_.connectWithin(ip, port, timeouts_.connectMs);
    if (!socket) throw SocketError(std::strerror(ETIMEDOUT));
    return std::move(*socket);
}

void FtpClient::logIn(const FtpLogin& login, int serverPort, const std::string& identification,
                      const TlsPeer& peer) {
    expect(readReply(timeouts_.readMs), {220});
    if (tls_) secureControl(peer);
    // A proxy logs its user in with 230 or 331 only; 232 is the target server's answer.
    if (login.useProxy && !login.proxyUser.empty()) authenticate(login.proxyUser, login.proxyPassword, {230, 331});
    // The proxy learns the real target from OPEN; a plain server refuses it, which
    // does no harm.
    command("OPEN " + login.host + (serverPort != 21 ? ":" + std::to_string(serverPort) : ""));
    authenticate(login.user, login.password, {230, 232, 331});
    if (tls_) protectData();
    features_ = featureLines(command("FEAT"));
    if (!identification.empty() && featureListed(features_, "CLNT")) {
        command("CLNT " + identification);
    }
    command("TYPE I", {200});
    const FtpReply syst = command("SYST");
    system_ = syst.code == 500 ? "Unknown" : firstTextLine(syst);
    // Where the server put us: relative folders are taken from here, whatever was
    // sent before them.
    const FtpReply pwd = command("PWD");
    loginFolder_ = pwd.code == 257 ? parseQuotedPath(pwd.lines.front()) : std::string();
    if (loginFolder_.empty()) {
        events_.notice("PWD ohne Ordner (" + pwd.text() + "): relative FTP Pfade werden nicht gesendet");
    }
}

void FtpClient::authenticate(const std::string& user, const std::string& password,
                             std::initializer_list<int> userCodes) {
    FtpReply reply = command("USER " + user, userCodes);
    if (reply.code == 331) reply = command("PASS " + password, {230, 332});
    // The server wants an account; there is none to give.
    if (reply.code == 332) throw GeneralError(reply.text());
}

// Bytes the server sends between its 234 and the handshake come in plain text, where
// anyone on the way may have put them; they would be read as the reply to the login.
void FtpClient::secureControl(const TlsPeer& peer) {
    const FtpReply auth = command("AUTH TLS");
    if (auth.code != 234) throw GeneralError("TLS abgelehnt: " + auth.text());
    if (reader_.buffered()) throw GeneralError("TLS abgelehnt: Klartext nach der Zusage des Servers");
    control_.startTls(peer, timeouts_.connectMs);
}

void FtpClient::protectData() {
    for (const char* line : {"PBSZ 0", "PROT P"}) {
        const FtpReply reply = command(line);
        if (reply.code != 200) throw GeneralError("TLS abgelehnt: " + std::string(line) + ": " + reply.text());
    }
}

void FtpClient::secureData(TlsStream& data) {
    if (tls_) data.startTlsResuming(control_, timeouts_.connectMs);
}

void FtpClient::disconnect() { closeSession(); }

void FtpClient::closeSession() {
    if (!control_.isOpen()) return;
    // Where TLS was asked for and is not up, not even QUIT goes out in plain text.
    const bool mayTalk = !tls_ || control_.secured();
    try {
        if (mayTalk && control_.writeAll("QUIT\r\n", timeouts_.quitReplyMs + 1000).ok() &&
            reader_.pending(timeouts_.quitReplyMs)) {
            reader_.read(timeouts_.quitReplyMs, timeouts_.quitReplyMs);
        }
    } catch (const Error&) {
        // The link is going away anyway.
    }
    // Closed before any event runs, so a handler that pumps window messages and ends
    // up here again finds nothing left to close.
    control_.close();
    reader_.reset();
    status("Disconnecting.");
    events_.IdFTP1Disconnected();
    status("Disconnected.");
}

std::string FtpClient::folderToSend(const std::string& path) const {
    // An empty path goes out as it is: the server decides what "CWD " means.
    if (path.empty() || path.front() == '/') return path;
    // Without the login folder a relative path would land wherever the last row went.
    if (loginFolder_.empty()) throw GeneralError("Anmeldeordner unbekannt: relativer FTP Pfad " + path);
    return loginFolder_.back() == '/' ? loginFolder_ + path : loginFolder_ + "/" + path;
}

void FtpClient::changeDir(const std::string& path) {
    requireConnected();
    command("CWD " + folderToSend(path), {200, 250});
}

}  // namespace velora
