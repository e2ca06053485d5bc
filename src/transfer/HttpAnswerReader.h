#pragma once
// Reads one HTTP/1.x answer from a connection: the status line, the headers and the
// body as the headers frame it (chunked transfer coding, Content-Length, or until the
// server closes). The answer is bounded in size and in time, so a broken or hostile
// page can neither fill the memory nor hold the one thread for ever.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clock.h"
#include "platform/TcpSocket.h"

namespace velora {

struct HttpLimits {
    // The page is meant to hold one address; error pages are a few kilobytes. A body
    // beyond this is a failure, never kept.
    std::size_t maxBodyBytes = 64 * 1024;
    // Status line and headers together (and the trailers of a chunked body).
    std::size_t maxHeaderBytes = 64 * 1024;
    // Every wait for more bytes is bounded by the read time-out; the whole answer
    // must in addition be complete within the read time-out plus this much, so a page
    // that drips a byte now and then cannot stretch one answer without end.
    int answerGraceMs = 30000;
};

struct HttpAnswer {
    int code = 0;
    std::vector<std::pair<std::string, std::string>> headers;   // in the order received
    std::string body;

    // Every value of the header `name` (compared without regard to case).
    std::vector<std::string> values(const std::string& name) const;
};

class HttpAnswerReader {
public:
    // The clock measures the whole answer from this moment on; make the reader right
    // after the request went out.
    HttpAnswerReader(TcpSocket& socket, const Clock& clock, int readTimeoutMs, const HttpLimits& limits);

    // The next final answer; interim answers (100 Continue and the like) are skipped.
    // A time-out, an early close, a malformed or oversized answer is a GeneralError;
    // the socket layer's failures are SocketError.
    HttpAnswer read();

private:
    HttpAnswer readHead();
    void readBody(HttpAnswer& answer);
    void readChunked(std::string& body);
    void readExactly(std::uint64_t size, std::string& body);
    void readUntilClose(std::string& body);
    // One line without its line break; longer than `limit` bytes is a failure.
    std::string readLine(std::size_t limit);
    // More bytes into the buffer; false when the server closed the connection.
    bool fill();
    void take(std::size_t n, std::string& out);
    void checkBodySize(std::uint64_t size) const;
    std::size_t buffered() const { return buffer_.size() - pos_; }

    TcpSocket& socket_;
    const Clock& clock_;
    int readTimeoutMs_;
    HttpLimits limits_;
    std::int64_t deadline_;
    std::string buffer_;
    std::size_t pos_ = 0;
};

}  // namespace velora
