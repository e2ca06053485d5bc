#include "FakeFtpServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>

#include "platform/TcpConnector.h"

namespace velora::test {
namespace {

// How long the server waits for the client before it gives up on a test. Only a
// broken test ever waits this long.
constexpr int kWaitMs = 10000;

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void setOption(const TcpSocket& socket, int level, int name, int value) {
    ::setsockopt(socket.fd(), level, name, &value, sizeof value);
}

}  // namespace

FakeAction send(std::string bytes) {
    return [bytes](FakeFtpServer& s) { s.write(bytes); };
}

FakeAction sendByteByByte(std::string bytes) {
    return [bytes](FakeFtpServer& s) {
        for (char c : bytes) s.write(std::string(1, c));
    };
}

FakeAction dribble(std::vector<std::string> pieces, int gapMs) {
    return [pieces, gapMs](FakeFtpServer& s) {
        std::size_t sent = 0;
        for (const auto& piece : pieces) {
            if (!s.write(piece)) break;
            s.noteDribbled(++sent);
            pause(gapMs);
        }
    };
}

FakeAction silence() {
    return [](FakeFtpServer&) {};
}

FakeAction pasv(std::string pattern, std::string address, int receiveBuffer) {
    return [pattern, address, receiveBuffer](FakeFtpServer& s) {
        s.openDataPort(receiveBuffer);
        const std::string numbers =
            address + "," + std::to_string(s.dataPort() / 256) + "," + std::to_string(s.dataPort() % 256);
        std::string text = pattern;
        text.replace(text.find("%s"), 2, numbers);
        s.write(text);
    };
}

FakeAction receivePassiveEndingAfter(std::size_t limit, DataEnd end, std::string before, std::string after) {
    return [limit, end, before, after](FakeFtpServer& s) {
        TcpSocket data = s.acceptData(kWaitMs);
        s.write(before);
        s.readDataUntilClosed(data, limit);
        if (end == DataEnd::Reset) data.abort();
        else data.close();
        s.write(after);
    };
}

FakeAction receivePassiveSlowly(std::size_t step, int pauseMs, std::string before, std::string after) {
    return [step, pauseMs, before, after](FakeFtpServer& s) {
        TcpSocket data = s.acceptData(kWaitMs);
        s.write(before);
        s.readDataSlowly(data, step, pauseMs);
        data.close();
        s.write(after);
    };
}

FakeAction receivePassiveNeverReading(std::string before) {
    return [before](FakeFtpServer& s) {
        TcpSocket data = s.acceptData(kWaitMs);
        s.write(before);
        s.awaitClient();
    };
}

FakeAction receivePassive(std::string before, std::string after) {
    return receivePassiveEndingAfter(static_cast<std::size_t>(-1), DataEnd::Close, std::move(before), std::move(after));
}

FakeAction receiveActive(std::string before, std::string after) {
    return [before, after](FakeFtpServer& s) {
        s.write(before);
        TcpSocket data = s.connectToLastPort();
        s.readDataUntilClosed(data);
        s.write(after);
    };
}

FakeAction hangUp() {
    return [](FakeFtpServer& s) { s.closeControl(); };
}

FakeAction acceptTls(TestCertificate certificate) {
    return [certificate](FakeFtpServer& s) {
        if (s.write("234 Proceed with negotiation.\r\n")) s.startTls(certificate);
    };
}

void FakeFtpServer::startTls(const TestCertificate& certificate) {
    tls_ = std::make_unique<ServerTls>(control_.fd(), certificate, kWaitMs);
}

FakeFtpServer::FakeFtpServer(std::vector<FakeStep> script, Fallback fallback)
    : script_(std::move(script)), fallback_(std::move(fallback)), listener_(TcpSocket::listenOn("127.0.0.1", 0)) {
    port_ = listener_.localAddress().port;
    thread_ = std::thread([this] { run(); });
}

FakeFtpServer::~FakeFtpServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void FakeFtpServer::run() {
    auto accepted = listener_.accept(kWaitMs);
    if (!accepted) return;
    control_ = std::move(*accepted);
    // Every write its own segment, so replies split across writes arrive split.
    setOption(control_, IPPROTO_TCP, TCP_NODELAY, 1);
    try {
        for (const FakeStep& step : script_) {
            if (!step.expect.empty()) {
                std::string line;
                if (!readLine(line, kWaitMs)) {
                    std::lock_guard lock(mutex_);
                    mismatch_ = "nothing received, expected " + step.expect;
                    return;
                }
                if (line.compare(0, step.expect.size(), step.expect) != 0) {
                    std::lock_guard lock(mutex_);
                    mismatch_ = "got \"" + line + "\", expected " + step.expect;
                    break;
                }
            }
            if (step.action) step.action(*this);
            if (!control_.isOpen()) return;
        }
        // Past the table: record whatever else comes, say goodbye to QUIT.
        std::string line;
        while (!stop_ && readLine(line, kWaitMs)) {
            if (line == "QUIT") write("221 Goodbye.\r\n");
            for (const auto& [prefix, reply] : fallback_) {
                if (line.rfind(prefix, 0) == 0) {
                    write(reply);
                    break;
                }
            }
        }
    } catch (const std::exception& e) {
        std::lock_guard lock(mutex_);
        if (mismatch_.empty()) mismatch_ = std::string("server failed: ") + e.what();
    }
}

bool FakeFtpServer::readLine(std::string& line, int timeoutMs) {
    char chunk[4096];
    for (int waited = 0;;) {
        const auto nl = buffer_.find("\r\n");
        if (nl != std::string::npos) {
            line = buffer_.substr(0, nl);
            buffer_.erase(0, nl + 2);
            record(line);
            return true;
        }
        if (stop_ && waited >= 200) return false;
        const auto got = tls_ ? tls_->readSome(chunk, sizeof chunk, 50) : control_.readSome(chunk, sizeof chunk, 50);
        if (!got) {
            waited += 50;
            if (waited >= timeoutMs) return false;
            continue;
        }
        if (*got == 0) return false;
        buffer_.append(chunk, *got);
    }
}

void FakeFtpServer::record(const std::string& line) {
    std::lock_guard lock(mutex_);
    received_.push_back(line);
}

std::vector<std::string> FakeFtpServer::finish() {
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    return received_;
}

std::string FakeFtpServer::data() const {
    std::lock_guard lock(mutex_);
    return data_;
}

std::string FakeFtpServer::mismatch() const {
    std::lock_guard lock(mutex_);
    return mismatch_;
}

bool FakeFtpServer::write(const std::string& bytes) {
    if (tls_) return tls_->writeAll(bytes);
    return control_.isOpen() && control_.writeAll(bytes, kWaitMs).ok();
}

void FakeFtpServer::awaitClient() {
    if (buffer_.empty() && control_.isOpen()) control_.waitReadable(kWaitMs);
}

void FakeFtpServer::openDataPort(int receiveBuffer) {
    dataListener_ = TcpSocket::listenOn("127.0.0.1", 0);
    // Set before any connection exists, so the window is small from the start.
    if (receiveBuffer > 0) setOption(dataListener_, SOL_SOCKET, SO_RCVBUF, receiveBuffer);
    dataPort_ = dataListener_.localAddress().port;
}

TcpSocket FakeFtpServer::acceptData(int timeoutMs) {
    auto data = dataListener_.accept(timeoutMs);
    if (!data) throw std::runtime_error("no data connection");
    return std::move(*data);
}

TcpSocket FakeFtpServer::connectToLastPort() {
    std::string portLine;
    {
        std::lock_guard lock(mutex_);
        for (const auto& l : received_) {
            if (l.rfind("PORT ", 0) == 0) portLine = l.substr(5);
        }
    }
    int n[6] = {};
    if (std::sscanf(portLine.c_str(), "%d,%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]) != 6) {
        throw std::runtime_error("no PORT seen");
    }
    const std::string ip = std::to_string(n[0]) + "." + std::to_string(n[1]) + "." + std::to_string(n[2]) + "." +
                           std::to_string(n[3]);
    std::optional<TcpSocket> data = SystemTcpConnector().connectWithin(ip, n[4] * 256 + n[5], kWaitMs);
    if (!data) throw std::runtime_error("the client's data port took no connection");
    return std::move(*data);
}

void FakeFtpServer::readDataSlowly(TcpSocket& data, std::size_t step, int pauseMs) {
    for (;;) {
        const std::size_t before = this->data().size();
        readDataUntilClosed(data, step);
        if (this->data().size() - before < step) return;   // the client closed
        pause(pauseMs);
    }
}

void FakeFtpServer::readDataUntilClosed(TcpSocket& data, std::size_t limit) {
    char chunk[65536];
    std::size_t total = 0;
    while (total < limit) {
        const std::size_t want = std::min(sizeof chunk, limit - total);
        const auto got = data.readSome(chunk, want, kWaitMs);
        if (!got || *got == 0) return;
        total += *got;
        std::lock_guard lock(mutex_);
        data_.append(chunk, *got);
    }
}

}  // namespace velora::test
