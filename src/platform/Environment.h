#pragma once
// Environment variables with the program's Linux fallbacks:
//   "temp"          the variable if set, else TEMP, TMPDIR, then "/tmp"
//   "COMPUTERNAME"  the variable if set, else the host name
//   "OS"            the variable if set, else the kernel name ("Linux")
// Other names: the variable, or empty. Injectable so tests control every value.
#include <map>
#include <string>

namespace velora {

class Environment {
public:
    virtual ~Environment() = default;
    virtual std::string get(const std::string& name) const = 0;
    // The user's home folder ($HOME, else the password database); defaults of the
    // log, transfer-log and screen-shot files live there.
    virtual std::string homeFolder() const = 0;
};

class SystemEnvironment final : public Environment {
public:
    std::string get(const std::string& name) const override;
    std::string homeFolder() const override;
};

// Exactly the values it is given; a missing name is empty.
class FixedEnvironment final : public Environment {
public:
    FixedEnvironment(std::map<std::string, std::string> values, std::string home = "/home/test")
        : values_(std::move(values)), home_(std::move(home)) {}
    std::string get(const std::string& name) const override;
    std::string homeFolder() const override { return home_; }
    void set(const std::string& name, const std::string& value) { values_[name] = value; }

private:
    std::map<std::string, std::string> values_;
    std::string home_;
};

}  // namespace velora
