// Print: stages the current contact in printDetails for a report made outside the program.
#include "contacts/frmDetails.h"

#include "app/clsConnection.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "data/RecordSet.h"
#include "data/Schema.h"

void frmDetails::lblPrint_Click()
{
    data::Connection& connection = clsConnection::DbConnection();
    // The staged row is replaced in one step: never an empty table in between.
    data::Transaction replacing(connection);
    connection.execute(data::statements::emptyPrintDetails());
    data::RecordSet staging(connection, data::statements::printDetails());

    // From here on a failing step is skipped and the next one runs.
    int copied = 0;
    try {
        staging.addNew();
        for (const QString& column : data::schema::contactColumns()) {
            try {
                staging.setValue(column, rsContacts->value(column));
                ++copied;
            } catch (const data::DataError&) {
                continue;
            }
        }
        if (copied > 0) // without a current contact there is nothing to stage
            staging.update();
    } catch (const data::DataError&) {
    }
    staging.close();
    replacing.commit();
}
