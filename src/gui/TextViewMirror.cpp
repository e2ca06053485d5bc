#include "gui/TextViewMirror.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include "app/TextView.h"

namespace velora::gui {

TextViewMirror::TextViewMirror(TextView& source, const char* name, QWidget* parent)
    : QPlainTextEdit(parent), source_(source) {
    setObjectName(QString::fromLatin1(name));
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    source_.setListener(this);
    replaceAll();
}

TextViewMirror::~TextViewMirror() { source_.setListener(nullptr); }

void TextViewMirror::textViewChanged(TextView::Change change) {
    switch (change) {
    case TextView::Change::Appended: appendLast(); break;
    case TextView::Change::FirstRemoved: removeFirst(); break;
    case TextView::Change::Replaced: replaceAll(); break;
    }
}

void TextViewMirror::appendLast() {
    if (source_.lineCount() == 0) return;
    // The first line of an empty view takes the document's one empty block.
    if (source_.lineCount() == 1 && document()->isEmpty() && blockCount() == 1) {
        setPlainText(QString::fromStdString(source_.lines().back()));
        moveCursor(QTextCursor::End);
        return;
    }
    appendPlainText(QString::fromStdString(source_.lines().back()));
}

void TextViewMirror::removeFirst() {
    QTextCursor c(document()->firstBlock());
    if (blockCount() <= 1) {
        c.select(QTextCursor::BlockUnderCursor);
        c.removeSelectedText();
        return;
    }
    c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    c.removeSelectedText();
}

void TextViewMirror::replaceAll() {
    QStringList lines;
    for (const auto& l : source_.lines()) lines << QString::fromStdString(l);
    setPlainText(lines.join(QLatin1Char('\n')));
    moveCursor(QTextCursor::End);
}

}  // namespace velora::gui
