#include "data/ContactBook.h"

#include "data/Connection.h"
#include "data/DataError.h"
#include "data/Query.h"
#include "data/RecordSet.h"
#include "data/Schema.h"
#include "data/Statements.h"

#include <QSqlError>

namespace data {

namespace c = schema::columns;

namespace {
QString columnList()
{
    QStringList names;
    for (const ContactColumn& column : contactColumns)
        names << quotedName(column.name);
    return names.join(QLatin1String(", "));
}
} // namespace

ContactBook::ContactBook(Connection& connection, const QString& user)
    : m_connection(connection), m_user(user), m_contains(connection.database()), m_add(connection.database())
{
    const QString main = quotedName(schema::main);
    m_contains.prepare(QLatin1String("select 1 from ") + main + QLatin1String(" where ") +
                       quotedName(c::user) + QLatin1String(" = ? and ") + quotedName(c::firstName) +
                       QLatin1String(" = ? and ") + quotedName(c::secondName) +
                       QLatin1String(" = ? limit 1"));
    QStringList marks(contactColumns.size() + 1, QStringLiteral("?"));
    m_add.prepare(QLatin1String("insert into ") + main + QLatin1String(" (") + quotedName(c::user) +
                  QLatin1String(", ") + columnList() + QLatin1String(") values (") +
                  marks.join(QLatin1String(", ")) + QLatin1Char(')'));
}

qint64 ContactBook::count() const
{
    QSqlQuery query(m_connection.database());
    run(query,
        QLatin1String("select count(*) from ") + quotedName(schema::main) + QLatin1String(" where ") +
            quotedName(c::user) + QLatin1String(" = ?"),
        {m_user});
    return query.next() ? query.value(0).toLongLong() : 0;
}

ContactCursor ContactBook::inWindowOrder() const
{
    const Select select = statements::contactsOf(m_user);
    std::unique_ptr<Query> query =
        Query::prepare(m_connection, select.rowsSql(m_connection.dialect(), columnList()));
    query->bind(select.boundValues());
    return ContactCursor(std::move(query));
}

bool ContactCursor::next(Contact& contact)
{
    if (!m_query->step())
        return false;
    for (int i = 0; i < static_cast<int>(contactColumns.size()); ++i)
        contact.*contactColumns[i].member = m_query->value(i).toString();
    return true;
}

bool ContactBook::contains(const QString& firstName, const QString& secondName) const
{
    m_contains.addBindValue(m_user);
    m_contains.addBindValue(storedValue(firstName));
    m_contains.addBindValue(storedValue(secondName));
    if (!m_contains.exec())
        throw DataError(m_contains.lastError().text());
    const bool found = m_contains.next();
    m_contains.finish();
    return found;
}

void ContactBook::add(const Contact& contact)
{
    m_add.addBindValue(m_user);
    for (const ContactColumn& column : contactColumns)
        m_add.addBindValue(storedValue(contact.*column.member));
    if (!m_add.exec())
        throw DataError(m_add.lastError().text());
}

} // namespace data
