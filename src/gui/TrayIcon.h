#pragma once
// The program's icon in the notification area, and the main window's hiding into it.
// The icon exists only while the window is hidden. While hidden, a tray host that
// goes away (a panel that crashed or was ended) would leave no way back to the
// window; the icon then watches for that and shows the window minimised instead.
#include <QObject>

class QIcon;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class QWidget;

namespace velora::gui {

class TrayIcon : public QObject {
    Q_OBJECT
public:
    // `popup` opens on a right-click on the icon.
    TrayIcon(QWidget* window, QMenu* popup, const QIcon& icon, const QString& tip);

    // "Hide": the icon appears, then the window and its task-bar entry go. Without a
    // tray the window is only minimised, so the task bar still leads back to it.
    void hideWindow();
    // "Zeig Es wieder an" and a double-click on the icon: the window comes to the
    // front and the icon goes.
    void showWindow();
    // The exit commands take the icon away before the process ends.
    void remove();
    // During the start-up sequence the tray is not set up yet: a hide asked for by the
    // settings load does nothing, the window is shown when the event loop starts and
    // the first tick hides it ("Minimiert").
    void setStartingUp(bool on) { startingUp_ = on; }

    QSystemTrayIcon* icon() const { return icon_; }
    bool watchingTray() const;

public slots:
    // While hidden: when no tray is left, the window comes back minimised.
    void checkTrayStillThere();

private:
    QWidget* window_;
    QSystemTrayIcon* icon_;
    QTimer* watch_;
    bool startingUp_ = false;
};

}  // namespace velora::gui
