#pragma once
// The desktop's "open" as the tests see it: every address, exactly as handed over.
#include <string>
#include <vector>

#include "platform/Shell.h"

namespace velora::test {

class RecordingShell final : public Shell {
public:
    std::vector<std::string> opened;
    void open(const std::string& address) override { opened.push_back(address); }
};

}  // namespace velora::test
