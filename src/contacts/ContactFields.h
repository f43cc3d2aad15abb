#pragma once

#include <QString>
#include <vector>

class QWidget;
namespace Ui {
class frmDetails;
}

namespace contacts {

// How a control holds a column's text.
enum class ControlKind
{
    TextBox,      // single- or multi-line text box: its text
    EditableList, // editable drop-down: its typed text
    FixedList     // list-only drop-down: the selected item's text
};

struct ContactField
{
    QString column;
    QWidget* control;
    ControlKind kind;
};

// Which column of a contact each entry control of the contact window feeds and
// shows, in the order the columns are shown and stored (all but `user`).
class ContactFields final
{
public:
    void bind(const Ui::frmDetails& ui);
    void unbind() { m_fields.clear(); }
    const std::vector<ContactField>& all() const { return m_fields; }

    static QString text(const ContactField& field);
    // A list-only drop-down selects the equal item; a text not in its list
    // leaves the selection as it was and returns false.
    static bool setText(const ContactField& field, const QString& text);

private:
    std::vector<ContactField> m_fields;
};

} // namespace contacts
