// Finding a contact by first name, or by first and second name.
#include "contacts/frmDetails.h"

#include "data/RecordSet.h"
#include "data/Schema.h"
#include "ui/MessageBox.h"
#include "ui_frmDetails.h"

namespace columns = data::schema::columns;

void frmDetails::lblSearch_Click()
{
    ClearFields();
    LockFields();
    ui->txtFirstName->setEnabled(true);
    ui->txtLastName->setEnabled(true);
    for (QWidget* label : std::initializer_list<QWidget*>{ui->lblAddNew, ui->lblModify, ui->lblSearch})
        label->setEnabled(false);
    ui->lblViewDetails->setEnabled(true);
    for (QWidget* label :
         std::initializer_list<QWidget*>{ui->lblSave, ui->lblChangeUser, ui->lblPrint, ui->lblClear})
        label->setEnabled(false);
}

void frmDetails::lblViewDetails_Click()
{
    const QString firstName = ui->txtFirstName->text();
    const QString secondName = ui->txtLastName->text();
    data::RecordSet& contacts = *rsContacts;

    if (firstName.isEmpty()) {
        ui::MessageBox::show(QStringLiteral("Please Enter First Name"));
    } else if (contacts.recordCount() > 0) {
        contacts.moveFirst();
        contacts.find(columns::firstName, firstName);
        if (!secondName.isEmpty()) {
            // The second name is looked for from the first-name match on.
            contacts.find(columns::secondName, secondName);
            if (!contacts.eof()) {
                const QVariant storedFirst = contacts.value(columns::firstName);
                const QVariant storedSecond = contacts.value(columns::secondName);
                const bool bothMatch = !storedFirst.isNull() && storedFirst.toString() == firstName &&
                                       !storedSecond.isNull() && storedSecond.toString() == secondName;
                if (!bothMatch)
                    contacts.moveLast();
            }
        }
    }

    if (contacts.eof()) {
        ui::MessageBox::show(QStringLiteral("No records found relating to this Criteria"));
        if (contacts.recordCount() > 0)
            contacts.moveLast();
    }
    ShowRecord();
    ui->txtFirstName->setEnabled(false);
    ui->txtLastName->setEnabled(false);
    for (QWidget* label : std::initializer_list<QWidget*>{ui->lblAddNew, ui->lblModify, ui->lblSearch})
        label->setEnabled(true);
    ui->lblViewDetails->setEnabled(false);
    for (QWidget* label :
         std::initializer_list<QWidget*>{ui->lblSave, ui->lblChangeUser, ui->lblPrint, ui->lblClear})
        label->setEnabled(true);
}
