#include "ui/KeyboardTwins.h"

#include "ui/Form.h"

#include <QAbstractButton>

namespace ui {

namespace {
FormWindow& formWindowOf(QAbstractButton* button)
{
    auto* window = qobject_cast<FormWindow*>(button->window());
    Q_ASSERT_X(window, "KeyboardTwins", "the button does not lie on a form's window");
    return *window;
}
} // namespace

void makeDefaultButton(QAbstractButton* button)
{
    formWindowOf(button).setDefaultButton(button);
}

void makeCancelButton(QAbstractButton* button)
{
    formWindowOf(button).setCancelButton(button);
}

} // namespace ui
