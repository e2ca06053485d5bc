#include "platform/Environment.h"

#include <cstdlib>
#include <limits.h>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

namespace velora {

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string hostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

std::string kernelName() {
    utsname info{};
    if (uname(&info) != 0) return "Linux";
    return info.sysname;
}

}  // namespace

std::string SystemEnvironment::get(const std::string& name) const {
    const std::string value = variable(name.c_str());
    if (!value.empty()) return value;
    if (name == "temp") {
        for (const char* fallback : {"TEMP", "TMPDIR"}) {
            std::string other = variable(fallback);
            if (!other.empty()) return other;
        }
        return {};
    }
    if (name == "COMPUTERNAME") return hostName();
    if (name == "OS") return kernelName();
    return {};
}

std::string SystemEnvironment::homeFolder() const {
    std::string home = variable("HOME");
    if (!home.empty()) return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0) size = 16384;
    std::vector<char> buffer(static_cast<std::size_t>(size));
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr)
        return found->pw_dir;
    return "/tmp";
}

unsigned SystemEnvironment::userId() const { return static_cast<unsigned>(geteuid()); }

FixedEnvironment::FixedEnvironment(std::map<std::string, std::string> values, std::string home)
    : values_(std::move(values)), home_(std::move(home)), uid_(static_cast<unsigned>(geteuid())) {}

std::string FixedEnvironment::get(const std::string& name) const {
    const auto it = values_.find(name);
    return it == values_.end() ? std::string() : it->second;
}

}  // namespace velora
