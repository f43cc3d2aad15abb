#include "data/ContactStore.h"

#include "data/Connection.h"
#include "data/DataError.h"
#include "data/Query.h"
#include "data/Schema.h"

#include <QSqlError>

namespace data {

namespace c = schema::columns;

namespace {

QString quotedList(const QStringList& columns)
{
    QStringList names;
    for (const QString& column : columns)
        names << quotedName(column);
    return names.join(QLatin1String(", "));
}

QString contactColumnList()
{
    return quotedList(contactColumnNames());
}

// A contact's value as bound: a null text is Null.
QVariant boundValue(const QString& text)
{
    return text.isNull() ? QVariant() : QVariant(text);
}

QVariant valueIn(const QList<Equality>& row, const QString& column)
{
    for (const Equality& value : row) {
        if (value.column.compare(column, Qt::CaseInsensitive) == 0)
            return value.value;
    }
    return {};
}

void readContact(const Query& query, Contact& contact)
{
    for (int i = 0; i < static_cast<int>(contactColumns.size()); ++i)
        contact.*contactColumns[size_t(i)].member = query.value(i).toString();
}

} // namespace

ContactRowWriter::ContactRowWriter(Connection& connection, const QStringList& columns)
    : m_connection(connection), m_insert(connection.database()),
      m_returnsKey(connection.engine() == Engine::PostgreSQL)
{
    const QStringList marks(columns.size(), QStringLiteral("?"));
    QString sql = QLatin1String("insert into ") + quotedName(schema::main) + QLatin1String(" (") +
                  quotedList(columns) + QLatin1String(") values (") + marks.join(QLatin1String(", ")) +
                  QLatin1Char(')');
    if (m_returnsKey)
        sql += QLatin1String(" returning ") + connection.dialect().key;
    if (!m_insert.prepare(sql)) {
        connection.noteFailure();
        throw DataError(m_insert.lastError().text());
    }
}

qint64 ContactRowWriter::write(const QVariantList& values)
{
    for (int i = 0; i < values.size(); ++i)
        m_insert.bindValue(i, values[i]);
    if (!m_insert.exec()) {
        m_connection.noteFailure();
        throw DataError(m_insert.lastError().text());
    }
    const qint64 key = m_returnsKey && m_insert.next() ? m_insert.value(0).toLongLong()
                                                       : m_insert.lastInsertId().toLongLong();
    m_insert.finish();
    return key;
}

ContactStore::ContactStore(Connection& connection, const QString& user)
    : m_connection(connection), m_user(user), m_select(statements::contactsOf(user)),
      m_hasUids(schema::hasUids(connection.database()))
{
}

QList<Equality> ContactStore::sameName(const QString& firstName, const QString& secondName)
{
    return {{c::firstName, storedValue(firstName)}, {c::secondName, storedValue(secondName)}};
}

qint64 ContactStore::count() const
{
    QSqlQuery query(m_connection.database());
    run(query,
        QLatin1String("select count(*) from ") + quotedName(schema::main) + QLatin1String(" where ") +
            quotedName(c::user) + QLatin1String(" = ?"),
        {m_user});
    return query.next() ? query.value(0).toLongLong() : 0;
}

ContactCursor ContactStore::inWindowOrder() const
{
    const QString uid = m_hasUids ? QLatin1String(", ") + quotedName(c::uid) : QString();
    std::unique_ptr<Query> query =
        Query::prepare(m_connection, select().rowsSql(m_connection.dialect(), contactColumnList() + uid));
    query->bind(select().boundValues());
    return ContactCursor(std::move(query), m_hasUids);
}

bool ContactCursor::next(Contact& contact, QString* uid)
{
    if (!m_query->step())
        return false;
    readContact(*m_query, contact);
    if (uid)
        *uid = m_withUids ? m_query->value(int(contactColumns.size())).toString() : QString();
    return true;
}

Query& ContactStore::lookup(const QList<Equality>& tests) const
{
    if (m_lookupGeneration != m_connection.generation()) {
        m_lookups.clear();
        m_lookupGeneration = m_connection.generation();
    }
    QString columns;
    for (const Equality& test : tests)
        columns += test.column + QLatin1Char(' ');
    std::unique_ptr<Query>& query = m_lookups[columns];
    // In the key's order: only the index made for these columns (which ends in the key) gives that
    // order by itself, so a server picks it whatever it knows of the table; without it, a book still
    // empty when the statement was first planned could be scanned for every contact of an import.
    if (!query)
        query = Query::prepare(m_connection, select().keysWhereSql(m_connection.dialect(), tests) +
                                                 QLatin1String(" order by ") + m_connection.dialect().key +
                                                 QLatin1String(" limit 1"));
    return *query;
}

bool ContactStore::found(const QList<Equality>& tests) const
{
    QVariantList values = select().boundValues();
    for (const Equality& test : tests)
        values << test.value;
    Query& query = lookup(tests);
    query.bind(values);
    const bool any = query.step();
    query.reset();
    return any;
}

bool ContactStore::contains(const QString& firstName, const QString& secondName) const
{
    return found(sameName(firstName, secondName));
}

bool ContactStore::containsUid(const QString& uid) const
{
    return m_hasUids && found({{c::uid, uid}});
}

ContactRowWriter& ContactStore::writerFor(const QStringList& columns)
{
    if (!m_writer || m_writerColumns != columns || m_writerGeneration != m_connection.generation()) {
        m_writer.reset();
        m_writer = std::make_unique<ContactRowWriter>(m_connection, columns);
        m_writerColumns = columns;
        m_writerGeneration = m_connection.generation();
    }
    return *m_writer;
}

std::pair<Added, qint64> ContactStore::insertGuarded(const QList<Equality>& row, const QString& uid)
{
    std::optional<Transaction> own;
    if (!m_connection.inTransaction())
        own.emplace(m_connection);
    m_connection.lockForInsert(select().insertLockKey());
    if (!uid.isEmpty() && containsUid(uid))
        return {Added::SameUid, -1};
    if (found(sameName(valueIn(row, c::firstName).toString(), valueIn(row, c::secondName).toString())))
        return {Added::SameName, -1};
    QStringList columns;
    QVariantList values;
    for (const Equality& value : row)
        columns << value.column, values << value.value;
    const qint64 key = writerFor(columns).write(values);
    if (own)
        own->commit();
    return {Added::Inserted, key};
}

Added ContactStore::add(const Contact& contact, const QString& uid)
{
    QList<Equality> row{{c::user, m_user}};
    for (const ContactColumn& column : contactColumns)
        row.append({column.name, storedValue(contact.*column.member)});
    const bool withUid = m_hasUids && !uid.isEmpty();
    if (withUid)
        row.append({c::uid, uid});
    return insertGuarded(row, withUid ? uid : QString()).first;
}

std::optional<Contact> ContactStore::byUid(const QString& uid) const
{
    if (!m_hasUids)
        return std::nullopt;
    QSqlQuery query(m_connection.database());
    query.setForwardOnly(true);
    run(m_connection, query,
        QLatin1String("select ") + contactColumnList() + QLatin1String(" from ") + quotedName(schema::main) +
            QLatin1String(" where ") + quotedName(c::user) + QLatin1String(" = ? and ") + quotedName(c::uid) +
            QLatin1String(" = ? limit 1"),
        {m_user, uid});
    if (!query.next())
        return std::nullopt;
    return fromValues([&](const QString& column) { return query.value(column); });
}

Replaced ContactStore::replace(const QString& uid, const Contact& contact)
{
    std::optional<Transaction> own;
    if (!m_connection.inTransaction())
        own.emplace(m_connection);
    // The names are tested and written under the lock the inserts take.
    m_connection.lockForInsert(select().insertLockKey());
    const std::optional<Contact> stored = byUid(uid);
    if (!stored)
        return Replaced::Missing;
    const bool renamed = storedValue(stored->firstName) != storedValue(contact.firstName) ||
                         storedValue(stored->secondName) != storedValue(contact.secondName);
    if (renamed && contains(contact.firstName, contact.secondName))
        return Replaced::SameName;
    QStringList sets;
    QVariantList values;
    for (const ContactColumn& column : contactColumns) {
        sets << quotedName(column.name) + QLatin1String(" = ?");
        values << storedValue(contact.*column.member);
    }
    m_connection.execute(QLatin1String("update ") + quotedName(schema::main) + QLatin1String(" set ") +
                             sets.join(QLatin1String(", ")) + QLatin1String(" where ") + quotedName(c::user) +
                             QLatin1String(" = ? and ") + quotedName(c::uid) + QLatin1String(" = ?"),
                         values + QVariantList{m_user, uid});
    if (own)
        own->commit();
    return Replaced::Done;
}

bool ContactStore::remove(const QString& uid)
{
    if (!m_hasUids)
        return false;
    QSqlQuery query(m_connection.database());
    run(m_connection, query,
        QLatin1String("delete from ") + quotedName(schema::main) + QLatin1String(" where ") +
            quotedName(c::user) + QLatin1String(" = ? and ") + quotedName(c::uid) + QLatin1String(" = ?"),
        {m_user, uid});
    return query.numRowsAffected() > 0;
}

qint64 ContactStore::addRow(const QList<Equality>& row)
{
    const auto [added, key] = insertGuarded(row, QString());
    if (added != Added::Inserted)
        throw AlreadyExists();
    return key;
}

void ContactStore::stage(Connection& connection, const std::optional<Contact>& contact)
{
    // The staged row is replaced in one step: never an empty table in between.
    Transaction replacing(connection);
    connection.execute(statements::emptyPrintDetails());
    if (contact) {
        QVariantList values;
        for (const ContactColumn& column : contactColumns)
            values << boundValue((*contact).*column.member);
        const QStringList marks(values.size(), QStringLiteral("?"));
        connection.execute(QLatin1String("insert into ") + quotedName(schema::printDetails) +
                               QLatin1String(" (") + contactColumnList() + QLatin1String(") values (") +
                               marks.join(QLatin1String(", ")) + QLatin1Char(')'),
                           values);
    }
    replacing.commit();
}

std::optional<Contact> ContactStore::readStaged(Connection& connection)
{
    // A book made before Print was first used may lack the table: nothing staged.
    if (!schema::tableExists(connection.database(), schema::printDetails))
        return std::nullopt;
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    // Print keeps a single row; should a hand-made file hold more, the first is shown.
    run(query, QLatin1String("select ") + contactColumnList() + QLatin1String(" from ") +
                   quotedName(schema::printDetails) + QLatin1String(" limit 1"));
    if (!query.next()) {
        if (query.lastError().isValid())
            throw DataError(query.lastError().text());
        return std::nullopt;
    }
    Contact contact;
    for (int i = 0; i < static_cast<int>(contactColumns.size()); ++i)
        contact.*contactColumns[size_t(i)].member = query.value(i).toString();
    return contact;
}

Contact ContactStore::fromValues(const std::function<QVariant(const QString& column)>& valueOf)
{
    Contact contact;
    for (const ContactColumn& column : contactColumns) {
        const QVariant value = valueOf(column.name);
        // Empty text stays text, told apart from Null.
        contact.*column.member = value.isNull() ? QString() : storedValue(value.toString()).toString();
    }
    return contact;
}

} // namespace data
