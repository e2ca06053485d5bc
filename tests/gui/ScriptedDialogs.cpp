#include "ScriptedDialogs.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <gtest/gtest.h>

namespace velora::gui::test {

QStringList ScriptedDialogs::chooseFiles(QFileDialog& dialog) {
    Seen s;
    s.title = dialog.windowTitle();
    s.nameFilters = dialog.nameFilters();
    s.folder = dialog.directory().absolutePath();
    s.preset = dialog.selectedFiles();
    s.fileMode = dialog.fileMode();
    s.qtDialog = dialog.testOption(QFileDialog::DontUseNativeDialog);
    seen.push_back(s);
    if (files_.empty()) {
        ADD_FAILURE() << "a file dialog opened with no answer scripted: " << s.title.toStdString();
        return {};
    }
    QStringList chosen = files_.front();
    files_.pop_front();
    return chosen;
}

QAbstractButton* ScriptedDialogs::answer(QMessageBox& box) {
    Seen s;
    s.title = box.windowTitle();
    s.text = box.text();
    for (QAbstractButton* b : box.buttons()) s.buttons << b->text();
    seen.push_back(s);
    if (answers_.empty()) {
        ADD_FAILURE() << "a message box opened with no answer scripted: " << s.text.toStdString();
        return nullptr;
    }
    const QString wanted = answers_.front();
    answers_.pop_front();
    for (QAbstractButton* b : box.buttons())
        if (b->text() == wanted) return b;
    ADD_FAILURE() << "the box has no button " << wanted.toStdString() << ", only " << s.buttons.join(", ").toStdString();
    return nullptr;
}

}  // namespace velora::gui::test
