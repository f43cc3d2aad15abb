// Copying a contact between the current record and the entry controls.
#include "contacts/frmDetails.h"

#include "data/RecordSet.h"
#include "session/Session.h"

// Without a current record, or for a Null column, a control is left as it was.
void frmDetails::ShowRecord()
{
    if (!rsContacts->hasCurrentRecord())
        return;
    for (const contacts::BoundField& field : fields) {
        const QVariant value = rsContacts->value(field.field().column().name);
        if (!value.isNull())
            field.setText(value.toString());
    }
}

// Into the current record, which the caller makes current first and stores afterwards.
void frmDetails::StoreFields()
{
    if (!rsContacts->hasCurrentRecord())
        return;
    rsContacts->setValue(data::schema::columns::user, app::session().CurrentUser);
    for (const contacts::BoundField& field : fields)
        rsContacts->setValue(field.field().column().name, field.text());
}

void frmDetails::ClearFields()
{
    for (const contacts::BoundField& field : fields)
        field.clear();
}
