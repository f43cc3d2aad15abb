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

QString insertSql(bool withUid)
{
    const QString uid = withUid ? QLatin1String(", ") + quotedName(c::uid) : QString();
    const QStringList marks(contactColumns.size() + (withUid ? 2 : 1), QStringLiteral("?"));
    return QLatin1String("insert into ") + quotedName(schema::main) + QLatin1String(" (") +
           quotedName(c::user) + QLatin1String(", ") + columnList() + uid + QLatin1String(") values (") +
           marks.join(QLatin1String(", ")) + QLatin1Char(')');
}

void exec(QSqlQuery& query)
{
    if (!query.exec())
        throw DataError(query.lastError().text());
}
} // namespace

ContactBook::ContactBook(Connection& connection, const QString& user)
    : m_connection(connection), m_user(user), m_hasUids(schema::hasUids(connection.database())),
      m_contains(connection.database()), m_containsUid(connection.database()), m_add(connection.database()),
      m_addWithUid(connection.database())
{
    const QString lookUp = QLatin1String("select 1 from ") + quotedName(schema::main) +
                           QLatin1String(" where ") + quotedName(c::user) + QLatin1String(" = ? and ");
    m_contains.prepare(lookUp + quotedName(c::firstName) + QLatin1String(" = ? and ") +
                       quotedName(c::secondName) + QLatin1String(" = ? limit 1"));
    m_add.prepare(insertSql(false));
    if (m_hasUids) {
        m_containsUid.prepare(lookUp + quotedName(c::uid) + QLatin1String(" = ? limit 1"));
        m_addWithUid.prepare(insertSql(true));
    }
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
    const QString uid = m_hasUids ? QLatin1String(", ") + quotedName(c::uid) : QString();
    std::unique_ptr<Query> query =
        Query::prepare(m_connection, select.rowsSql(m_connection.dialect(), columnList() + uid));
    query->bind(select.boundValues());
    return ContactCursor(std::move(query), m_hasUids);
}

bool ContactCursor::next(Contact& contact, QString* uid)
{
    if (!m_query->step())
        return false;
    const int count = static_cast<int>(contactColumns.size());
    for (int i = 0; i < count; ++i)
        contact.*contactColumns[i].member = m_query->value(i).toString();
    if (uid)
        *uid = m_withUids ? m_query->value(count).toString() : QString();
    return true;
}

bool ContactBook::contains(const QString& firstName, const QString& secondName) const
{
    m_contains.addBindValue(m_user);
    m_contains.addBindValue(storedValue(firstName));
    m_contains.addBindValue(storedValue(secondName));
    exec(m_contains);
    const bool found = m_contains.next();
    m_contains.finish();
    return found;
}

bool ContactBook::containsUid(const QString& uid) const
{
    if (!m_hasUids)
        return false;
    m_containsUid.addBindValue(m_user);
    m_containsUid.addBindValue(uid);
    exec(m_containsUid);
    const bool found = m_containsUid.next();
    m_containsUid.finish();
    return found;
}

void ContactBook::add(const Contact& contact, const QString& uid)
{
    QSqlQuery& add = m_hasUids && !uid.isEmpty() ? m_addWithUid : m_add;
    add.addBindValue(m_user);
    for (const ContactColumn& column : contactColumns)
        add.addBindValue(storedValue(contact.*column.member));
    if (&add == &m_addWithUid)
        add.addBindValue(uid);
    exec(add);
}

} // namespace data
