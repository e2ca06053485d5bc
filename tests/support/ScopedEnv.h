#pragma once
// Sets (or, with nullptr, removes) a process environment variable for one scope and
// restores its earlier state afterwards, so tests do not leak into each other.
#include <optional>
#include <string>

namespace velora::test {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace velora::test
