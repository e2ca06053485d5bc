#pragma once
// A UiHost whose dialogs answer from a script instead of a person: the files the next
// file dialogs return, the next answers to confirmations, and an action that runs
// while the next dialog is open, as pending window messages would.
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/QuietUiHost.h"

namespace velora::test {

class ScriptedUiHost : public QuietUiHost {
public:
    // Front first; an empty list is a cancelled dialog. No entry left: cancelled.
    std::deque<std::vector<std::string>> nextFiles;
    // Front first; no entry left: "&Nein".
    std::deque<bool> nextAnswers;
    // Runs once inside the next dialog of either kind.
    std::function<void()> whileOpen;

    std::vector<FileDialogRequest> requests;
    std::vector<std::pair<std::string, std::string>> questions;  // caption, text

    bool confirm(const std::string& caption, const std::string& text) override {
        questions.emplace_back(caption, text);
        runWhileOpen();
        if (nextAnswers.empty()) return false;
        const bool answer = nextAnswers.front();
        nextAnswers.pop_front();
        return answer;
    }

    std::vector<std::string> pickFiles(const FileDialogRequest& request) override {
        requests.push_back(request);
        runWhileOpen();
        if (nextFiles.empty()) return {};
        std::vector<std::string> files = std::move(nextFiles.front());
        nextFiles.pop_front();
        return files;
    }

private:
    void runWhileOpen() {
        auto action = std::exchange(whileOpen, nullptr);
        if (action) action();
    }
};

}  // namespace velora::test
