#pragma once
// A scripted FTP server on 127.0.0.1 for protocol tests. It accepts one control
// connection and walks a table of steps: wait for a command starting with the step's
// prefix, then act (reply bytes, open a data port, take a file, stay silent...). Every
// line it receives is recorded byte for byte, so tests can compare the exact wire.
// After the table it keeps recording, answers "QUIT" with 221 and any command that
// starts with a prefix of the fallback list with that entry's reply, until the client
// hangs up.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/TcpSocket.h"
#include "support/ServerTls.h"
#include "support/TestCertificate.h"

namespace velora::test {

class FakeFtpServer;
using FakeAction = std::function<void(FakeFtpServer&)>;

struct FakeStep {
    std::string expect;   // command prefix; empty: act at once without reading
    FakeAction action;
};

// Sends the bytes exactly as given (add "\r\n" yourself).
FakeAction send(std::string bytes);
// Sends the bytes one at a time, each in a segment of its own.
FakeAction sendByteByByte(std::string bytes);
// Sends the pieces one by one with `gapMs` between them, until all are out or the
// client hung up; dribbled() then tells how many went out.
FakeAction dribble(std::vector<std::string> pieces, int gapMs);
// Does nothing: the command stays unanswered.
FakeAction silence();
// Opens a data port and replies with `pattern`, "%s" replaced by h1,h2,h3,h4,p1,p2 of
// `address` and the port. A receive buffer above 0 makes the data connection's
// window that small, so the client's bytes wait in its own buffers.
FakeAction pasv(std::string pattern, std::string address = "127,0,0,1", int receiveBuffer = 0);
// Takes the passive data connection, sends `before`, reads the file until the client
// closes, then sends `after`.
FakeAction receivePassive(std::string before, std::string after);
// How an action ends a data connection: an orderly close (FIN) or a reset (RST).
enum class DataEnd { Close, Reset };
// As receivePassive but ends the data connection after `limit` bytes.
FakeAction receivePassiveEndingAfter(std::size_t limit, DataEnd end, std::string before, std::string after);
// As receivePassive but reads in steps of `step` bytes with `pauseMs` between them.
FakeAction receivePassiveSlowly(std::size_t step, int pauseMs, std::string before, std::string after);
// Takes the data connection, sends `before`, then reads nothing and keeps the
// connection until the client sends its next command.
FakeAction receivePassiveNeverReading(std::string before);
// Active mode: sends `before`, connects to the address of the last PORT, reads the
// file until the client closes, then sends `after`.
FakeAction receiveActive(std::string before, std::string after);
// Closes the control connection.
FakeAction hangUp();
// Answers AUTH TLS with 234 and takes the handshake with `certificate`: the rest of
// the dialogue runs in TLS.
FakeAction acceptTls(TestCertificate certificate);

class FakeFtpServer {
public:
    using Fallback = std::vector<std::pair<std::string, std::string>>;   // prefix, reply bytes
    explicit FakeFtpServer(std::vector<FakeStep> script, Fallback fallback = {});
    ~FakeFtpServer();

    int port() const { return port_; }

    // Waits (bounded) until the client hung up, then returns what was received.
    std::vector<std::string> finish();
    std::string data() const;
    // Empty when every step saw the command it expected.
    std::string mismatch() const;

    // Pieces a dribble() action sent before it ended.
    std::size_t dribbled() const { return dribbled_; }

    // For actions
    // False once the client has gone.
    bool write(const std::string& bytes);
    void openDataPort(int receiveBuffer = 0);
    int dataPort() const { return dataPort_; }
    TcpSocket acceptData(int timeoutMs);
    TcpSocket connectToLastPort();
    void readDataUntilClosed(TcpSocket& data, std::size_t limit = static_cast<std::size_t>(-1));
    void readDataSlowly(TcpSocket& data, std::size_t step, int pauseMs);
    // Waits (bounded) until the client sends something on the control connection.
    void awaitClient();
    void closeControl() {
        tls_.reset();
        control_.close();
    }
    void startTls(const TestCertificate& certificate);
    void noteDribbled(std::size_t pieces) { dribbled_ = pieces; }

private:
    void run();
    bool readLine(std::string& line, int timeoutMs);
    void record(const std::string& line);

    std::vector<FakeStep> script_;
    Fallback fallback_;
    TcpSocket listener_;
    TcpSocket control_;
    std::unique_ptr<ServerTls> tls_;
    TcpSocket dataListener_;
    int port_ = 0;
    int dataPort_ = 0;
    std::string buffer_;
    mutable std::mutex mutex_;
    std::vector<std::string> received_;
    std::string data_;
    std::string mismatch_;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> dribbled_{0};
    std::thread thread_;
};

// The commands withLogin() answers, as they arrive: "OPEN ..." "USER anna" "FEAT"
// "TYPE I" "SYST" "PWD".
constexpr std::size_t kLoginCommands = 6;

// The greeting and a login without password (OPEN refused, USER accepted, FEAT
// answered with `feat`, TYPE, SYST and PWD naming "/"), then the steps `after`.
inline std::vector<FakeStep> withLogin(std::vector<FakeStep> after, const std::string& feat = "211 none\r\n") {
    std::vector<FakeStep> script = {{"", send("220 fake ready\r\n")},
                                    {"OPEN", send("500 unknown\r\n")},
                                    {"USER", send("230 ok\r\n")},
                                    {"FEAT", send(feat)},
                                    {"TYPE", send("200 ok\r\n")},
                                    {"SYST", send("215 UNIX\r\n")},
                                    {"PWD", send("257 \"/\" is the current directory\r\n")}};
    script.insert(script.end(), after.begin(), after.end());
    return script;
}

}  // namespace velora::test
