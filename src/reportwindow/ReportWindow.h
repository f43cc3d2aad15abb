#pragma once

#include "data/Contact.h"

#include <QDialog>
#include <QPrinter>
#include <functional>

class QPrintPreviewWidget;
class QPushButton;

// The report's window: a preview of the contact card with Print, Save as PDF
// and Close. Keyboard: Alt+P prints, Alt+S saves, Alt+C and Esc close, Space
// presses the button Tab has reached. Enter presses nothing: a stray Enter
// must not send a page to the printer, and saving wants a file name anyway.
class ReportWindow final : public QDialog
{
public:
    static inline const QString title = QStringLiteral("Vantrel Report");

    explicit ReportWindow(data::Contact contact, QWidget* parent = nullptr);

    // Asks where to save; returns an empty text when the person cancels.
    using FileChooser = std::function<QString(QWidget* parent, const QString& suggestedPath)>;
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

    QPrinter& printer() { return m_printer; }
    QPrintPreviewWidget* preview() const { return m_preview; }

    void print();
    void saveAsPdf();

private:
    data::Contact m_contact;
    QPrinter m_printer;
    QPrintPreviewWidget* m_preview = nullptr;
    FileChooser m_chooseFile;
};
