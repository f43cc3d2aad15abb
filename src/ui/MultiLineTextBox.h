#pragma once

#include <QPlainTextEdit>

namespace ui {

// A multi-line text box (addresses). Word wrapping lays out a long run without
// blanks in quadratic time, so a very long text wraps anywhere instead.
class MultiLineTextBox final : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit MultiLineTextBox(QWidget* parent = nullptr);

    QString text() const { return toPlainText(); }
    void setText(const QString& text);

protected:
    void insertFromMimeData(const QMimeData* source) override;

private:
    void wrapFor(qsizetype length);
};

} // namespace ui

using MultiLineTextBox = ui::MultiLineTextBox;
