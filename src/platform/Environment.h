#pragma once
// Environment variables with the program's Linux fallbacks:
//   "temp"          the variable if set, else TEMP, else TMPDIR, else empty (the scratch
//                   folder then lives in the user's cache folder, never in shared /tmp)
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
    // The effective user id: the scratch folder is named after it and must belong to it.
    virtual unsigned userId() const = 0;
};

class SystemEnvironment final : public Environment {
public:
    std::string get(const std::string& name) const override;
    std::string homeFolder() const override;
    unsigned userId() const override;
};

// Exactly the values it is given; a missing name is empty.
class FixedEnvironment final : public Environment {
public:
    FixedEnvironment(std::map<std::string, std::string> values, std::string home = "/home/test");
    std::string get(const std::string& name) const override;
    std::string homeFolder() const override { return home_; }
    // The process's own id unless set: folders the test makes belong to it.
    unsigned userId() const override { return uid_; }
    void set(const std::string& name, const std::string& value) { values_[name] = value; }
    void setUserId(unsigned uid) { uid_ = uid; }

private:
    std::map<std::string, std::string> values_;
    std::string home_;
    unsigned uid_;
};

}  // namespace velora
