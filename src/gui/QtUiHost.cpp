#include "gui/QtUiHost.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>

#include "gui/DialogRunner.h"
#include "gui/Guarded.h"

namespace velora::gui {

namespace {

QString fromStd(const std::string& s) { return QString::fromStdString(s); }

// A lone CR separates lines in the program's texts; Qt wants LF.
QString withLineFeeds(const std::string& text) {
    QString s = fromStd(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

QString qtPattern(QString pattern) {
    QStringList parts = pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : parts) {
        p = p.trimmed();
        if (p == QLatin1String("*.*")) p = QStringLiteral("*");
    }
    return parts.join(QLatin1Char(' '));
}

void presetName(QFileDialog& dialog, const QString& preset) {
    if (preset.isEmpty()) return;
    // A path in a folder that does not exist would move the dialog into that folder
    // again; its name alone keeps the dialog where it starts.
    const QFileInfo info(preset);
    dialog.selectFile(info.isAbsolute() && !info.absoluteDir().exists() ? info.fileName() : preset);
}

}  // namespace

QtUiHost::QtUiHost(DialogRunner& dialogs) : dialogs_(dialogs) {}
QtUiHost::~QtUiHost() = default;

void QtUiHost::attach(QWidget* window, QTabWidget* pages, WindowActions* actions) {
    window_ = window;
    pages_ = pages;
    actions_ = actions;
}

void QtUiHost::pumpEvents() { QCoreApplication::processEvents(); }

void QtUiHost::showLogPage() {
    if (pages_) pages_->setCurrentIndex(kLogPage);
}

void QtUiHost::showMessage(const std::string& text) {
    QMessageBox box(window_);
    prepareProgramMessage(box, text);
    dialogs_.answer(box);
}

bool QtUiHost::confirm(const std::string& caption, const std::string& text) {
    QMessageBox box(window_);
    box.setWindowTitle(fromStd(caption));
    box.setIcon(QMessageBox::Question);
    box.setText(withLineFeeds(text));
    QPushButton* yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    return dialogs_.answer(box) == yes;
}

QStringList QtUiHost::nameFilters(const std::string& filter) {
    const QStringList parts = fromStd(filter).split(QLatin1Char('|'));
    QStringList out;
    if (parts.size() == 1) {
        // A bare pattern such as "*.*" without a description.
        const QString pattern = qtPattern(parts.front());
        if (!pattern.isEmpty()) out << QStringLiteral("%1 (%2)").arg(parts.front().trimmed(), pattern);
        return out;
    }
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << QStringLiteral("%1 (%2)").arg(parts[i], qtPattern(parts[i + 1]));
    return out;
}

QString QtUiHost::startFolder(const std::string& initialFolder) {
    if (initialFolder.empty()) return {};
    QFileInfo info(fromStd(initialFolder));
    if (info.exists() && !info.isDir()) return info.absolutePath();
    QString folder = info.absoluteFilePath();
    while (!QFileInfo(folder).isDir()) {
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder) break;
        folder = parent;
    }
    return QDir::cleanPath(folder);
}

std::vector<std::string> QtUiHost::pickFiles(const FileDialogRequest& request) {
    // A dialog of its own for every pick, gone when the pick is over: one kept between
    // picks still had the last files selected (and "Open" took them, or nothing), and
    // the pop-up of its name completion stayed on screen after Enter.
    QFileDialog dialog(window_.data());
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    // Qt's own dialog: the same on every desktop and drivable from tests.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setWindowTitle(fromStd(request.title));
    dialog.setFileMode(request.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFilters(request.filter));
    // No start folder: where the last pick was (an empty folder would make Qt list the
    // file system's root).
    const QString folder = startFolder(request.initialFolder);
    if (!folder.isEmpty()) {
        dialog.setDirectory(folder);
    } else if (!lastFolder_.isEmpty()) {
        dialog.setDirectory(lastFolder_);
    }
    presetName(dialog, fromStd(request.fileName));
    const QStringList files = dialogs_.chooseFiles(dialog);
    lastFolder_ = dialog.directory().absolutePath();
    for (QCompleter* completion : dialog.findChildren<QCompleter*>()) {
        if (completion->popup()) completion->popup()->hide();
    }
    std::vector<std::string> chosen;
    for (const QString& f : files) chosen.push_back(f.toStdString());
    return chosen;
}

void QtUiHost::hideToTray() {
    if (actions_) {
        actions_->hideWindowToTray();
    } else if (window_) {
        window_->hide();
    }
}

}  // namespace velora::gui
