#include "platform/ServiceNotifier.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace velora {

ServiceNotifier::ServiceNotifier(std::string socketName) : name_(std::move(socketName)) {
    // Only a path or an abstract name is a Unix socket; anything else (a "vsock:"
    // address of a virtual machine) is not ours to speak to.
    if (!name_.empty() && name_[0] != '/' && name_[0] != '@') {
        lastError_ = "NOTIFY_SOCKET is neither a path nor an abstract name: " + name_;
        name_.clear();
    }
}

ServiceNotifier::~ServiceNotifier() {
    if (fd_ >= 0) ::close(fd_);
}

bool ServiceNotifier::send(const std::string& lines) {
    if (name_.empty()) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name_.size() >= sizeof(address.sun_path)) {
        lastError_ = "NOTIFY_SOCKET is too long";
        return false;
    }
    std::memcpy(address.sun_path, name_.data(), name_.size());
    // An abstract name begins with a zero byte and its length is exactly what is given.
    if (name_[0] == '@') address.sun_path[0] = '\0';
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name_.size() +
                                               (name_[0] == '@' ? 0 : 1));
    if (fd_ < 0) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) {
            lastError_ = std::strerror(errno);
            return false;
        }
    }
    const ssize_t sent = ::sendto(fd_, lines.data(), lines.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&address), length);
    if (sent < 0) {
        lastError_ = std::strerror(errno);
        return false;
    }
    lastError_.clear();
    return true;
}

}  // namespace velora
