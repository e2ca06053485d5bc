#include "gui/Controls.h"

#include "app/UiHost.h"
#include "platform/Paths.h"

namespace velora::gui {

void pickFileInto(UiHost& ui, QLineEdit* edit, const char* title, const char* filter) {
    const std::string text = edit->text().toStdString();
    FileDialogRequest request;
    request.title = title;
    request.initialFolder = paths::folderPartWithSlash(text);
    request.fileName = text;
    request.filter = filter;
    request.multiSelect = true;  // the dialog's design option; the first file counts
    const std::vector<std::string> chosen = ui.pickFiles(request);
    if (!chosen.empty()) edit->setText(QString::fromStdString(chosen.front()));
}

}  // namespace velora::gui
