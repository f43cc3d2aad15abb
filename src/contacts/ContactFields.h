#pragma once

#include "data/Contact.h"

#include <QLatin1String>
#include <QString>
#include <array>
#include <vector>

class QWidget;

namespace contacts {

// How a control holds a column's text.
enum class ControlKind
{
    TextBox,      // single- or multi-line text box: its text
    EditableList, // editable drop-down: its typed text
    FixedList     // list-only drop-down: the selected item's text
};

// A number box's place in the order the boxes are checked at Save, and the
// kind of number its refusal names.
struct NumberCheck
{
    int step = 0;
    const char* noun = nullptr;
};

// An entry control of the contact window and the contact's column it feeds
// and shows; the column's rules (a number box, its digits) are data's.
struct FieldControl
{
    data::ContactField member;
    const char* control; // the entry control's name in the window
    ControlKind kind;
    NumberCheck check = {};

    constexpr const data::ContactColumn& column() const { return data::columnOf(member); }
    constexpr bool isNumberBox() const { return column().isNumber(); }
    // What Save says of a number with too many digits.
    QString tooLong() const;
};

namespace detail {
using data::Contact;
using enum ControlKind;
constexpr NumberCheck phone(int step)
{
    return {step, "Phone"};
}
constexpr NumberCheck mobile(int step)
{
    return {step, "Mobile"};
}
constexpr NumberCheck fax(int step)
{
    return {step, "Fax"};
}
} // namespace detail

// The entry control of each column, in the columns' order. Clearing, showing,
// storing, locking and the number checks all go by this table.
inline constexpr std::array<FieldControl, 22> contactFields{{
    {&detail::Contact::category, "cbCategory", detail::EditableList},
    {&detail::Contact::subCategory, "cbSubCategory", detail::EditableList},
    {&detail::Contact::firstName, "txtFirstName", detail::TextBox},
    {&detail::Contact::secondName, "txtLastName", detail::TextBox},
    {&detail::Contact::address, "txtAddress", detail::TextBox},
    {&detail::Contact::phone, "txtPhone1", detail::TextBox, detail::phone(1)},
    {&detail::Contact::phone2, "txtPhone2", detail::TextBox, detail::phone(2)},
    {&detail::Contact::mobile, "txtMobile", detail::TextBox, detail::mobile(5)},
    {&detail::Contact::fax, "txtFax", detail::TextBox, detail::fax(7)},
    {&detail::Contact::dobDate, "cbDOBDate", detail::FixedList},
    {&detail::Contact::dobMonth, "cbDOBMonth", detail::FixedList},
    {&detail::Contact::dobYear, "cbDOBYear", detail::EditableList},
    {&detail::Contact::aniDate, "cbANIDate", detail::FixedList},
    {&detail::Contact::aniMonth, "cbANIMonth", detail::FixedList},
    {&detail::Contact::aniYear, "cbANIYear", detail::EditableList},
    {&detail::Contact::addressOff, "txtAddressOffice", detail::TextBox},
    {&detail::Contact::phoneOff, "txtPhone1Office", detail::TextBox, detail::phone(3)},
    {&detail::Contact::phone2Off, "txtPhone2Office", detail::TextBox, detail::phone(4)},
    {&detail::Contact::mobileOff, "txtMobileOffice", detail::TextBox, detail::mobile(6)},
    {&detail::Contact::faxOff, "txtFaxOffice", detail::TextBox, detail::fax(8)},
    {&detail::Contact::EMailH, "txtEMailH", detail::TextBox},
    {&detail::Contact::EMailO, "txtEMailO", detail::TextBox},
}};

namespace detail {
// Every column has its control, and every number box its place in the checks.
constexpr bool controlsFollowColumns()
{
    for (size_t i = 0; i < contactFields.size(); ++i) {
        const FieldControl& field = contactFields[i];
        if (field.member != data::contactColumns[i].member || field.isNumberBox() != (field.check.step > 0))
            return false;
    }
    return true;
}
static_assert(controlsFollowColumns());
} // namespace detail

// The table's controls in one loaded window.
class BoundField
{
public:
    BoundField(const FieldControl& field, QWidget* control) : m_field(&field), m_control(control) {}

    const FieldControl& field() const { return *m_field; }
    QWidget* control() const { return m_control; }

    QString text() const;
    // A list-only drop-down selects the equal item; a text not in its list
    // leaves the selection as it was and returns false.
    bool setText(const QString& text) const;
    // Empty text, and no item chosen (a list-only drop-down: its blank item 0).
    void clear() const;

private:
    const FieldControl* m_field;
    QWidget* m_control;
};

// Binds every row of the table to the control of that name in the window.
std::vector<BoundField> bindFields(const QWidget* window);

} // namespace contacts
