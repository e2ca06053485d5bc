#pragma once
// The core's window services done with Qt: letting events run, switching to the log
// page, message and yes/no boxes, the file dialog OpenDialog1 and hiding the window
// to the tray. The dialogs are prepared here and shown by the DialogRunner.
#include <QPointer>
#include <QStringList>
#include <functional>
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

    // The window the services act on; set once the main window exists.
    void attach(QWidget* window, QTabWidget* pages);
    // What "hide to tray" does; the main window installs its tray behaviour here.
    void setHideHandler(std::function<void()> handler) { hideHandler_ = std::move(handler); }
    // What showing the settings again does; the main window refreshes its controls.
    void setSettingsHandler(std::function<void()> handler) { settingsHandler_ = std::move(handler); }

    void pumpEvents() override;
    void showLogPage() override;
    void showMessage(const std::string& text) override;
    bool confirm(const std::string& caption, const std::string& text) override;
    std::vector<std::string> pickFiles(const FileDialogRequest& request) override;
    void hideToTray() override;
    void settingsChanged() override {
        if (settingsHandler_) settingsHandler_();
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
    std::function<void()> hideHandler_;
    std::function<void()> settingsHandler_;
};

}  // namespace velora::gui
