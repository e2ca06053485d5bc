#pragma once
// What the core needs from a person or a window. The Qt front end implements it with
// dialogs and processEvents(); velora-cli and the tests implement it with plain code.
#include <cstdint>
#include <string>
#include <vector>

namespace velora {

struct FileDialogRequest {
    std::string title;
    std::string initialFolder;
    std::string fileName;          // preset file name
    std::string filter;            // "description|pattern|description|pattern..."
    bool multiSelect = false;
};

// How far the store of one file has come.
struct TransferProgress {
    std::string name;        // the remote name
    std::int64_t bytes = 0;  // sent so far
    std::int64_t size = 0;   // of the whole file
    bool finished = false;   // the store ended (done or not)
};

class UiHost {
public:
    virtual ~UiHost() = default;
    // Let pending window messages run (timer ticks, buttons, menus): the program's
    // re-entry points. Anything may happen inside, including changes to the file table.
    virtual void pumpEvents() = 0;
    virtual void showLogPage() = 0;
    // A modal message with the program's text.
    virtual void showMessage(const std::string& text) = 0;
    // A yes/no question; true only for "&Ja".
    virtual bool confirm(const std::string& caption, const std::string& text) = 0;
    // Chosen files with full paths; empty when cancelled.
    virtual std::vector<std::string> pickFiles(const FileDialogRequest& request) = 0;
    // Hide the main window to the tray (no-op without a window).
    virtual void hideToTray() = 0;
    // The program changed a setting on its own (the proxy rule switched the online
    // check off): whatever shows the settings shows them again.
    virtual void settingsChanged() = 0;
    // Show the first page ("Config"); only a window has pages.
    virtual void showFirstPage() {}
    // The front end has been told to end and lets the run under way wind down first
    // (the daemon's SIGTERM; a window ends at once and never asks): the store in
    // progress may finish, nothing further starts.
    virtual bool endRequested() { return false; }
    // ...and the store in progress has used up its grace: it is given up as failed.
    virtual bool endGraceOver() { return false; }
    // A store has begun, gone on, or ended; a terminal may show it (the window's
    // progress bar shows the tick instead, so the window ignores it).
    virtual void transferProgress(const TransferProgress&) {}
};

}  // namespace velora
