#include "platform/NameResolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>

#include "platform/Errors.h"
#include "platform/TcpSocket.h"

namespace velora {

std::string SystemNameResolver::resolveIPv4(const std::string& host) {
    // An empty name is nobody's: answer it here rather than ask the resolver.
    if (host.empty()) throw SocketError(gai_strerror(EAI_NONAME));
    if (TcpSocket::isNumericIPv4(host)) return host;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (rc != 0) throw SocketError(rc == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(rc));
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
    ::freeaddrinfo(found);
    return text;
}

}  // namespace velora
