#pragma once
// How the window's modal dialogs are shown and answered. QtUiHost prepares every
// dialog (title, filters, start folder, buttons) and hands it over here: the window
// shows it and waits for the person; the tests answer it from a script and never show
// it, so no test races a dialog's activation or its focus.
#include <QStringList>

class QAbstractButton;
class QFileDialog;
class QMessageBox;

namespace velora::gui {

class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    // The files chosen in the prepared dialog, full paths; empty when cancelled.
    virtual QStringList chooseFiles(QFileDialog& dialog) = 0;
    // The button that closed the prepared box; nullptr when it was closed otherwise.
    virtual QAbstractButton* answer(QMessageBox& box) = 0;
};

// The window's runner: each dialog is shown modally until the person closes it.
class ModalDialogRunner final : public DialogRunner {
public:
    QStringList chooseFiles(QFileDialog& dialog) override;
    QAbstractButton* answer(QMessageBox& box) override;
};

}  // namespace velora::gui
