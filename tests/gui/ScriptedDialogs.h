#pragma once
// Answers the window's dialogs from a script instead of a person, without showing
// them: what each dialog offered is recorded, the next scripted answer is given. A
// dialog that opens with nothing scripted fails the test and counts as cancelled.
#include <QFileDialog>
#include <QStringList>
#include <deque>
#include <vector>

#include "gui/DialogRunner.h"

namespace velora::gui::test {

class ScriptedDialogs final : public DialogRunner {
public:
    // What a dialog showed when it opened.
    struct Seen {
        QString title;
        QString text;             // a message box's text
        QStringList buttons;      // a message box's button texts
        QStringList nameFilters;  // a file dialog's filters
        QString folder;           // a file dialog's folder
        QStringList preset;       // the file names a file dialog offered, full paths
        QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
        bool qtDialog = false;    // Qt's own dialog rather than the desktop's
    };

    // The next file dialog returns these files; an empty list cancels it.
    void nextFiles(QStringList files) { files_.push_back(std::move(files)); }
    // The next message box is closed with the button of this text ("&Ja", "&OK", ...).
    void nextAnswer(QString buttonText) { answers_.push_back(std::move(buttonText)); }
    // Answers scripted but not asked for yet.
    std::size_t unused() const { return files_.size() + answers_.size(); }

    QStringList chooseFiles(QFileDialog& dialog) override;
    QAbstractButton* answer(QMessageBox& box) override;

    std::vector<Seen> seen;

private:
    std::deque<QStringList> files_;
    std::deque<QString> answers_;
};

}  // namespace velora::gui::test
