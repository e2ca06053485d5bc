#include "integration/support/VsftpdServer.h"

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/DieWithParent.h"

namespace velora::test {
namespace {

// vsftpd drops to this account for anonymous sessions; Debian's package creates it.
constexpr const char* kAnonymousAccount = "ftp";
// The empty folder vsftpd confines its unprivileged helper to; Debian's package makes it.
constexpr const char* kSecureChroot = "/var/run/vsftpd/empty";

void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("VsftpdServer: cannot write " + path);
}

}  // namespace

bool VsftpdServer::installed() { return ::access(kProgram, X_OK) == 0; }

VsftpdServer::VsftpdServer(bool tls)
    : certificate_(TestCertificate::makeIn(home_.path())),
      config_(home_.file("vsftpd.conf")),
      log_(home_.file("vsftpd.log")),
      listener_(TcpSocket::listenOn("127.0.0.1", 0)) {
    const passwd* account = ::getpwnam(kAnonymousAccount);
    if (!account) throw std::runtime_error("VsftpdServer: no account \"ftp\" (the vsftpd package makes it)");
    // The anonymous root must not be writable by the session; only "in/" is.
    const std::string root = home_.file("root");
    const std::string upload = root + kUploadFolder;
    if (::chmod(home_.path().c_str(), 0755) != 0 || ::mkdir(root.c_str(), 0755) != 0 ||
        ::mkdir(upload.c_str(), 0755) != 0 || ::chown(upload.c_str(), account->pw_uid, account->pw_gid) != 0) {
        throw std::runtime_error("VsftpdServer: cannot prepare " + root);
    }
    std::ostringstream conf;
    conf << "listen=NO\nlisten_ipv6=NO\nbackground=NO\n"
         << "anonymous_enable=YES\nlocal_enable=NO\nno_anon_password=YES\n"
         << "write_enable=YES\nanon_upload_enable=YES\nanon_root=" << root << "\n"
         << "secure_chroot_dir=" << kSecureChroot << "\n"
         << "connect_from_port_20=NO\nseccomp_sandbox=NO\n"
         << "xferlog_enable=YES\nxferlog_std_format=NO\nlog_ftp_protocol=YES\nvsftpd_log_file=" << log_ << "\n";
    if (tls) {
        conf << "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\nforce_anon_data_ssl=YES\n"
             << "require_ssl_reuse=YES\n"
             << "rsa_cert_file=" << certificate_.certificateFile << "\n"
             << "rsa_private_key_file=" << certificate_.keyFile << "\n";
    } else {
        conf << "ssl_enable=NO\n";
    }
    writeText(config_, conf.str());
    writeText(log_, "");
    port_ = listener_.localAddress().port;
    thread_ = std::thread([this] { serve(); });
}

VsftpdServer::~VsftpdServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    for (pid_t pid : sessions_) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
}

void VsftpdServer::serve() {
    while (!stop_) {
        try {
            if (auto connection = listener_.accept(100)) startSession(connection->fd());
        } catch (const std::exception&) {
            return;
        }
    }
}

void VsftpdServer::startSession(int fd) {
    const pid_t parent = ::getpid();
    const std::string program = kProgram;
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Forked from the serving thread: when it ends, in the destructor, the
        // sessions end with it.
        dieWithParent(parent);
        ::dup2(fd, STDIN_FILENO);
        ::dup2(fd, STDOUT_FILENO);
        ::execl(program.c_str(), program.c_str(), config_.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid > 0) {
        std::lock_guard lock(mutex_);
        sessions_.push_back(pid);
    }
}

std::string VsftpdServer::uploaded(const std::string& name) const {
    std::ifstream in(home_.file("root") + kUploadFolder + "/" + name, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> VsftpdServer::commands() const {
    // Lines such as: ... [pid 12] FTP command: Client "127.0.0.1", "USER anonymous"
    std::ifstream in(log_);
    std::vector<std::string> out;
    std::string line;
    const std::string marker = "FTP command: Client \"";
    while (std::getline(in, line)) {
        const auto at = line.find(marker);
        if (at == std::string::npos) continue;
        const auto open = line.find("\", \"", at + marker.size());
        if (open == std::string::npos || line.back() != '"') continue;
        out.push_back(line.substr(open + 4, line.size() - open - 5));
    }
    return out;
}

}  // namespace velora::test
