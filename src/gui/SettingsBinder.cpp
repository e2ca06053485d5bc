#include "gui/SettingsBinder.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSpinBox>

namespace velora::gui {

namespace {

std::vector<std::string> memoLines(const QPlainTextEdit* memo) {
    std::vector<std::string> lines;
    // One block per line; a memo never has fewer than one block.
    for (const QString& l : memo->toPlainText().split(QLatin1Char('\n'))) lines.push_back(l.toStdString());
    return lines;
}

QString memoText(const std::vector<std::string>& lines) {
    QStringList out;
    for (const auto& l : lines) out << QString::fromStdString(l);
    return out.join(QLatin1Char('\n'));
}

}  // namespace

void SettingsBinder::bind(QAbstractButton* box, bool Settings::*field) {
    QObject::connect(box, &QAbstractButton::toggled, box, [this, field](bool on) {
        settings_.*field = on;
    });
    refreshers_.push_back([this, box, field] {
        const QSignalBlocker block(box);
        box->setChecked(settings_.*field);
    });
}

void SettingsBinder::bind(QLineEdit* edit, std::string Settings::*field) {
    QObject::connect(edit, &QLineEdit::textChanged, edit, [this, field](const QString& text) {
        settings_.*field = text.toStdString();
    });
    refreshers_.push_back([this, edit, field] {
        const QSignalBlocker block(edit);
        const QString text = QString::fromStdString(settings_.*field);
        if (edit->text() != text) edit->setText(text);
    });
}

void SettingsBinder::bind(QSpinBox* spin, SpinField Settings::*field) {
    spin->setRange((settings_.*field).minimum, (settings_.*field).maximum);
    QObject::connect(spin, &QSpinBox::textChanged, spin, [this, spin, field](const QString&) {
        (settings_.*field).text = spin->cleanText().toStdString();
    });
    refreshers_.push_back([this, spin, field] {
        const QSignalBlocker block(spin);
        spin->setRange((settings_.*field).minimum, (settings_.*field).maximum);
        spin->setValue((settings_.*field).value());
    });
}

void SettingsBinder::bind(QPlainTextEdit* memo, std::vector<std::string> Settings::*field) {
    QObject::connect(memo, &QPlainTextEdit::textChanged, memo, [this, memo, field] {
        settings_.*field = memoLines(memo);
    });
    refreshers_.push_back([this, memo, field] {
        const QSignalBlocker block(memo);
        memo->setPlainText(memoText(settings_.*field));
    });
}

void SettingsBinder::refresh() {
    for (auto& r : refreshers_) r();
}

}  // namespace velora::gui
