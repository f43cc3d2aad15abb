#include "ui/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

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
    if (!canShow()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(prompt));
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool MessageBox::canShow()
{
    // Without a screen nobody could answer the box.
    const QString platform = QGuiApplication::platformName();
    return g_responder || (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"));
}

void MessageBox::setResponder(Responder responder)
{
    g_responder = std::move(responder);
}

} // namespace ui
