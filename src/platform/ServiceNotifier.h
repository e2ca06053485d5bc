#pragma once
// Messages to the service manager that started the process, as systemd's notify
// protocol defines them: one datagram of "NAME=value" lines sent to the Unix socket
// named in $NOTIFY_SOCKET (a path, or an abstract name written with a leading '@').
// Own code over one socket, so the program links no systemd library. Outside a
// service manager the variable is unset and every message is dropped.
#include <string>

namespace velora {

class ServiceNotifier {
public:
    // `socketName` is the value of $NOTIFY_SOCKET; empty switches notifying off.
    explicit ServiceNotifier(std::string socketName);
    ~ServiceNotifier();
    ServiceNotifier(const ServiceNotifier&) = delete;
    ServiceNotifier& operator=(const ServiceNotifier&) = delete;

    bool active() const { return !name_.empty(); }

    // Sends `lines` ("READY=1", "STATUS=next run 14:05", "WATCHDOG=1", ...) as one
    // datagram without waiting: a manager that does not read must never stall the
    // process. False when it could not be sent (or notifying is off); the reason is
    // then in lastError().
    bool send(const std::string& lines);
    const std::string& lastError() const { return lastError_; }

private:
    std::string name_;
    int fd_ = -1;
    std::string lastError_;
};

}  // namespace velora
