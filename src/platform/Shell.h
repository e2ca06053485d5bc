#pragma once
// The desktop's "open": hands an address (a web page, a mail link) to whatever program
// the user registered for it. Nobody waits for the result or looks at it.
#include <string>

namespace velora {

class Shell {
public:
    virtual ~Shell() = default;
    virtual void open(const std::string& address) = 0;
};

}  // namespace velora
