#pragma once

#include "contacts/ContactFields.h"
#include "ui/Form.h"

#include <memory>
#include <vector>

namespace Ui {
class frmDetails;
}
namespace data {
class ContactStore;
class RecordSet;
} // namespace data
class QToolButton;

// The contact window: the current user's contacts, one at a time.
class frmDetails final : public ui::DesignedForm<Ui::frmDetails>
{
    Q_OBJECT
public:
    frmDetails();
    ~frmDetails() override;

    // The window-level state, for tests and tools that drive the window.
    data::RecordSet* contacts() const { return rsContacts.get(); }
    bool isAdding() const { return IsAdding; }
    bool isModifying() const { return IsModifying; }

protected:
    void wireControls() override;
    void Form_Load() override;
    void Form_Unload() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void lblQuit_Click();
    // The change of user itself; its label runs it too.
    void cmdUser_Click();

    // Groups of controls switched on and off together.
    std::array<QToolButton*, 4> navigationButtons() const; // first, next, last, previous
    void DisableNavigation();
    void EnableNavigation();
    void RefreshNavigation();
    void LockFields();
    void UnlockFields();
    void setEditingActions(bool enabled); // AddNew, Modify, Search, Print and their twins

    // Between the current record and the controls (RecordMapping.cpp).
    void ShowRecord();
    void StoreFields();
    void ClearFields();

    // Record navigation (Navigation.cpp).
    void cmdFirst_Click();
    void cmdPrev_Click();
    void cmdNext_Click();
    void cmdLast_Click();
    void redrawAfterMove();

    // Category choice (CategoryLists.cpp).
    void cbCategory_Click();

    // Editing (Editing.cpp).
    void lblAddNew_Click();
    void lblModify_Click();
    void lblCancel_Click();
    void lblClear_Click();

    // Entry checks (Validation.cpp).
    bool ValidateEntries();
    static void DigitsOnly(int& keyAscii);
    bool numberBoxKeyPress(QEvent* event);

    // Saving (Saving.cpp).
    void lblSave_Click();
    bool isDuplicateOfExistingContact();

    // Search and print (Search.cpp, PrintStaging.cpp).
    void lblSearch_Click();
    void lblViewDetails_Click();
    void lblPrint_Click();

    std::vector<contacts::BoundField> fields;

    // Window-level state: survives an unload of the window. The set adds
    // contacts through the store, which outlives it.
    std::unique_ptr<data::ContactStore> contactStore;
    std::unique_ptr<data::RecordSet> rsContacts;
    bool IsAdding = false;
    bool IsModifying = false;
};
