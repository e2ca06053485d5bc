#pragma once
// Small constructors for the named controls of the pages: each control carries the
// program's name as objectName, so tests and the style sheet can find it.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <string>

namespace velora {
class UiHost;
}

namespace velora::gui {

inline QString qs(const char* utf8) { return QString::fromUtf8(utf8); }

// The narrow fonts that let the program's fixed cell and panel widths hold their
// texts, as the small system font of the original layout did.
enum class FontWidth { Narrow, Condensed };
inline QFont narrowFont(int pixelSize, FontWidth width = FontWidth::Narrow) {
    const QString narrow = QStringLiteral("Nimbus Sans Narrow");
    const QString condensed = QStringLiteral("DejaVu Sans Condensed");
    QFont f;
    f.setFamilies({width == FontWidth::Narrow ? narrow : condensed, width == FontWidth::Narrow ? condensed : narrow,
                   QStringLiteral("Arial Narrow"), QStringLiteral("Sans Serif")});
    f.setPixelSize(pixelSize);
    return f;
}

template <class W>
W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

inline QCheckBox* checkBox(const char* name, const char* caption) {
    return named(new QCheckBox(qs(caption)), name);
}
inline QRadioButton* radioButton(const char* name, const char* caption) {
    return named(new QRadioButton(qs(caption)), name);
}
inline QPushButton* button(const char* name, const char* caption) {
    return named(new QPushButton(qs(caption)), name);
}
inline QLineEdit* lineEdit(const char* name) { return named(new QLineEdit, name); }
inline QLineEdit* passwordEdit(const char* name) {
    auto* e = lineEdit(name);
    e->setEchoMode(QLineEdit::Password);
    // Masked with "*" as the program always showed its passwords, not the style's dot.
    e->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    return e;
}
inline QSpinBox* spinBox(const char* name, const char* hint = nullptr) {
    auto* s = named(new QSpinBox, name);
    if (hint) s->setToolTip(qs(hint));
    return s;
}
inline QLabel* label(const char* caption, const char* name = nullptr) {
    auto* l = new QLabel(qs(caption));
    if (name) l->setObjectName(QString::fromLatin1(name));
    return l;
}
inline QGroupBox* groupBox(const char* title, const char* name = nullptr) {
    auto* g = new QGroupBox(qs(title));
    if (name) g->setObjectName(QString::fromLatin1(name));
    return g;
}

// The settings pickers: open OpenDialog1 at the folder of the field's text with the
// text as preset name; OK puts the first chosen file into the field. A relative name
// lies in the home folder, as the program opens it there.
void pickFileInto(UiHost& ui, QLineEdit* edit, const char* title, const char* filter, const std::string& home);

}  // namespace velora::gui
