#include "ui/KeyboardTwins.h"

#include <QAbstractButton>
#include <QShortcut>

namespace ui {

namespace {
void pressOnKey(QAbstractButton* button, QKeyCombination key)
{
    auto* shortcut = new QShortcut(QKeySequence(key), button->window());
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, button, [button] {
        if (button->isEnabled())
            button->click();
    });
}
} // namespace

void makeDefaultButton(QAbstractButton* button)
{
    pressOnKey(button, QKeyCombination(Qt::Key_Return));
    pressOnKey(button, QKeyCombination(Qt::Key_Enter));
}

void makeCancelButton(QAbstractButton* button)
{
    pressOnKey(button, QKeyCombination(Qt::Key_Escape));
}

} // namespace ui
