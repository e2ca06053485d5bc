#include "integration/support/SshServer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "support/DieWithParent.h"

namespace velora::test {
namespace {

constexpr const char* kSshd = "/usr/sbin/sshd";
constexpr const char* kKeygen = "/usr/bin/ssh-keygen";
constexpr const char* kOpenssl = "/usr/bin/openssl";

std::string secondField(const std::string& line) {
    std::istringstream in(line);
    std::string first, second;
    in >> first >> second;
    return second;
}

pid_t parentOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    // "pid (comm) state ppid ...": comm may hold spaces, so start after its ')'.
    const auto close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream rest(text.substr(close + 1));
    std::string state;
    pid_t parent = 0;
    rest >> state >> parent;
    return parent;
}

}  // namespace

std::string runTool(const std::vector<std::string>& argv) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
        dieWithParent(parent);
        ::dup2(out[1], STDOUT_FILENO);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("tool failed: " + argv[0]);
    return text;
}

std::string SshServer::unavailable() {
    if (::access(kSshd, X_OK) != 0 || ::access(kKeygen, X_OK) != 0) return "OpenSSH (openssh-server) not installed";
    if (::geteuid() != 0) return "sshd serves logins only as root here (CI runs as root)";
    // sshd separates privileges into this empty folder; the package's service makes it.
    ::mkdir("/run/sshd", 0755);
    return {};
}

SshServer::SshServer(Sftp sftp) {
    const std::string script = std::string(VELORA_SOURCE_DIR) + "/tests/integration/support/sftp_plain_rename.py";
    const std::string subsystem = sftp == Sftp::OpenSsh ? "internal-sftp -d " + servedFolder()
                                                        : std::string("/usr/bin/python3 -I ") + script + " " +
                                                              dir_.file("requests.log") + " " + servedFolder();
    ::mkdir(dir_.file("srv").c_str(), 0755);
    ::mkdir(folder(kReadOnlyFolder).c_str(), 0755);
    runTool({kKeygen, "-q", "-t", "ed25519", "-N", "", "-C", "host", "-f", dir_.file("host_ed25519")});
    hostFingerprint_ = secondField(runTool({kKeygen, "-l", "-E", "sha256", "-f", dir_.file("host_ed25519.pub")}));
    authorize(makeKey("client_ed25519", "ed25519"));
    std::ofstream(dir_.file("sshd_config")) << "HostKey " << dir_.file("host_ed25519") << "\n"
                                            << "AuthorizedKeysFile " << dir_.file("authorized_keys") << "\n"
                                            << "PidFile none\n"
                                            << "UsePAM no\n"
                                            << "StrictModes no\n"
                                            << "PermitRootLogin yes\n"
                                            << "PubkeyAuthentication yes\n"
                                            << "PasswordAuthentication yes\n"
                                            << "KbdInteractiveAuthentication no\n"
                                            << "LogLevel DEBUG1\n"
                                            << "Subsystem sftp "
                                            << subsystem << "\n";
    const std::string hash = runTool({kOpenssl, "passwd", "-6", "-salt", "velorasalt", kPassword});
    shadow_ = dir_.file("shadow");
    std::ofstream(shadow_) << "root:" << hash.substr(0, hash.find('\n')) << ":19000:0:99999:7:::\n";
}

SshServer::~SshServer() {
    signalConnections(SIGKILL);
    reap();
}

std::string SshServer::makeKey(const std::string& name, const std::string& type, const std::string& passphrase) const {
    const std::string path = dir_.file(name);
    std::vector<std::string> argv{kKeygen, "-q", "-t", type, "-N", passphrase, "-C", name, "-f", path};
    if (type == "rsa") argv.insert(argv.end(), {"-b", "2048"});
    runTool(argv);
    return path;
}

void SshServer::authorize(const std::string& keyFile) const {
    std::ifstream in(keyFile + ".pub");
    std::ofstream(dir_.file("authorized_keys"), std::ios::app) << in.rdbuf();
}

std::string SshServer::homeWithKnownHosts(const std::string& hostName, bool known) const {
    const std::string home = dir_.file(known ? "home-known" : "home-other");
    ::mkdir(home.c_str(), 0700);
    ::mkdir((home + "/.ssh").c_str(), 0700);
    const std::string key = known ? dir_.file("host_ed25519") : makeKey("other_host_ed25519", "ed25519");
    std::ifstream pub(key + ".pub");
    std::string type, blob;
    pub >> type >> blob;
    std::ofstream(home + "/.ssh/known_hosts") << hostName << " " << type << " " << blob << "\n";
    return home;
}

std::optional<TcpSocket> SshServer::Connector::connectWithin(const std::string& ip, int port, int) {
    asked.push_back(ip + ":" + std::to_string(port));
    return server_.serveOne();
}

TcpSocket SshServer::serveOne() {
    TcpSocket listener = TcpSocket::listenOn("127.0.0.1", 0);
    std::optional<TcpSocket> client = SystemTcpConnector().connectWithin("127.0.0.1", listener.localAddress().port, 10000);
    std::optional<TcpSocket> served = listener.accept(10000);
    if (!client || !served) throw std::runtime_error("no loopback connection for sshd");
    const std::string log = dir_.file("sshd-" + std::to_string(logs_.size()) + ".log");
    const std::string config = dir_.file("sshd_config");
    const std::string shadow = shadow_;
    const std::string readOnly = folder(kReadOnlyFolder);
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
        dieWithParent(parent);
        // This sshd alone sees the test's shadow file (the test password for root) and a
        // folder it cannot write to even as root.
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(shadow.c_str(), "/etc/shadow", nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(readOnly.c_str(), readOnly.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(nullptr, readOnly.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
            ::_exit(126);
        }
        const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(served->fd(), STDIN_FILENO);
        ::dup2(served->fd(), STDOUT_FILENO);
        ::dup2(logFd, STDERR_FILENO);
        ::execl(kSshd, kSshd, "-i", "-e", "-f", config.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (child < 0) throw std::runtime_error("fork failed");
    sshds_.push_back(child);
    logs_.push_back(log);
    return std::move(*client);
}

std::vector<pid_t> SshServer::processesOfConnections() const {
    std::set<pid_t> family(sshds_.begin(), sshds_.end());
    // sshd forks its unprivileged half after the login; find children of children.
    for (bool grew = true; grew;) {
        grew = false;
        DIR* proc = ::opendir("/proc");
        if (!proc) break;
        while (dirent* entry = ::readdir(proc)) {
            const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
            if (pid > 0 && !family.count(pid) && family.count(parentOf(pid))) grew = family.insert(pid).second;
        }
        ::closedir(proc);
    }
    return {family.begin(), family.end()};
}

void SshServer::signalConnections(int signal) const {
    for (pid_t pid : processesOfConnections()) ::kill(pid, signal);
}

void SshServer::reap() {
    for (pid_t pid : sshds_) {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    sshds_.clear();
}

std::string SshServer::scriptedRequests() const {
    std::ifstream in(dir_.file("requests.log"));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string SshServer::scriptErrors() const {
    std::ifstream in(dir_.file("requests.log.err"));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string SshServer::log() const {
    std::string all;
    for (const auto& file : logs_) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        all += text.str();
    }
    return all;
}

}  // namespace velora::test
