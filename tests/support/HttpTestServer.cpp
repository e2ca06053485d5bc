#include "support/HttpTestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "platform/Errors.h"

namespace velora::test {
namespace {

constexpr int kPollMs = 20;
constexpr int kRequestWaitMs = 10000;
constexpr int kDripPauseMs = 2;

}  // namespace

HttpTestServer::HttpTestServer(std::vector<HttpTestAnswer> script)
    : script_(std::move(script)), listener_(TcpSocket::listenOn("127.0.0.1", 0)) {
    if (script_.empty()) throw std::invalid_argument("HttpTestServer: empty script");
    port_ = listener_.localAddress().port;
    thread_ = std::thread([this] { serve(); });
}

HttpTestServer::~HttpTestServer() {
    stop_ = true;
    thread_.join();
}

std::string HttpTestServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> HttpTestServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void HttpTestServer::serve() {
    std::size_t next = 0;
    while (!stop_) {
        try {
            std::optional<TcpSocket> client = listener_.accept(kPollMs);
            if (!client) continue;
            std::string request;
            const auto started = std::chrono::steady_clock::now();
            while (request.find("\r\n\r\n") == std::string::npos && !stop_ &&
                   std::chrono::steady_clock::now() - started < std::chrono::milliseconds(kRequestWaitMs)) {
                char buffer[4096];
                const auto n = client->readSome(buffer, sizeof buffer, kPollMs);
                if (n && *n == 0) break;
                if (n) request.append(buffer, *n);
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(request);
            }
            const HttpTestAnswer& a = script_[std::min(next, script_.size() - 1)];
            ++next;
            answer(*client, a);
        } catch (const Error&) {
            // The client went away in the middle; the next connection starts afresh.
        }
    }
}

void HttpTestServer::answer(TcpSocket& client, const HttpTestAnswer& a) {
    if (!client.writeAll(a.bytes, 5000).ok()) return;
    using Kind = HttpTestAnswer::Kind;
    switch (a.kind) {
    case Kind::Close:
        return;
    case Kind::Hold:
        while (!stop_ && !clientClosed(client, kPollMs)) {
        }
        return;
    case Kind::CloseAfter: {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(a.ms);
        while (!stop_ && std::chrono::steady_clock::now() < until && !clientClosed(client, kPollMs)) {
        }
        return;
    }
    case Kind::Endless: {
        const std::string block(16 * 1024, '7');
        while (!stop_ && !clientClosed(client, 0) && client.writeAll(block, 5000).ok()) {
        }
        return;
    }
    case Kind::Drip:
        while (!stop_ && !clientClosed(client, kDripPauseMs) && client.writeAll("7", 5000).ok()) {
        }
        return;
    }
}

// Waits up to `waitMs` for the client to close; bytes it sends meanwhile are dropped.
bool HttpTestServer::clientClosed(TcpSocket& client, int waitMs) {
    if (!client.waitReadable(waitMs)) return false;
    char buffer[512];
    const auto n = client.readSome(buffer, sizeof buffer, 0);
    return n && *n == 0;
}

}  // namespace velora::test
