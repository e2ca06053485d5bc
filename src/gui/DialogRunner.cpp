#include "gui/DialogRunner.h"

#include <QFileDialog>
#include <QMessageBox>

namespace velora::gui {

QStringList ModalDialogRunner::chooseFiles(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

QAbstractButton* ModalDialogRunner::answer(QMessageBox& box) {
    box.exec();
    return box.clickedButton();
}

}  // namespace velora::gui
