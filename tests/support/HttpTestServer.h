#pragma once
// A scripted HTTP server on 127.0.0.1 (a port the system picks) for the external-IP
// lookup's tests. Each connection it takes gets the next answer of its script (the
// last one repeats): it reads one request up to its blank line, records the bytes
// exactly as they came, and then plays the answer.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/TcpSocket.h"

namespace velora::test {

struct HttpTestAnswer {
    enum class Kind { Close, Hold, Endless, Drip, CloseAfter };
    Kind kind = Kind::Close;
    std::string bytes;
    int ms = 0;

    // Sends the bytes, then closes.
    static HttpTestAnswer send(std::string bytes) { return {Kind::Close, std::move(bytes)}; }
    // Sends the bytes (perhaps none), then neither sends nor closes until the client does.
    static HttpTestAnswer hold(std::string bytes = {}) { return {Kind::Hold, std::move(bytes)}; }
    // Sends the bytes, then body bytes without end until the client closes.
    static HttpTestAnswer endless(std::string head) { return {Kind::Endless, std::move(head)}; }
    // Sends the bytes, then one body byte every few milliseconds until the client closes.
    static HttpTestAnswer drip(std::string head) { return {Kind::Drip, std::move(head)}; }
    // Sends the bytes, stays silent and closes after `ms` (or when the client does).
    static HttpTestAnswer closeAfter(int ms, std::string bytes = {}) { return {Kind::CloseAfter, std::move(bytes), ms}; }
};

class HttpTestServer {
public:
    explicit HttpTestServer(std::vector<HttpTestAnswer> script);
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" + path
    std::string url(const std::string& path = "/Scripts/IP.php") const;
    // The requests received so far, byte for byte.
    std::vector<std::string> requests() const;

private:
    void serve();
    void answer(TcpSocket& client, const HttpTestAnswer& a);
    bool clientClosed(TcpSocket& client, int waitMs);

    std::vector<HttpTestAnswer> script_;
    TcpSocket listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace velora::test
