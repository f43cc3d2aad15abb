#pragma once

#include "data/Schema.h"

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

// A number box takes digits only and, when a contact is saved, at most
// `longest` of them; the boxes are checked in the order of `step`.
struct NumberRule
{
    int longest = 0;
    int step = 0;
    const char* tooLong = nullptr;
};

struct ContactField
{
    QLatin1String column;
    const char* control; // the entry control's name in the window
    ControlKind kind;
    NumberRule number = {};

    bool isNumberBox() const { return number.longest > 0; }
};

namespace detail {
namespace c = data::schema::columns;
using enum ControlKind;
constexpr NumberRule phoneRule(int step)
{
    return {7, step, "Please Enter Phone Number in 7 digits"};
}
} // namespace detail

// Which column each entry control of the contact window feeds and shows, in
// the order the columns are shown and stored (all but `user`). Clearing,
// showing, storing, locking and the number checks all go by this table.
inline constexpr std::array<ContactField, 22> contactFields{{
    {detail::c::category, "cbCategory", detail::EditableList},
    {detail::c::subCategory, "cbSubCategory", detail::EditableList},
    {detail::c::firstName, "txtFirstName", detail::TextBox},
    {detail::c::secondName, "txtLastName", detail::TextBox},
    {detail::c::address, "txtAddress", detail::TextBox},
    {detail::c::phone, "txtPhone1", detail::TextBox, detail::phoneRule(1)},
    {detail::c::phone2, "txtPhone2", detail::TextBox, detail::phoneRule(2)},
    {detail::c::mobile, "txtMobile", detail::TextBox, {10, 5, "Please Enter Mobile Number in 10 digits"}},
    {detail::c::fax, "txtFax", detail::TextBox, {10, 7, "Please Enter Fax Number in 10 digits"}},
    {detail::c::dobDate, "cbDOBDate", detail::FixedList},
    {detail::c::dobMonth, "cbDOBMonth", detail::FixedList},
    {detail::c::dobYear, "cbDOBYear", detail::EditableList},
    {detail::c::aniDate, "cbANIDate", detail::FixedList},
    {detail::c::aniMonth, "cbANIMonth", detail::FixedList},
    {detail::c::aniYear, "cbANIYear", detail::EditableList},
    {detail::c::addressOff, "txtAddressOffice", detail::TextBox},
    {detail::c::phoneOff, "txtPhone1Office", detail::TextBox, detail::phoneRule(3)},
    {detail::c::phone2Off, "txtPhone2Office", detail::TextBox, detail::phoneRule(4)},
    {detail::c::mobileOff,
     "txtMobileOffice",
     detail::TextBox,
     {10, 6, "Please Enter Mobile Number in 10 digits"}},
    {detail::c::faxOff, "txtFaxOffice", detail::TextBox, {10, 8, "Please Enter Fax Number in 10 digits"}},
    {detail::c::EMailH, "txtEMailH", detail::TextBox},
    {detail::c::EMailO, "txtEMailO", detail::TextBox},
}};

// The table's controls in one loaded window.
class BoundField
{
public:
    BoundField(const ContactField& field, QWidget* control) : m_field(&field), m_control(control) {}

    const ContactField& field() const { return *m_field; }
    QWidget* control() const { return m_control; }

    QString text() const;
    // A list-only drop-down selects the equal item; a text not in its list
    // leaves the selection as it was and returns false.
    bool setText(const QString& text) const;
    // Empty text, and no item chosen (a list-only drop-down: its blank item 0).
    void clear() const;

private:
    const ContactField* m_field;
    QWidget* m_control;
};

// Binds every row of the table to the control of that name in the window.
std::vector<BoundField> bindFields(const QWidget* window);

} // namespace contacts
