#pragma once
// Reading and taking apart the server's replies on the control connection. A reply
// is one line "ddd text" or a multi-line block from "ddd-" to the line starting with
// "ddd ". The reader is bounded everywhere, because the bytes come from a server we
// do not control: a reply must begin within the read time-out and be complete within
// a limit of its own, and lines, line counts and total size have fixed limits.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/TcpSocket.h"

namespace velora {

struct FtpReply {
    int code = 0;                      // 0 when the first line carries no code
    std::vector<std::string> lines;    // without their line breaks

    // The reply as one line of text: its lines joined with a blank.
    std::string text() const;
    bool is(std::initializer_list<int> codes) const;
};

struct ReplyLimits {
    std::size_t maxLineBytes = 64 * 1024;
    std::size_t maxLines = 1000;
    std::size_t maxReplyBytes = 1024 * 1024;
};

class ReplyReader {
public:
    explicit ReplyReader(ByteSource& socket, ReplyLimits limits = {}) : socket_(socket), limits_(limits) {}

    // Waits at most pieceMs for the reply to begin and as long again for each further
    // piece, and no longer than wholeMs for all of it. Raises GeneralError "Read
    // Timeout", SocketError for a broken or closed connection, and GeneralError for a
    // refused reply. Both kinds of GeneralError leave the stream out of step: whatever
    // the server sends next may be the rest of this reply.
    FtpReply read(int pieceMs, int wholeMs);
    // Bytes are waiting: buffered already or readable within timeoutMs.
    bool pending(int timeoutMs);
    // Bytes have arrived that no read() has taken yet.
    bool buffered() const { return !buffer_.empty(); }
    // The last failure of read() left the stream out of step.
    bool outOfStep() const { return outOfStep_; }
    void reset() {
        buffer_.clear();
        outOfStep_ = false;
    }

private:
    std::string readLine(int pieceMs, const Deadline& whole, std::size_t& replyBytes);
    [[noreturn]] void refuse(const std::string& why);

    ByteSource& socket_;
    ReplyLimits limits_;
    std::string buffer_;
    bool outOfStep_ = false;
};

struct PasvAddress {
    std::string ip;
    int port = 0;
};

// The data address of a 227 reply: the part between "(" and ")" when both are there,
// otherwise the part after the last blank, holding h1,h2,h3,h4,p1,p2. Raises
// GeneralError unless it is exactly six decimal numbers of 0..255 with a port above 0.
PasvAddress parsePasvReply(const std::string& firstLine);

// The folder of a 257 reply: the text between the first double quote and its partner,
// a doubled quote inside standing for one. Empty when the line holds no such text.
std::string parseQuotedPath(const std::string& firstLine);

// True when one of the lines has `word` as its first word (trimmed, any case). A line
// may carry the reply code in front ("211-CLNT"), as some servers write them.
bool featureListed(const std::vector<std::string>& features, const std::string& word);

}  // namespace velora
