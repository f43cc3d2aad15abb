#include "ui/Accessibility.h"

#include "ui/ActionLabel.h"
#include "ui/Form.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <algorithm>

namespace ui::accessibility {

namespace {

// An action label is a button to whoever cannot see that it looks like a link.
class ActionLabelAccessible final : public QAccessibleWidget
{
public:
    explicit ActionLabelAccessible(ActionLabel* label) : QAccessibleWidget(label, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && label()->accessibleName().isEmpty())
            return label()->text();
        if (t == QAccessible::Accelerator)
            return label()->accessKey().toString(QKeySequence::NativeText);
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override
    {
        if (action == pressAction())
            label()->click();
    }
    QStringList keyBindingsForAction(const QString& action) const override
    {
        const QString key = text(QAccessible::Accelerator);
        return action == pressAction() && !key.isEmpty() ? QStringList{key} : QStringList{};
    }

private:
    ActionLabel* label() const { return static_cast<ActionLabel*>(widget()); }
};

// Qt names a list by its value on Linux, so that "15" is all a date list
// said; here a list is named by its caption, and its value is its value.
class ListAccessible final : public QAccessibleWidget
{
public:
    explicit ListAccessible(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? list()->currentText() : QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = list()->view()->isVisible();
        state.editable = list()->isEditable();
        return state;
    }
    // The choices, then the box typed into when the list takes typing.
    int childCount() const override { return list()->lineEdit() ? 2 : 1; }
    QAccessibleInterface* child(int index) const override
    {
        QWidget* children[] = {list()->view(), list()->lineEdit()};
        return index >= 0 && index < childCount() ? QAccessible::queryAccessibleInterface(children[index])
                                                  : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (int index = 0; index < childCount(); ++index)
            if (this->child(index)->object() == child->object())
                return index;
        return -1;
    }
    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << showMenuAction(); }
    void doAction(const QString& action) override
    {
        if (action == showMenuAction())
            list()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QComboBox* list() const { return static_cast<QComboBox*>(widget()); }
};

// What a sighted person does not see is no part of the window for anyone: the
// access-key twins lie outside the window, the rules and the background
// picture carry no meaning.
bool meaningful(const QWidget* window, const QWidget* child)
{
    if (child->isWindow() || !window->rect().intersects(child->geometry()))
        return false;
    if (child->metaObject() == &QFrame::staticMetaObject)
        return false;
    const auto* label = qobject_cast<const QLabel*>(child);
    return !label || !label->text().isEmpty();
}

class FormWindowAccessible final : public QAccessibleWidget
{
public:
    explicit FormWindowAccessible(QWidget* window) : QAccessibleWidget(window, QAccessible::Window) {}

    int childCount() const override { return int(shown().size()); }
    QAccessibleInterface* child(int index) const override
    {
        const QList<QWidget*> children = shown();
        return index >= 0 && index < children.size() ? QAccessible::queryAccessibleInterface(children[index])
                                                     : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return int(shown().indexOf(qobject_cast<QWidget*>(child->object())));
    }

private:
    QList<QWidget*> shown() const
    {
        QList<QWidget*> children;
        for (QWidget* child : widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (meaningful(widget(), child))
                children.append(child);
        return children;
    }
};

QAccessibleInterface* interfaceFor(const QString& className, QObject* object)
{
    if (className == QLatin1String("ui::ActionLabel"))
        return new ActionLabelAccessible(static_cast<ActionLabel*>(object));
    if (className == QLatin1String("ui::FormWindow"))
        return new FormWindowAccessible(static_cast<QWidget*>(object));
    if (className == QLatin1String("QComboBox"))
        return new ListAccessible(static_cast<QComboBox*>(object));
    return nullptr;
}

// Captions written short for the eye, spelled out for the ear.
QString spelledOut(const QString& caption)
{
    static const QMap<QString, QString> words{{QStringLiteral("DOB"), QStringLiteral("Date of birth")},
                                              {QStringLiteral("ANI"), QStringLiteral("Anniversary")},
                                              {QStringLiteral("Sub"), QStringLiteral("Sub-category")}};
    return words.value(caption, caption);
}

bool onRowOf(const QWidget* label, const QWidget* control)
{
    const int middle = control->y() + std::min(control->height(), label->height()) / 2;
    return label->y() <= middle && middle <= label->geometry().bottom();
}

QList<QLabel*> captions(QWidget* window)
{
    QList<QLabel*> labels;
    for (QLabel* label : window->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (!qobject_cast<ActionLabel*>(label) && meaningful(window, label))
            labels.append(label);
    return labels;
}

// The caption nearest on the control's left, on its row.
QLabel* captionOf(const QList<QLabel*>& labels, const QWidget* control)
{
    QLabel* nearest = nullptr;
    for (QLabel* label : labels)
        if (onRowOf(label, control) && label->geometry().right() < control->x() &&
            (!nearest || label->x() > nearest->x()))
            nearest = label;
    return nearest;
}

// "(O)" after "Phone (H)" on one row reads "Phone (O)".
QString spokenCaption(const QList<QLabel*>& labels, const QLabel* caption)
{
    QString text = caption->text();
    if (text.startsWith(QLatin1Char('('))) {
        const QLabel* first = caption;
        for (QLabel* label : labels)
            if (onRowOf(label, caption) && label->x() < first->x())
                first = label;
        text = first->text().section(QStringLiteral(" ("), 0, 0) + QLatin1Char(' ') + text;
    }
    return spelledOut(text);
}

// Several controls after one caption: the parts of a date, or numbered.
QString partName(int index, int count)
{
    static const QStringList dateParts{QStringLiteral("day"), QStringLiteral("month"),
                                       QStringLiteral("year")};
    return count == dateParts.size() ? dateParts[index] : QString::number(index + 1);
}

bool takesEntry(const QWidget* control)
{
    return (control->focusPolicy() & Qt::TabFocus) && !qobject_cast<const QAbstractButton*>(control) &&
           !qobject_cast<const QLabel*>(control);
}

} // namespace

void install()
{
    QAccessible::installFactory(interfaceFor);
}

void nameControls(QWidget* window)
{
    const QList<QLabel*> labels = captions(window);
    QMap<QLabel*, QList<QWidget*>> captioned;
    for (QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (takesEntry(control) && control->accessibleName().isEmpty())
            if (QLabel* caption = captionOf(labels, control))
                captioned[caption].append(control);
    for (auto [caption, controls] : captioned.asKeyValueRange()) {
        std::ranges::sort(controls, {}, &QWidget::x);
        caption->setBuddy(controls.first()); // the labelled-by relation
        const QString name = spokenCaption(labels, caption);
        for (int index = 0; index < controls.size(); ++index) {
            QWidget* control = controls[index];
            control->setAccessibleName(controls.size() == 1 ? name
                                                            : name + QStringLiteral(", ") +
                                                                  partName(index, int(controls.size())));
            if (auto* list = qobject_cast<QComboBox*>(control); list && list->lineEdit())
                list->lineEdit()->setAccessibleName(control->accessibleName());
        }
    }
    // A button that shows only a picture is named by its tooltip.
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        if (button->text().isEmpty() && button->accessibleName().isEmpty() && !button->toolTip().isEmpty())
            button->setAccessibleName(button->toolTip());
}

} // namespace ui::accessibility
