// Copying a contact between the current record and the entry controls.
#include "contacts/frmDetails.h"

#include "app/clsConnection.h"
#include "data/DataError.h"
#include "data/RecordSet.h"
#include "ui_frmDetails.h"

using contacts::ContactField;
using contacts::ContactFields;

// A column that cannot be shown (Null, or no current record) leaves its control as it was.
void frmDetails::ShowRecord()
{
    for (const ContactField& field : fields.all()) {
        try {
            const QVariant value = rsContacts->value(field.column);
            if (value.isNull())
                continue;
            ContactFields::setText(field, value.toString());
        } catch (const data::DataError&) {
            continue;
        }
    }
}

// A column that cannot be written keeps its value; the caller stores the row.
void frmDetails::StoreFields()
{
    try {
        rsContacts->setValue(QStringLiteral("user"), clsConnection::CurrentUser);
    } catch (const data::DataError&) {
    }
    for (const ContactField& field : fields.all()) {
        try {
            rsContacts->setValue(field.column, ContactFields::text(field));
        } catch (const data::DataError&) {
            continue;
        }
    }
}

// An editable list loses its selection with its text, so that the arrow keys
// start again from the top; the sub-category items stay.
void frmDetails::ClearFields()
{
    ui->cbCategory->setCurrentIndex(-1);
    ui->cbCategory->setEditText(QString());
    ui->cbSubCategory->setCurrentIndex(-1);
    ui->cbSubCategory->setEditText(QString());
    for (QLineEdit* box : {ui->txtFirstName, ui->txtLastName})
        box->setText(QString());
    ui->txtAddress->setPlainText(QString());
    ui->txtAddressOffice->setPlainText(QString());
    for (QLineEdit* box : {ui->txtFax, ui->txtFaxOffice, ui->txtMobile, ui->txtMobileOffice, ui->txtPhone1,
                           ui->txtPhone2, ui->txtPhone2Office, ui->txtPhone1Office})
        box->setText(QString());
    for (QComboBox* list : {ui->cbDOBDate, ui->cbANIMonth, ui->cbDOBMonth, ui->cbANIDate})
        list->setCurrentIndex(0);
    for (QComboBox* list : {ui->cbDOBYear, ui->cbANIYear}) {
        list->setCurrentIndex(-1);
        list->setEditText(QString());
    }
    ui->txtEMailH->setText(QString());
    ui->txtEMailO->setText(QString());
}
