#pragma once
// Host names to IPv4 addresses. Whoever needs a name looked up takes a NameResolver,
// so tests answer names themselves and never send a DNS query.
#include <string>

namespace velora {

class NameResolver {
public:
    virtual ~NameResolver() = default;
    // The first IPv4 address of `host`. A name that cannot be resolved is a
    // SocketError with the resolver's own text.
    virtual std::string resolveIPv4(const std::string& host) = 0;
};

// The system's resolver (getaddrinfo: hosts file, DNS, ...).
class SystemNameResolver final : public NameResolver {
public:
    std::string resolveIPv4(const std::string& host) override;
};

}  // namespace velora
