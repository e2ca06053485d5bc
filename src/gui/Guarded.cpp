#include "gui/Guarded.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <exception>

namespace velora::gui {

namespace {

ErrorSink*& sink() {
    static ErrorSink* s = nullptr;
    return s;
}

void report(const std::string& text) {
    if (sink()) {
        sink()->reportError(text);
        return;
    }
    showProgramMessage(QApplication::activeWindow(), text, true);
}

}  // namespace

void setErrorSink(ErrorSink* s) { sink() = s; }

bool guarded(const std::function<void()>& work) {
    try {
        work();
        return true;
    } catch (const std::exception& e) {
        report(e.what());
    } catch (...) {
        report("Unbekannter Fehler");
    }
    return false;
}

void prepareProgramMessage(QMessageBox& box, const std::string& text, bool isError) {
    box.setWindowTitle(QStringLiteral("VELORA"));
    box.setIcon(isError ? QMessageBox::Critical : QMessageBox::Information);
    box.setText(QString::fromStdString(text));
    box.setStandardButtons(QMessageBox::Ok);
}

void showProgramMessage(QWidget* parent, const std::string& text, bool isError) {
    QMessageBox box(parent);
    prepareProgramMessage(box, text, isError);
    box.exec();
}

}  // namespace velora::gui
