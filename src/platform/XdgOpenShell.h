#pragma once
#include <string>

#include "platform/Shell.h"

namespace velora {

// xdg-open, started in the background with the address as its one argument, its bytes
// unchanged (blanks, umlauts, "%0D%0A" as they are). The Windows shell opens a bare host name ("www.example.org") in the web
// browser, where xdg-open would look for a file of that name: an address without a
// scheme that is not a path gets "http://" in front.
class XdgOpenShell final : public Shell {
public:
    // `program` is the opener; tests give a script that records its arguments.
    explicit XdgOpenShell(std::string program = "xdg-open") : program_(std::move(program)) {}
    void open(const std::string& address) override;

    // What the opener receives for `address`.
    static std::string forOpener(const std::string& address);

private:
    std::string program_;
};

}  // namespace velora
