// Save: a new contact after AddNew, the shown contact's changes after Modify.
#include "contacts/frmDetails.h"

#include "data/ContactStore.h"
#include "data/DataError.h"
#include "data/RecordSet.h"
#include "ui/Failure.h"
#include "ui/MessageBox.h"
#include "ui_frmDetails.h"

namespace {
const QString cancellingTransaction = QStringLiteral("Cancelling Transaction...........");
const QString changedElsewhere =
    QStringLiteral("This contact was changed elsewhere since it was shown here. Your changes were not "
                   "saved, so as not to undo that change; they are still on the screen.\n"
                   "Cancel shows the contact as it is stored now.");
} // namespace

// Leaves the set on the first contact, in the set's order, that the duplicate
// rule finds for the typed names; else at EOF.
bool frmDetails::isDuplicateOfExistingContact()
{
    if (!rsContacts->bof() && !rsContacts->eof())
        rsContacts->moveFirst();
    rsContacts->find(data::ContactStore::sameName(ui->txtFirstName->text(), ui->txtLastName->text()));
    return !rsContacts->eof();
}

void frmDetails::lblSave_Click()
{
    if (!ValidateEntries())
        return;

    try {
        if (IsAdding) {
            if (isDuplicateOfExistingContact()) {
                ui::MessageBox::show(QStringLiteral("Record Already Exist"));
                lblCancel_Click();
                ShowRecord();
                return;
            }
            rsContacts->addNew();
            StoreFields();
            try {
                rsContacts->update();
            } catch (const data::AlreadyExists&) {
                // Another workstation stored these names a moment ago: the same
                // refusal, with the last contact of this window shown.
                rsContacts->cancelUpdate();
                ui::MessageBox::show(QStringLiteral("Record Already Exist"));
                if (rsContacts->recordCount() > 0)
                    rsContacts->moveLast();
                lblCancel_Click();
                ShowRecord();
                return;
            }
            ui::MessageBox::show(QStringLiteral("Record Saved"));
        } else if (IsModifying) {
            if (rsContacts->bof() || rsContacts->eof()) {
                // An empty book has no contact to take the changes.
                ui::MessageBox::show(QStringLiteral("There is no contact to save the changes into."));
            } else {
                StoreFields();
                rsContacts->moveLast(); // stores the changed contact when it is not the last one
                rsContacts->update();
                ui::MessageBox::show(QStringLiteral("Record Saved"));
            }
        }
    } catch (const data::RowChanged&) {
        // Another workstation stored this contact after it was shown: what was
        // typed stays, in modifying, and nothing of the other's change is lost.
        rsContacts->cancelUpdate();
        throw ui::ShownFailure(changedElsewhere);
    } catch (const data::DataError& error) {
        // Nothing was stored (a locked or read-only file, a full disk): the
        // window stays in adding or modifying with everything typed, so Save
        // can simply be tried again.
        rsContacts->cancelUpdate();
        throw ui::ShownFailure(error.description() + QLatin1Char('\n') + cancellingTransaction);
    }

    ClearFields();
    if (rsContacts->recordCount() > 0) {
        rsContacts->moveLast();
        ShowRecord();
    }
    LockFields();
    RefreshNavigation();
    setEditingActions(true);
}
