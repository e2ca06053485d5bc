#include "ftp/FtpReply.h"

#include <cctype>

#include "platform/Errors.h"

namespace velora {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "ddd" followed by a blank, a hyphen or nothing.
int codeOf(const std::string& line, char* separator) {
    if (line.size() < 3 || !isDigit(line[0]) || !isDigit(line[1]) || !isDigit(line[2])) return 0;
    const char sep = line.size() > 3 ? line[3] : ' ';
    if (sep != ' ' && sep != '-') return 0;
    *separator = sep;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

std::string trimmed(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

std::string upper(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

}  // namespace

std::string FtpReply::text() const {
    std::string out;
    for (const auto& l : lines) {
        if (!out.empty()) out += ' ';
        out += l;
    }
    return out;
}

bool FtpReply::is(std::initializer_list<int> codes) const {
    for (int c : codes) {
        if (c == code) return true;
    }
    return false;
}

void ReplyReader::refuse(const std::string& why) {
    outOfStep_ = true;
    buffer_.clear();
    throw GeneralError(why);
}

bool ReplyReader::pending(int timeoutMs) {
    if (!buffer_.empty()) return true;
    return socket_.isOpen() && socket_.waitReadable(timeoutMs);
}

std::string ReplyReader::readLine(int pieceMs, const Deadline& whole, std::size_t& replyBytes) {
    char chunk[4096];
    std::size_t scanned = 0;
    for (;;) {
        const auto nl = buffer_.find('\n', scanned);
        const std::size_t lineEnd = nl == std::string::npos ? buffer_.size() : nl;
        if (buffer_.find('\0', scanned) < lineEnd) refuse("Ungültige Serverantwort: NUL-Zeichen");
        if (lineEnd > limits_.maxLineBytes) refuse("Ungültige Serverantwort: Zeile zu lang");
        if (nl != std::string::npos) {
            std::string line = buffer_.substr(0, nl);
            buffer_.erase(0, nl + 1);
            replyBytes += nl + 1;
            if (replyBytes > limits_.maxReplyBytes) refuse("Ungültige Serverantwort: Antwort zu lang");
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        scanned = buffer_.size();
        const int wait = whole.cap(pieceMs);
        const auto got = wait > 0 ? socket_.readSome(chunk, sizeof chunk, wait) : std::nullopt;
        if (!got) {
            // The reply may still come, and would then answer the next command.
            outOfStep_ = true;
            throw GeneralError("Read Timeout");
        }
        if (*got == 0) throw SocketError("Connection closed by peer");
        buffer_.append(chunk, *got);
    }
}

FtpReply ReplyReader::read(int pieceMs, int wholeMs) {
    const Deadline whole(wholeMs);
    std::size_t replyBytes = 0;
    FtpReply reply;
    reply.lines.push_back(readLine(pieceMs, whole, replyBytes));
    char sep = ' ';
    reply.code = codeOf(reply.lines.front(), &sep);
    if (reply.code == 0 || sep == ' ') return reply;
    const std::string end = reply.lines.front().substr(0, 3) + ' ';
    for (;;) {
        if (reply.lines.size() >= limits_.maxLines) refuse("Ungültige Serverantwort: zu viele Zeilen");
        reply.lines.push_back(readLine(pieceMs, whole, replyBytes));
        const std::string& last = reply.lines.back();
        if (last.compare(0, 4, end) == 0 || last == end.substr(0, 3)) return reply;
    }
}

PasvAddress parsePasvReply(const std::string& firstLine) {
    std::string part;
    const auto open = firstLine.find('(');
    const auto close = open == std::string::npos ? std::string::npos : firstLine.find(')', open);
    if (open != std::string::npos && close != std::string::npos) {
        part = firstLine.substr(open + 1, close - open - 1);
    } else {
        const auto blank = firstLine.rfind(' ');
        part = blank == std::string::npos ? firstLine : firstLine.substr(blank + 1);
    }
    const GeneralError bad("Ungültige PASV-Antwort: " + firstLine);
    int numbers[6];
    int count = 0;
    std::size_t pos = 0;
    while (true) {
        const auto comma = part.find(',', pos);
        const std::string field = part.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        if (count == 6 || field.empty() || field.size() > 3) throw bad;
        int value = 0;
        for (char c : field) {
            if (!isDigit(c)) throw bad;
            value = value * 10 + (c - '0');
        }
        if (value > 255) throw bad;
        numbers[count++] = value;
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    if (count != 6) throw bad;
    PasvAddress out;
    out.ip = std::to_string(numbers[0]) + '.' + std::to_string(numbers[1]) + '.' + std::to_string(numbers[2]) +
             '.' + std::to_string(numbers[3]);
    out.port = numbers[4] * 256 + numbers[5];
    if (out.port == 0) throw bad;
    return out;
}

std::string parseQuotedPath(const std::string& firstLine) {
    const auto open = firstLine.find('"');
    if (open == std::string::npos) return {};
    std::string path;
    for (std::size_t i = open + 1; i < firstLine.size(); ++i) {
        if (firstLine[i] != '"') {
            path += firstLine[i];
        } else if (i + 1 < firstLine.size() && firstLine[i + 1] == '"') {
            path += '"';
            ++i;
        } else {
            return path;
        }
    }
    return {};   // no closing quote
}

bool featureListed(const std::vector<std::string>& features, const std::string& word) {
    const std::string wanted = upper(word);
    for (const auto& line : features) {
        char separator = ' ';
        const bool coded = codeOf(line, &separator) != 0 && separator == '-';
        const std::string t = trimmed(coded ? line.substr(4) : line);
        const auto blank = t.find_first_of(" \t");
        if (upper(t.substr(0, blank)) == wanted) return true;
    }
    return false;
}

}  // namespace velora
