#pragma once
// The FTP client identification, set once at start-up: name and version trimmed and
// cut at their first blank, the platform description kept whole.
#include <string>

namespace velora {

inline constexpr const char* kVersionBanner = "VELORA 1.3.7.34";

class ClientIdentity {
public:
    void setClientName(const std::string& name);
    void setClientVersion(const std::string& version);
    void setPlatformDescription(const std::string& text) { platform_ = text; }

    const std::string& clientName() const { return name_; }
    const std::string& clientVersion() const { return version_; }
    const std::string& platformDescription() const { return platform_; }

    // What "CLNT" sends: name, then " " + version when not empty, then " " + platform
    // when not empty.
    std::string identificationString() const;

private:
    std::string name_;
    std::string version_;
    std::string platform_;
};

}  // namespace velora
