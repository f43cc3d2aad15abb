// AddNew, Modify, Cancel and Clear: moving between browsing and editing.
#include "contacts/frmDetails.h"

#include "ui_frmDetails.h"

void frmDetails::lblAddNew_Click()
{
    ClearFields();
    UnlockFields();
    ui->cbCategory->setFocus();
    setEditingActions(false);
    IsModifying = false;
    IsAdding = true;
    DisableNavigation();
}

void frmDetails::lblModify_Click()
{
    UnlockFields();
    setEditingActions(false);
    IsModifying = true;
    IsAdding = false;
}

void frmDetails::lblCancel_Click()
{
    // After any AddNew or Modify of the run the stored record is shown again.
    if (IsAdding || IsModifying)
        ShowRecord();
    else
        ClearFields();
    LockFields();
    EnableNavigation();
    setEditingActions(true);
}

void frmDetails::lblClear_Click()
{
    ClearFields();
}
