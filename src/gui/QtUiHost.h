#pragma once
// The core's window services done with Qt: letting events run, switching to the log
// page, message and yes/no boxes, the file dialog OpenDialog1 and hiding the window
// to the tray. The dialogs are prepared here and shown by the DialogRunner.
#include <QPointer>
#include <QStringList>
#include <memory>

#include "app/UiHost.h"

class QTabWidget;
class QWidget;

namespace velora::gui {

class DialogRunner;

class QtUiHost final : public UiHost {
public:
    explicit QtUiHost(DialogRunner& dialogs);
    ~QtUiHost() override;

    // What the main window does for the host: its tray behaviour, and showing its
    // controls' settings again.
    class WindowActions {
    public:
        virtual ~WindowActions() = default;
        virtual void hideWindowToTray() = 0;
        virtual void showSettingsAgain() = 0;
    };

    // The window the services act on; set once the main window exists. Without
    // actions, hiding hides the window and a changed setting shows nothing.
    void attach(QWidget* window, QTabWidget* pages, WindowActions* actions);

    void pumpEvents() override;
    void showLogPage() override;
    void showMessage(const std::string& text) override;
    bool confirm(const std::string& caption, const std::string& text) override;
    std::vector<std::string> pickFiles(const FileDialogRequest& request) override;
    void hideToTray() override;
    void settingsChanged() override {
        if (actions_) actions_->showSettingsAgain();
    }

    // "desc|pattern|desc|pattern" -> {"desc (pattern)", ...}; ";" between patterns
    // becomes a blank and "*.*" means every file, as the program's users expect.
    static QStringList nameFilters(const std::string& filter);

    static constexpr int kLogPage = 5;

    // Where a picker starts: the given folder, or when it does not exist the nearest
    // folder above it that does; a file's path stands for its folder. Empty for none.
    static QString startFolder(const std::string& initialFolder);

private:
    DialogRunner& dialogs_;
    QPointer<QWidget> window_;
    QPointer<QTabWidget> pages_;
    // Where the last file dialog was left; the next one without a folder starts there.
    QString lastFolder_;
    WindowActions* actions_ = nullptr;
};

}  // namespace velora::gui
