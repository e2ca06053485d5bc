#pragma once
// The tests' UiHost: nothing a person would see, the messages kept.
#include <functional>
#include <string>
#include <vector>

#include "app/UiHost.h"

namespace velora::test {

// A host that does nothing a person would see; pumpEvents runs an optional hook, which
// tests use to simulate a timer tick or a deletion nested inside a pass.
class QuietUiHost : public UiHost {
public:
    std::function<void()> onPump;
    std::vector<std::string> messages;
    int settingsShown = 0;
    bool graceOver = false;   // what endGraceOver() answers: a store under way is given up

    void pumpEvents() override {
        if (onPump) onPump();
    }
    void showLogPage() override {}
    void showMessage(const std::string& text) override { messages.push_back(text); }
    bool confirm(const std::string&, const std::string&) override { return false; }
    std::vector<std::string> pickFiles(const FileDialogRequest&) override { return {}; }
    void hideToTray() override {}
    void settingsChanged() override { ++settingsShown; }
    bool endGraceOver() override { return graceOver; }
};

}  // namespace velora::test
