#include "contacts/ContactFields.h"

#include "ui/MultiLineTextBox.h"
#include "ui_frmDetails.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace contacts {

void ContactFields::bind(const Ui::frmDetails& ui)
{
    using enum ControlKind;
    m_fields = {
        {QStringLiteral("category"), ui.cbCategory, EditableList},
        {QStringLiteral("subCategory"), ui.cbSubCategory, EditableList},
        {QStringLiteral("firstName"), ui.txtFirstName, TextBox},
        {QStringLiteral("secondName"), ui.txtLastName, TextBox},
        {QStringLiteral("address"), ui.txtAddress, TextBox},
        {QStringLiteral("phone"), ui.txtPhone1, TextBox},
        {QStringLiteral("phone2"), ui.txtPhone2, TextBox},
        {QStringLiteral("mobile"), ui.txtMobile, TextBox},
        {QStringLiteral("fax"), ui.txtFax, TextBox},
        {QStringLiteral("dobDate"), ui.cbDOBDate, FixedList},
        {QStringLiteral("dobMonth"), ui.cbDOBMonth, FixedList},
        {QStringLiteral("dobYear"), ui.cbDOBYear, EditableList},
        {QStringLiteral("aniDate"), ui.cbANIDate, FixedList},
        {QStringLiteral("aniMonth"), ui.cbANIMonth, FixedList},
        {QStringLiteral("aniYear"), ui.cbANIYear, EditableList},
        {QStringLiteral("addressOff"), ui.txtAddressOffice, TextBox},
        {QStringLiteral("phoneOff"), ui.txtPhone1Office, TextBox},
        {QStringLiteral("phone2Off"), ui.txtPhone2Office, TextBox},
        {QStringLiteral("mobileOff"), ui.txtMobileOffice, TextBox},
        {QStringLiteral("faxOff"), ui.txtFaxOffice, TextBox},
        {QStringLiteral("EMailH"), ui.txtEMailH, TextBox},
        {QStringLiteral("EMailO"), ui.txtEMailO, TextBox},
    };
}

QString ContactFields::text(const ContactField& field)
{
    if (auto* box = qobject_cast<QLineEdit*>(field.control))
        return box->text();
    if (auto* box = qobject_cast<QPlainTextEdit*>(field.control))
        return box->toPlainText();
    return static_cast<QComboBox*>(field.control)->currentText();
}

bool ContactFields::setText(const ContactField& field, const QString& text)
{
    if (auto* box = qobject_cast<QLineEdit*>(field.control)) {
        box->setText(text);
        return true;
    }
    if (auto* box = qobject_cast<ui::MultiLineTextBox*>(field.control)) {
        box->setText(text);
        return true;
    }
    auto* list = static_cast<QComboBox*>(field.control);
    if (field.kind == ControlKind::EditableList) {
        // The selection follows the text, so the arrow keys go on from the item shown.
        list->setCurrentIndex(list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
        list->setEditText(text);
        return true;
    }
    const int item = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item < 0)
        return false;
    list->setCurrentIndex(item);
    return true;
}

} // namespace contacts
