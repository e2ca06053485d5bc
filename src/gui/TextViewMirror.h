#pragma once
// A read-only text view that mirrors a core TextView line for line (the log view
// Memo1, the scratch view M_temp). Changes arrive through the TextView's listener;
// each costs one block, so views of thousands of lines stay quick.
#include <QPlainTextEdit>

#include "app/TextView.h"

namespace velora::gui {

class TextViewMirror : public QPlainTextEdit, private TextView::Listener {
    Q_OBJECT
public:
    TextViewMirror(TextView& source, const char* name, QWidget* parent = nullptr);
    ~TextViewMirror() override;

private:
    void textViewChanged(TextView::Change change) override;
    void appendLast();
    void removeFirst();
    void replaceAll();

    TextView& source_;
};

}  // namespace velora::gui
