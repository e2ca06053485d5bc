#include "platform/NameResolver.h"

#include <netdb.h>

#include "platform/Errors.h"
#include "platform/TcpSocket.h"

namespace velora {

std::string SystemNameResolver::resolveIPv4(const std::string& host) {
    // An empty name is nobody's: answer it here rather than ask the resolver.
    if (host.empty()) throw SocketError(gai_strerror(EAI_NONAME));
    return TcpSocket::resolve(host);
}

}  // namespace velora
