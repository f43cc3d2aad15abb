#include "report/StagedContact.h"

#include "data/Connection.h"
#include "data/DataError.h"
#include "data/Schema.h"
#include "data/Statements.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace report {

std::optional<data::Contact> readStagedContact(data::Connection& connection)
{
    QStringList columns;
    for (const data::ContactColumn& column : data::contactColumns)
        columns << data::quotedName(column.name);
    // A book made before Print was first used may lack the table: nothing staged.
    if (!connection.database().tables().contains(data::schema::printDetails, Qt::CaseInsensitive))
        return std::nullopt;
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    // Print keeps a single row; should a hand-made file hold more, the first is shown.
    data::run(query, QLatin1String("select ") + columns.join(QLatin1String(", ")) + QLatin1String(" from ") +
                         data::quotedName(data::schema::printDetails) + QLatin1String(" limit 1"));
    if (!query.next()) {
        if (query.lastError().isValid())
            throw data::DataError(query.lastError().text());
        return std::nullopt;
    }
    data::Contact contact;
    for (int i = 0; i < static_cast<int>(data::contactColumns.size()); ++i)
        contact.*data::contactColumns[i].member = query.value(i).toString();
    return contact;
}

QString nothingStagedMessage()
{
    return QStringLiteral("No contact is staged for printing. Show a contact in Vantrel and choose Print.");
}

} // namespace report
