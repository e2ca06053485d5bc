// The reply reader against raw bytes on a socket pair, the PASV parser and the
// command-line guard: the places where server bytes and user text meet the wire.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ftp/FtpClient.h"
#include "ftp/FtpReply.h"
#include "platform/Errors.h"

namespace velora {
namespace {

// Feeds `bytes` from a second thread (large inputs would fill the pair's buffer)
// into a reader, then closes the writing end unless told to keep it open.
struct Pipe {
    TcpSocket reading;
    TcpSocket writing;
    std::thread writer;

    explicit Pipe(std::string bytes, bool closeAfter = false) {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) throw std::runtime_error("socketpair");
        reading = TcpSocket(fds[0]);
        writing = TcpSocket(fds[1]);
        writer = std::thread([this, bytes = std::move(bytes), closeAfter] {
            try {
                writing.writeAll(bytes, 2000);
            } catch (const std::exception&) {
            }
            if (closeAfter) writing.close();
        });
    }
    ~Pipe() {
        reading.close();
        writer.join();
    }
};

struct ReplyCase {
    const char* name;
    std::string bytes;
    int code;
    std::vector<std::string> lines;
};

TEST(ReplyReader, ReadsWholeRepliesSingleAndMultiLine) {
    const ReplyCase cases[] = {
        {"single", "220 ready\r\n", 220, {"220 ready"}},
        {"bare LF", "220 ready\n", 220, {"220 ready"}},
        {"code only", "200\r\n", 200, {"200"}},
        {"multi-line", "211-Features:\r\n MDTM\r\n PRET\r\n211 End\r\n", 211, {"211-Features:", " MDTM", " PRET", "211 End"}},
        // Only "ddd " at the start ends the block; indented or hyphenated codes do not.
        {"inner codes", "220-a\r\n 220 b\r\n220-c\r\n220 d\r\n", 220, {"220-a", " 220 b", "220-c", "220 d"}},
        {"no code", "hello\r\n", 0, {"hello"}},
    };
    for (const auto& c : cases) {
        Pipe pipe(c.bytes);
        ReplyReader reader(pipe.reading);
        const FtpReply reply = reader.read(1000, 1000);
        EXPECT_EQ(reply.code, c.code) << c.name;
        EXPECT_EQ(reply.lines, c.lines) << c.name;
    }
}

TEST(ReplyReader, KeepsTheSecondOfTwoRepliesThatArriveTogether) {
    Pipe pipe("150 Opening\r\n226 Done\r\n");
    ReplyReader reader(pipe.reading);
    EXPECT_EQ(reader.read(1000, 1000).code, 150);
    EXPECT_TRUE(reader.pending(0));
    EXPECT_EQ(reader.read(1000, 1000).text(), "226 Done");
}

TEST(ReplyReader, RefusesUnboundedOrBinaryRepliesAndFlagsTheStream) {
    std::string manyLines = "211-start\r\n";
    for (int i = 0; i < 1001; ++i) manyLines += " line\r\n";
    manyLines += "211 End\r\n";
    std::string hugeReply = "211-start\r\n";
    for (int i = 0; i < 20; ++i) hugeReply += std::string(60 * 1024, 'x') + "\r\n";
    hugeReply += "211 End\r\n";
    const std::pair<const char*, std::string> cases[] = {
        {"line over 64 KiB", "220 " + std::string(64 * 1024 + 10, 'a')},
        {"NUL byte", std::string("220 re\0ady\r\n", 12)},
        {"over 1000 lines", manyLines},
        {"over 1 MiB", hugeReply},
    };
    for (const auto& [name, bytes] : cases) {
        Pipe pipe(bytes);
        ReplyReader reader(pipe.reading);
        EXPECT_THROW(reader.read(1000, 1000), GeneralError) << name;
        EXPECT_TRUE(reader.outOfStep()) << name;
    }
}

TEST(ReplyReader, SilenceIsReadTimeoutAndAClosedLinkASocketError) {
    {
        Pipe pipe("");
        ReplyReader reader(pipe.reading);
        try {
            reader.read(50, 1000);
            FAIL() << "no reply should time out";
        } catch (const GeneralError& e) {
            EXPECT_STREQ(e.what(), "Read Timeout");
            // The reply may still come and would answer the next command.
            EXPECT_TRUE(reader.outOfStep());
        }
    }
    {
        Pipe pipe("220 half a li");   // a reply that begins but never ends
        ReplyReader reader(pipe.reading);
        EXPECT_THROW(reader.read(50, 1000), GeneralError);
        EXPECT_TRUE(reader.outOfStep());
    }
    {
        Pipe pipe("", true);
        ReplyReader reader(pipe.reading);
        pipe.writer.join();
        pipe.writer = std::thread([] {});
        EXPECT_THROW(reader.read(1000, 1000), SocketError);
    }
}

// A reply whose every piece comes in time but which never ends: the greeting one byte
// at a time without a line end, a multi-line reply one line at a time.
TEST(ReplyReader, AReplyThatKeepsComingIsCutOffByTheWholeReplyLimit) {
    const std::pair<const char*, std::string> cases[] = {
        {"endless line", "x"},
        {"endless block", " another line\r\n"},
    };
    for (const auto& [name, piece] : cases) {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        TcpSocket reading(fds[0]);
        TcpSocket writing(fds[1]);
        std::atomic<bool> done{false};
        std::atomic<int> pieces{0};
        // Pieces every 20 ms for up to 30 s, far apart from the 300 ms limit below.
        std::thread writer([&, piece = piece] {
            writing.writeAll("211-start\r\n", 1000);
            for (int i = 0; i < 1500 && !done; ++i, ++pieces) {
                writing.writeAll(piece, 1000);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        ReplyReader reader(reading);
        try {
            reader.read(1000, 300);
            ADD_FAILURE() << name << ": an endless reply came to an end";
        } catch (const GeneralError& e) {
            EXPECT_STREQ(e.what(), "Read Timeout") << name;
        }
        EXPECT_TRUE(reader.outOfStep()) << name;
        EXPECT_LT(pieces.load(), 1500) << name << ": the reader waited for the whole stream";
        done = true;
        writer.join();
    }
}

TEST(PasvReply, TakesSixNumbersFromParenthesesOrTheLastWord) {
    const std::tuple<std::string, std::string, int> good[] = {
        {"227 Entering Passive Mode (127,0,0,1,4,1).", "127.0.0.1", 1025},
        {"227 Entering Passive Mode 10,0,0,1,4,1", "10.0.0.1", 1025},
        {"227 =(192,168,1,2,255,255)", "192.168.1.2", 65535},
        {"227 ok (0,0,0,0,0,1) trailing words", "0.0.0.0", 1},
    };
    for (const auto& [line, ip, port] : good) {
        const PasvAddress a = parsePasvReply(line);
        EXPECT_EQ(a.ip, ip) << line;
        EXPECT_EQ(a.port, port) << line;
    }
}

TEST(PasvReply, RefusesAnythingButSixNumbersOfOneByte) {
    const char* bad[] = {
        "227 Entering Passive Mode (127,0,0,1,4)",        // five numbers
        "227 Entering Passive Mode (127,0,0,1,4,1,1)",    // seven
        "227 Entering Passive Mode (256,0,0,1,4,1)",      // octet over 255
        "227 Entering Passive Mode (127,0,0,1,300,1)",    // port byte over 255
        "227 Entering Passive Mode (127,0,0,1,0,0)",      // port 0
        "227 Entering Passive Mode (127,0,0,1,4,a)",      // not a digit
        "227 Entering Passive Mode (127,0,0,1,,1)",       // empty field
        "227 Entering Passive Mode (127,0,0,1,-4,1)",     // sign
        "227 Entering Passive Mode (1270,0,0,1,4,1)",     // four digits
        "227 Entering Passive Mode 127,0,0,1,4,1.",       // word with a full stop
        "227 Entering Passive Mode",                      // nothing at all
    };
    for (const char* line : bad) EXPECT_THROW(parsePasvReply(line), GeneralError) << line;
}

TEST(FeatureList, MatchesTheFirstWordTrimmedWithoutRegardToCase) {
    const std::vector<std::string> features = {" MDTM", " clnt", "\tPRET extra", " SIZEPRET"};
    EXPECT_TRUE(featureListed(features, "CLNT"));
    EXPECT_TRUE(featureListed(features, "PRET"));
    EXPECT_FALSE(featureListed(features, "SIZE"));
    EXPECT_FALSE(featureListed({" UTF8"}, "CLNT"));
}

TEST(FeatureList, ReadsTheWordBehindAReplyCodePrefix) {
    const std::pair<std::string, bool> cases[] = {
        {"211-CLNT", true},      // the code instead of the leading blank
        {"211-PRET", false},     // another feature
        {"211- clnt x", true},
        {"211CLNT", false},      // no separator: not a code prefix
        {"21-CLNT", false},      // two digits are no code
        {"211 CLNT", false},     // would have ended the reply; no prefix to drop
    };
    for (const auto& [line, listed] : cases) EXPECT_EQ(featureListed({line}, "CLNT"), listed) << line;
}

TEST(QuotedPath, TakesThePathOfA257ReplyWithDoubledQuotes) {
    const std::pair<std::string, std::string> cases[] = {
        {"257 \"/\" is the current directory", "/"},
        {"257 \"/home/anna\"", "/home/anna"},
        {"257 \"/a \"\"b\"\" c\" created", "/a \"b\" c"},
        {"257 \"/Größe\"", "/Größe"},
        {"257 current directory is /home", ""},   // no quotes
        {"257 \"/unterminated", ""},
        {"257 \"\"\"\"", "\""},                  // just a doubled quote
    };
    for (const auto& [line, path] : cases) EXPECT_EQ(parseQuotedPath(line), path) << line;
}

TEST(CommandGuard, RefusesEveryControlByteAndDelete) {
    for (int c = 0; c < 0x20; ++c) {
        EXPECT_THROW(FtpClient::requireClean(std::string("CWD /a") + static_cast<char>(c) + "b"), GeneralError) << c;
    }
    EXPECT_THROW(FtpClient::requireClean("CWD /a\x7F"), GeneralError);
    EXPECT_NO_THROW(FtpClient::requireClean("CWD /Größe ~!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}"));
}

}  // namespace
}  // namespace velora
