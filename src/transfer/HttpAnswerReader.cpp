#include "transfer/HttpAnswerReader.h"

#include <algorithm>
#include <cctype>

#include "platform/Errors.h"

namespace velora {
namespace {

constexpr std::size_t kChunkLineLimit = 1024;
constexpr std::size_t kReadBlock = 16 * 1024;

const char* const kClosed = "Connection Closed Gracefully.";
const char* const kInvalid = "Invalid HTTP answer";

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trimmed(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    return text.substr(begin, end - begin);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "HTTP/1.1 200 OK" -> 200; a reason phrase is optional.
int statusCodeOf(const std::string& line) {
    const bool shaped = line.size() >= 12 && line.compare(0, 5, "HTTP/") == 0 && isDigit(line[5]) &&
                        line[6] == '.' && isDigit(line[7]) && line[8] == ' ' && isDigit(line[9]) &&
                        isDigit(line[10]) && isDigit(line[11]) && (line.size() == 12 || line[12] == ' ');
    if (!shaped) throw GeneralError(kInvalid);
    const int code = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    if (code < 100) throw GeneralError(kInvalid);
    return code;
}

std::uint64_t decimalLength(const std::string& text) {
    if (text.empty() || text.size() > 18 || !std::all_of(text.begin(), text.end(), isDigit)) {
        throw GeneralError(kInvalid);
    }
    return std::stoull(text);
}

// The size of a chunk: hex digits, then optionally blanks and extensions after ";".
std::uint64_t chunkSizeOf(const std::string& line) {
    std::uint64_t size = 0;
    std::size_t i = 0;
    for (; i < line.size() && std::isxdigit(static_cast<unsigned char>(line[i])); ++i) {
        if (i >= 15) throw GeneralError(kInvalid);
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(line[i])));
        size = size * 16 + static_cast<std::uint64_t>(isDigit(c) ? c - '0' : c - 'a' + 10);
    }
    if (i == 0) throw GeneralError(kInvalid);
    const std::string rest = trimmed(line.substr(i));
    if (!rest.empty() && rest.front() != ';') throw GeneralError(kInvalid);
    return size;
}

bool hasNoBody(int code) { return code / 100 == 1 || code == 204 || code == 304; }

}  // namespace

std::vector<std::string> HttpAnswer::values(const std::string& name) const {
    std::vector<std::string> found;
    const std::string wanted = lower(name);
    for (const auto& [n, v] : headers) {
        if (lower(n) == wanted) found.push_back(v);
    }
    return found;
}

HttpAnswerReader::HttpAnswerReader(TcpSocket& socket, const Clock& clock, int readTimeoutMs,
                                   const HttpLimits& limits)
    : socket_(socket),
      clock_(clock),
      readTimeoutMs_(readTimeoutMs),
      limits_(limits),
      deadline_(clock.tickMs() + readTimeoutMs + limits.answerGraceMs) {}

HttpAnswer HttpAnswerReader::read() {
    for (;;) {
        HttpAnswer answer = readHead();
        // 101 would switch protocols: not an answer this client can use, but final.
        if (answer.code / 100 == 1 && answer.code != 101) continue;
        readBody(answer);
        return answer;
    }
}

HttpAnswer HttpAnswerReader::readHead() {
    std::size_t budget = limits_.maxHeaderBytes;
    auto nextLine = [&] {
        std::string line = readLine(budget);
        budget -= std::min(budget, line.size() + 2);
        return line;
    };
    HttpAnswer answer;
    answer.code = statusCodeOf(nextLine());
    for (std::string line = nextLine(); !line.empty(); line = nextLine()) {
        if ((line.front() == ' ' || line.front() == '\t') && !answer.headers.empty()) {
            // A folded header continues the previous one.
            answer.headers.back().second += " " + trimmed(line);
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        answer.headers.emplace_back(trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1)));
    }
    return answer;
}

void HttpAnswerReader::readBody(HttpAnswer& answer) {
    if (hasNoBody(answer.code)) return;
    const std::vector<std::string> codings = answer.values("Transfer-Encoding");
    if (!codings.empty()) {
        // The transfer coding frames the body whatever Content-Length says; only
        // chunked is understood, anything else lasts until the server closes.
        const std::string last = lower(codings.back());
        const std::size_t comma = last.rfind(',');
        if (trimmed(comma == std::string::npos ? last : last.substr(comma + 1)) == "chunked") {
            readChunked(answer.body);
        } else {
            readUntilClose(answer.body);
        }
        return;
    }
    const std::vector<std::string> lengths = answer.values("Content-Length");
    if (lengths.empty()) {
        readUntilClose(answer.body);
        return;
    }
    const std::uint64_t length = decimalLength(lengths.front());
    for (const std::string& other : lengths) {
        if (decimalLength(other) != length) throw GeneralError(kInvalid);
    }
    readExactly(length, answer.body);
}

void HttpAnswerReader::readChunked(std::string& body) {
    for (;;) {
        const std::uint64_t size = chunkSizeOf(readLine(kChunkLineLimit));
        if (size == 0) break;
        readExactly(size, body);
        if (!readLine(kChunkLineLimit).empty()) throw GeneralError(kInvalid);
    }
    std::size_t budget = limits_.maxHeaderBytes;
    for (std::string trailer = readLine(budget); !trailer.empty(); trailer = readLine(budget)) {
        budget -= std::min(budget, trailer.size() + 2);
    }
}

void HttpAnswerReader::readExactly(std::uint64_t size, std::string& body) {
    checkBodySize(body.size() + size);
    auto missing = static_cast<std::size_t>(size);
    while (missing > 0) {
        if (buffered() == 0 && !fill()) throw GeneralError(kClosed);
        const std::size_t n = std::min(missing, buffered());
        take(n, body);
        missing -= n;
    }
}

void HttpAnswerReader::readUntilClose(std::string& body) {
    for (;;) {
        if (buffered() > 0) {
            checkBodySize(body.size() + buffered());
            take(buffered(), body);
        }
        if (!fill()) return;
    }
}

std::string HttpAnswerReader::readLine(std::size_t limit) {
    std::size_t searched = 0;   // bytes after pos_ known to hold no line break
    for (;;) {
        const std::size_t nl = buffer_.find('\n', pos_ + searched);
        if (nl != std::string::npos) {
            if (nl - pos_ > limit) break;
            std::string line;
            take(nl - pos_, line);
            ++pos_;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        searched = buffered();
        if (searched > limit) break;
        if (!fill()) throw GeneralError(kClosed);
    }
    throw GeneralError(kInvalid);
}

bool HttpAnswerReader::fill() {
    const std::int64_t left = deadline_ - clock_.tickMs();
    const std::string wholeAnswer =
        "Read Timeout: answer not complete within " + std::to_string(readTimeoutMs_ + limits_.answerGraceMs) + " ms";
    if (left <= 0) throw GeneralError(wholeAnswer);
    const int wait = left < readTimeoutMs_ ? static_cast<int>(left) : readTimeoutMs_;
    char block[kReadBlock];
    const auto n = socket_.readSome(block, sizeof block, wait);
    if (!n) throw GeneralError(wait < readTimeoutMs_ ? wholeAnswer : std::string("Read Timeout"));
    if (*n == 0) return false;
    if (pos_ > 0 && pos_ == buffer_.size()) {
        buffer_.clear();
        pos_ = 0;
    }
    buffer_.append(block, *n);
    return true;
}

void HttpAnswerReader::take(std::size_t n, std::string& out) {
    out.append(buffer_, pos_, n);
    pos_ += n;
    if (pos_ >= kReadBlock) {
        buffer_.erase(0, pos_);
        pos_ = 0;
    }
}

void HttpAnswerReader::checkBodySize(std::uint64_t size) const {
    if (size > limits_.maxBodyBytes) {
        throw GeneralError("Answer larger than " + std::to_string(limits_.maxBodyBytes) + " bytes");
    }
}

}  // namespace velora
