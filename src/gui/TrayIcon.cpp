#include "gui/TrayIcon.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace velora::gui {

TrayIcon::TrayIcon(QWidget* window, QMenu* popup, const QIcon& icon, const QString& tip)
    : QObject(window), window_(window), icon_(new QSystemTrayIcon(icon, this)), watch_(new QTimer(this)) {
    icon_->setObjectName(QStringLiteral("TrayIcon1"));
    icon_->setToolTip(tip);
    icon_->setContextMenu(popup);
    // A single click and any other button do nothing; the right button opens the
    // pop-up menu by itself.
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick) showWindow();
    });
    watch_->setInterval(1000);
    connect(watch_, &QTimer::timeout, this, &TrayIcon::checkTrayStillThere);
}

void TrayIcon::hideWindow() {
    if (startingUp_) return;
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        icon_->show();
        window_->hide();
        watch_->start();
    } else {
        window_->showMinimized();
    }
}

void TrayIcon::showWindow() {
    watch_->stop();
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
    icon_->hide();
}

void TrayIcon::remove() {
    watch_->stop();
    icon_->hide();
}

bool TrayIcon::watchingTray() const { return watch_->isActive(); }

void TrayIcon::checkTrayStillThere() {
    if (window_->isVisible()) {
        watch_->stop();
        return;
    }
    if (QSystemTrayIcon::isSystemTrayAvailable()) return;
    watch_->stop();
    // The icon stays asked for: a tray host that comes back shows it again.
    window_->showMinimized();
}

}  // namespace velora::gui
