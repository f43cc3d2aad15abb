// Print: stages the current contact in printDetails for a report made outside the program.
#include "contacts/frmDetails.h"

#include "data/ContactStore.h"
#include "data/RecordSet.h"
#include "session/Session.h"

void frmDetails::lblPrint_Click()
{
    // Without a current contact there is nothing to stage: the table is emptied.
    std::optional<data::Contact> shown;
    if (rsContacts->hasCurrentRecord())
        shown = data::ContactStore::fromValues(
            [this](const QString& column) { return rsContacts->value(column); });
    data::ContactStore::stage(app::session().DbConnection(), shown);
}
