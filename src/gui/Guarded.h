#pragma once
// The boundary between Qt's event loop and the core: every slot that calls into the
// core runs its work through guarded(), so an error is shown to the user and never
// unwinds through Qt (which cannot carry exceptions).
#include <functional>
#include <string>

class QMessageBox;
class QWidget;

namespace velora::gui {

// Where guarded() reports an error text. By default a message box titled "VELORA";
// tests install a sink that records the text instead of blocking on a dialog.
class ErrorSink {
public:
    virtual ~ErrorSink() = default;
    virtual void reportError(const std::string& text) = 0;
};
// nullptr brings the message box back.
void setErrorSink(ErrorSink* sink);

// Runs `work`; a velora::Error or any std::exception is reported through the sink.
// Returns false when the work left with an error.
bool guarded(const std::function<void()>& work);

// The program's message box (title "VELORA", one "OK"), shared by guarded() and the UiHost.
void prepareProgramMessage(QMessageBox& box, const std::string& text, bool isError = false);
void showProgramMessage(QWidget* parent, const std::string& text, bool isError = false);

}  // namespace velora::gui
