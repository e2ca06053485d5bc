#pragma once
// A small HTTP/1.1 client for one GET at a time, directly or through a proxy. The
// request carries exactly "Host", "Accept" and "User-Agent" (and "Proxy-Authorization"
// once a proxy asked for Basic credentials); redirects are not followed. Every request
// gets its own connection, closed after the answer: the page is fetched once per run,
// minutes apart, and a kept-alive connection the server has meanwhile dropped would
// turn a working page into a failure.
#include <string>

#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/NameResolver.h"
#include "platform/TcpConnector.h"
#include "platform/TcpSocket.h"
#include "transfer/HttpAnswerReader.h"
#include "transfer/HttpUrl.h"

namespace velora {

struct HttpProxy {
    bool use = false;
    std::string host;
    int port = 0;
    std::string user;       // empty: no credentials are ever sent
    std::string password;
};

struct HttpTimeouts {
    int connectMs = 0;
    int readMs = 0;
};

// The server or the proxy answered with a status other than 2xx; the text is the
// body of that answer.
class HttpError : public Error {
public:
    HttpError(int code, const std::string& body) : Error(body), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

class HttpClientEvents {
public:
    virtual ~HttpClientEvents() = default;
    // "Resolving hostname %s.", "Connecting to %s.", "Connected.", "Disconnecting.",
    // "Disconnected."
    virtual void IdHTTP1Status(const std::string& text) = 0;
    // The proxy demands Basic authentication and no proxy user is set: `prepared` is
    // the "Proxy-Authorization" value the client has prepared. Nothing is sent; the
    // proxy's answer stands.
    virtual void IdHTTP1ProxyAuthorization(const std::string& prepared) = 0;
};

class HttpClient {
public:
    HttpClient(HttpClientEvents& events, NameResolver& resolver, TcpConnector& connector, const Clock& clock,
               HttpLimits limits = {});

    // The body of a 2xx answer exactly as received. Any other status is an HttpError
    // (a 407 of the proxy after one retry with credentials); the socket layer's
    // failures are SocketError; time-outs, early closes, malformed or oversized
    // answers are GeneralError, and such a failure leaves the connection open for
    // disconnect().
    std::string get(const HttpUrl& url, const HttpProxy& proxy, const HttpTimeouts& timeouts);

    // Closes the connection a failed request left open, with its statuses.
    void disconnect();

    // The request as it goes on the wire.
    static std::string request(const HttpUrl& url, bool viaProxy, const std::string& proxyAuthorization = {});
    // "Basic " and the RFC 7617 credentials of user and password.
    static std::string basicCredentials(const std::string& user, const std::string& password);

private:
    HttpAnswer exchange(const std::string& host, int port, const std::string& request, const HttpTimeouts& timeouts);
    TcpSocket open(const std::string& host, int port, int connectTimeoutMs);
    void close(TcpSocket& socket);

    HttpClientEvents& events_;
    NameResolver& resolver_;
    TcpConnector& connector_;
    const Clock& clock_;
    HttpLimits limits_;
    TcpSocket open_;   // left by a failed request until disconnect()
};

}  // namespace velora
