#include "ui/MultiLineTextBox.h"

#include <QMimeData>

namespace ui {

namespace {
constexpr qsizetype longestWordWrapped = 20000;
}

MultiLineTextBox::MultiLineTextBox(QWidget* parent) : QPlainTextEdit(parent) {}

void MultiLineTextBox::wrapFor(qsizetype length)
{
    setWordWrapMode(length > longestWordWrapped ? QTextOption::WrapAnywhere
                                                : QTextOption::WrapAtWordBoundaryOrAnywhere);
}

void MultiLineTextBox::setText(const QString& text)
{
    // A change of wrap mode lays out whatever the box holds: change it while empty.
    QPlainTextEdit::clear();
    wrapFor(text.size());
    setPlainText(text);
}

void MultiLineTextBox::insertFromMimeData(const QMimeData* source)
{
    if (source && source->hasText())
        wrapFor(document()->characterCount() + source->text().size());
    QPlainTextEdit::insertFromMimeData(source);
}

} // namespace ui
