// Print: stages the current contact in printDetails for a report made outside the program.
#include "contacts/frmDetails.h"

#include "session/Session.h"
#include "data/Connection.h"
#include "data/RecordSet.h"
#include "data/Schema.h"

void frmDetails::lblPrint_Click()
{
    data::Connection& connection = app::session().DbConnection();
    // The staged row is replaced in one step: never an empty table in between.
    data::Transaction replacing(connection);
    connection.execute(data::statements::emptyPrintDetails());
    data::RecordSet staging(connection, data::statements::printDetails());
    // Without a current contact there is nothing to stage: the table stays empty.
    if (rsContacts->hasCurrentRecord()) {
        staging.addNew();
        for (const QString& column : data::schema::contactColumns())
            staging.setValue(column, rsContacts->value(column));
        staging.update();
    }
    staging.close();
    replacing.commit();
}
