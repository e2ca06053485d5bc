#include "transfer/HttpClient.h"

#include <cctype>
#include <cerrno>
#include <cstring>

namespace velora {
namespace {

std::string base64(const std::string& bytes) {
    static const char* const alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += {alphabet[v >> 18], alphabet[(v >> 12) & 63], alphabet[(v >> 6) & 63], alphabet[v & 63]};
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += {alphabet[v >> 18], alphabet[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += {alphabet[v >> 18], alphabet[(v >> 12) & 63], alphabet[(v >> 6) & 63], '='};
    }
    return out;
}

// True when one of the proxy's challenges is the Basic scheme.
bool offersBasic(const HttpAnswer& answer) {
    for (std::string challenge : answer.values("Proxy-Authenticate")) {
        for (char& c : challenge) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::size_t at = 0;
        while ((at = challenge.find("basic", at)) != std::string::npos) {
            const bool tokenStart = at == 0 || challenge[at - 1] == ' ' || challenge[at - 1] == ',';
            const std::size_t end = at + 5;
            const bool tokenEnd = end == challenge.size() || challenge[end] == ' ' || challenge[end] == ',';
            if (tokenStart && tokenEnd) return true;
            at = end;
        }
    }
    return false;
}

}  // namespace

HttpClient::HttpClient(HttpClientEvents& events, NameResolver& resolver, TcpConnector& connector, const Clock& clock,
                       HttpLimits limits)
    : events_(events), resolver_(resolver), connector_(connector), clock_(clock), limits_(limits) {}

std::string HttpClient::get(const HttpUrl& url, const HttpProxy& proxy, const HttpTimeouts& timeouts) {
    disconnect();
    const std::string& host = proxy.use ? proxy.host : url.host;
    const int port = proxy.use ? proxy.port : url.port;
    std::string authorization;
    for (bool retried = false;; retried = true) {
        HttpAnswer answer = exchange(host, port, request(url, proxy.use, authorization), timeouts);
        if (answer.code == 407 && proxy.use && !retried && offersBasic(answer)) {
            if (!proxy.user.empty()) {
                authorization = basicCredentials(proxy.user, proxy.password);
                continue;
            }
            // Without a user there are no credentials: the password alone is never
            // put together with an empty name, so it cannot show up anywhere.
            events_.IdHTTP1ProxyAuthorization(basicCredentials("", ""));
        }
        if (answer.code / 100 != 2) throw HttpError(answer.code, answer.body);
        return std::move(answer.body);
    }
}

void HttpClient::disconnect() {
    if (open_.isOpen()) close(open_);
}

std::string HttpClient::request(const HttpUrl& url, bool viaProxy, const std::string& proxyAuthorization) {
    std::string r = "GET " + (viaProxy ? url.absolute() : url.path) + " HTTP/1.1\r\n";
    r += "Host: " + url.hostHeader() + "\r\n";
    r += "Accept: text/html, */*\r\n";
    r += "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n";
    if (!proxyAuthorization.empty()) r += "Proxy-Authorization: " + proxyAuthorization + "\r\n";
    r += "\r\n";
    return r;
}

std::string HttpClient::basicCredentials(const std::string& user, const std::string& password) {
    return "Basic " + base64(user + ":" + password);
}

HttpAnswer HttpClient::exchange(const std::string& host, int port, const std::string& request,
                                const HttpTimeouts& timeouts) {
    TcpSocket socket = open(host, port, timeouts.connectMs);
    try {
        const SendResult sent = socket.writeAll(request, timeouts.readMs);
        if (!sent.ok()) throw SocketError(std::strerror(sent.systemError != 0 ? sent.systemError : EPIPE));
        HttpAnswerReader reader(socket, clock_, timeouts.readMs, limits_);
        HttpAnswer answer = reader.read();
        close(socket);
        return answer;
    } catch (const SocketError&) {
        close(socket);
        throw;
    } catch (...) {
        open_ = std::move(socket);
        throw;
    }
}

TcpSocket HttpClient::open(const std::string& host, int port, int connectTimeoutMs) {
    if (port < 1 || port > 65535) throw GeneralError("Invalid port " + std::to_string(port));
    std::string ip = host;
    if (!TcpSocket::isNumericIPv4(host)) {
        events_.IdHTTP1Status("Resolving hostname " + host + ".");
        ip = resolver_.resolveIPv4(host);
    }
    events_.IdHTTP1Status("Connecting to " + ip + ".");
    std::optional<TcpSocket> socket = connector_.connectWithin(ip, port, connectTimeoutMs);
    if (!socket) throw GeneralError("Connect Timeout");
    events_.IdHTTP1Status("Connected.");
    return std::move(*socket);
}

void HttpClient::close(TcpSocket& socket) {
    // Closed before the statuses run: a handler that lets window messages run may
    // start another request meanwhile.
    socket.close();
    events_.IdHTTP1Status("Disconnecting.");
    events_.IdHTTP1Status("Disconnected.");
}

}  // namespace velora
