#pragma once
// Ties controls to fields of the Settings working copy: every edit writes through at
// once, and refresh() shows the fields again after a load (with the controls' signals
// blocked, so a refresh never counts as an edit).
#include <functional>
#include <string>
#include <vector>

#include "settings/Settings.h"

class QAbstractButton;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QWidget;

namespace velora::gui {

class SettingsBinder {
public:
    explicit SettingsBinder(Settings& settings) : settings_(settings) {}

    void bind(QAbstractButton* box, bool Settings::*field);
    void bind(QLineEdit* edit, std::string Settings::*field);
    // The spin box takes the field's range; the field keeps the text the box shows.
    void bind(QSpinBox* spin, SpinField Settings::*field);
    // One line of the memo per entry.
    void bind(QPlainTextEdit* memo, std::vector<std::string> Settings::*field);

    void refresh();

private:
    Settings& settings_;
    std::vector<std::function<void()>> refreshers_;
};

}  // namespace velora::gui
