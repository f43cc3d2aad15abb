#include "report/StagedContact.h"

#include "data/ContactStore.h"

namespace report {

std::optional<data::Contact> readStagedContact(data::Connection& connection)
{
    return data::ContactStore::readStaged(connection);
}

QString nothingStagedMessage()
{
    return QStringLiteral("No contact is staged for printing. Show a contact in Vantrel and choose Print.");
}

} // namespace report
