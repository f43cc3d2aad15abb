#include "ui/AccessKeys.h"

#include <QAbstractButton>
#include <QEvent>
#include <QPushButton>
#include <QShortcutEvent>
#include <QStackedWidget>
#include <QWidget>

namespace ui {

namespace {

class AccessKeyFilter final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (!button || event->type() != QEvent::Shortcut ||
            static_cast<QShortcutEvent*>(event)->isAmbiguous())
            return QObject::eventFilter(watched, event);
        if (button->isEnabled()) {
            if (button->focusPolicy() != Qt::NoFocus)
                button->setFocus(Qt::ShortcutFocusReason);
            button->click();
        }
        return true;
    }
};

} // namespace

void pressAccessKeysAtOnce(QWidget* window)
{
    auto* filter = new AccessKeyFilter(window);
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        button->installEventFilter(filter);
}

void showPage(QStackedWidget* pages, QWidget* page, QWidget* focus, QPushButton* enterPresses)
{
    pages->setCurrentWidget(page);
    for (QPushButton* button : page->findChildren<QPushButton*>())
        button->setDefault(button == enterPresses);
    focus->setFocus();
}

} // namespace ui
