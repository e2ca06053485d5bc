#pragma once
// A name resolver that knows only the names it is given and sends no query: any other
// name fails as an unknown host does.
#include <map>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/NameResolver.h"

namespace velora::test {

class FixedResolver final : public NameResolver {
public:
    explicit FixedResolver(std::map<std::string, std::string> names = {}) : names_(std::move(names)) {}

    std::string resolveIPv4(const std::string& host) override {
        asked.push_back(host);
        const auto it = names_.find(host);
        if (it == names_.end()) throw SocketError("Name or service not known");
        return it->second;
    }

    void add(const std::string& name, const std::string& ip) { names_[name] = ip; }

    std::vector<std::string> asked;

private:
    std::map<std::string, std::string> names_;
};

}  // namespace velora::test
