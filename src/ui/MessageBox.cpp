#include "ui/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace ui {

namespace {
MessageBox::Responder g_responder;
}

void MessageBox::show(const QString& prompt, const QString& title)
{
    if (g_responder) {
        g_responder(title, prompt);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void MessageBox::setResponder(Responder responder)
{
    g_responder = std::move(responder);
}

} // namespace ui
