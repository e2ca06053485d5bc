#include "gui/Controls.h"

#include "app/UiHost.h"
#include "platform/Paths.h"

namespace velora::gui {

void pickFileInto(UiHost& ui, QLineEdit* edit, const char* title, const char* filter, const std::string& home) {
    const std::string text = edit->text().toStdString();
    const std::string path = text.empty() || text.front() == '/' ? text : paths::join(home, text);
    FileDialogRequest request;
    request.title = title;
    request.initialFolder = text.empty() ? home : paths::folderPartWithSlash(path);
    request.fileName = path;
    request.filter = filter;
    request.multiSelect = true;  // the dialog's design option; the first file counts
    const std::vector<std::string> chosen = ui.pickFiles(request);
    if (!chosen.empty()) edit->setText(QString::fromStdString(chosen.front()));
}

}  // namespace velora::gui
