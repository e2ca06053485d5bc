#pragma once
// The headless stand-in for the window: nothing to repaint, nobody to ask.
#include <iosfwd>

#include "app/UiHost.h"
#include "cli/ProgressLine.h"

namespace velora::cli {

class CliUiHost : public UiHost {
public:
    explicit CliUiHost(std::ostream& err) : err_(err) {}
    void pumpEvents() override {}
    void showLogPage() override {}
    void showMessage(const std::string& text) override;
    // Without a person to ask, every question is answered "no".
    bool confirm(const std::string& caption, const std::string& text) override;
    std::vector<std::string> pickFiles(const FileDialogRequest&) override { return {}; }
    void hideToTray() override {}
    // No controls show the settings here.
    void settingsChanged() override {}
    // Shows each store's progress on the line given (velora-cli run on a terminal).
    void showProgressOn(ProgressLine* line) { progress_ = line; }
    void transferProgress(const TransferProgress& p) override {
        if (progress_) progress_->update(p);
    }

private:
    std::ostream& err_;
    ProgressLine* progress_ = nullptr;
};

}  // namespace velora::cli
