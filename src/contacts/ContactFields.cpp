#include "contacts/ContactFields.h"

#include "ui/MultiLineTextBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <stdexcept>

namespace contacts {

namespace {
// A value longer than its box shows its beginning, which is what identifies it
// (a box given a text shows its end, where the cursor goes).
void showFromStart(QLineEdit* box, const QString& text)
{
    box->setText(text);
    box->setCursorPosition(0);
}
} // namespace

QString FieldControl::tooLong() const
{
    return QStringLiteral("Please Enter %1 Number in %2 digits")
        .arg(QLatin1String(check.noun))
        .arg(column().digits);
}

QString BoundField::text() const
{
    if (auto* box = qobject_cast<QLineEdit*>(m_control))
        return box->text();
    if (auto* box = qobject_cast<ui::MultiLineTextBox*>(m_control))
        return box->text();
    return static_cast<QComboBox*>(m_control)->currentText();
}

bool BoundField::setText(const QString& text) const
{
    if (auto* box = qobject_cast<QLineEdit*>(m_control)) {
        showFromStart(box, text);
        return true;
    }
    if (auto* box = qobject_cast<ui::MultiLineTextBox*>(m_control)) {
        box->setText(text);
        return true;
    }
    auto* list = static_cast<QComboBox*>(m_control);
    const int item = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (m_field->kind == ControlKind::EditableList) {
        // The selection follows the text, so the arrow keys go on from the item shown.
        list->setCurrentIndex(item);
        showFromStart(list->lineEdit(), text);
        return true;
    }
    if (item < 0)
        return false;
    list->setCurrentIndex(item);
    return true;
}

void BoundField::clear() const
{
    if (m_field->kind == ControlKind::FixedList) {
        static_cast<QComboBox*>(m_control)->setCurrentIndex(0);
        return;
    }
    // An editable list loses its selection with its text, so the arrow keys
    // start again from the top; its items stay.
    if (auto* list = qobject_cast<QComboBox*>(m_control)) {
        list->setCurrentIndex(-1);
        list->setEditText(QString());
        return;
    }
    setText(QString());
}

std::vector<BoundField> bindFields(const QWidget* window)
{
    std::vector<BoundField> bound;
    bound.reserve(contactFields.size());
    for (const FieldControl& field : contactFields) {
        auto* control = window->findChild<QWidget*>(QLatin1String(field.control));
        if (!control)
            throw std::logic_error(std::string("the contact window has no control ") + field.control);
        bound.emplace_back(field, control);
    }
    return bound;
}

} // namespace contacts
