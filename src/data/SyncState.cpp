#include "data/SyncState.h"

#include "data/Connection.h"
#include "data/DataError.h"
#include "data/Engine.h"
#include "data/Query.h"
#include "data/Schema.h"
#include "data/Statements.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

namespace data {

namespace c = schema::columns;

namespace {

QString q(QLatin1String column)
{
    return quotedName(column);
}

// "where user = ? and addressBook = ?": a person's rows of one address book.
QString ofBook()
{
    return QLatin1String(" where ") + q(c::user) + QLatin1String(" = ? and ") + q(c::addressBook) +
           QLatin1String(" = ?");
}

} // namespace

SyncState::SyncState(Connection& connection, const QString& user, const QString& addressBook)
    : m_connection(connection), m_user(user), m_addressBook(addressBook)
{
}

void SyncState::ensureTables(Connection& connection)
{
    const QSqlDatabase db = connection.database();
    if (schema::tableExists(db, schema::syncBooks) && schema::tableExists(db, schema::syncCards))
        return;
    if (connection.engine() == Engine::PostgreSQL)
        throw DataError(QStringLiteral("The server book has no place for the sync's state yet: its "
                                       "administrator runs vantrel-createdb --server once more."));
    schema::createSyncTables(db);
}

std::optional<SyncState::LastBook> SyncState::lastBook(Connection& connection, const QString& user)
{
    if (!schema::tableExists(connection.database(), schema::syncBooks))
        return std::nullopt;
    QSqlQuery query(connection.database());
    run(connection, query,
        QLatin1String("select ") + q(c::addressBook) + QLatin1String(", ") + q(c::davUser) +
            QLatin1String(" from ") + quotedName(schema::syncBooks) + QLatin1String(" where ") + q(c::user) +
            QLatin1String(" = ? order by ") + q(c::lastSync) + QLatin1String(" desc limit 1"),
        {user});
    if (!query.next())
        return std::nullopt;
    return LastBook{query.value(0).toString(), query.value(1).toString()};
}

QString SyncState::syncToken() const
{
    QSqlQuery query(m_connection.database());
    run(m_connection, query,
        QLatin1String("select ") + q(c::syncToken) + QLatin1String(" from ") + quotedName(schema::syncBooks) +
            ofBook(),
        {m_user, m_addressBook});
    return query.next() ? query.value(0).toString() : QString();
}

QHash<QString, SyncState::Card> SyncState::cards() const
{
    std::unique_ptr<Query> query = Query::prepare(
        m_connection, QLatin1String("select ") + q(c::uid) + QLatin1String(", ") + q(c::href) +
                          QLatin1String(", ") + q(c::etag) + QLatin1String(", ") + q(c::digest) +
                          QLatin1String(" from ") + quotedName(schema::syncCards) + ofBook());
    query->bind({m_user, m_addressBook});
    QHash<QString, Card> cards;
    while (query->step()) {
        cards.insert(query->value(0).toString(),
                     Card{query->value(1).toString(), query->value(2).toString().toUtf8(),
                          query->value(3).toString().toUtf8()});
    }
    return cards;
}

void SyncState::setSyncToken(const QString& token, const QString& davUser)
{
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    QSqlQuery query(m_connection.database());
    run(m_connection, query,
        QLatin1String("update ") + quotedName(schema::syncBooks) + QLatin1String(" set ") + q(c::syncToken) +
            QLatin1String(" = ?, ") + q(c::davUser) + QLatin1String(" = ?, ") + q(c::lastSync) +
            QLatin1String(" = ?") + ofBook(),
        {token, davUser, now, m_user, m_addressBook});
    if (query.numRowsAffected() > 0)
        return;
    run(m_connection, query,
        QLatin1String("insert into ") + quotedName(schema::syncBooks) + QLatin1String(" (") + q(c::user) +
            QLatin1String(", ") + q(c::addressBook) + QLatin1String(", ") + q(c::davUser) +
            QLatin1String(", ") + q(c::syncToken) + QLatin1String(", ") + q(c::lastSync) +
            QLatin1String(") values (?, ?, ?, ?, ?)"),
        {m_user, m_addressBook, davUser, token, now});
}

void SyncState::setCard(const QString& uid, const Card& card, bool recorded)
{
    // Prepared once: a first sync records every card of the book.
    if (m_preparedGeneration != m_connection.generation()) {
        m_updateCard = QSqlQuery(m_connection.database());
        m_insertCard = QSqlQuery(m_connection.database());
        prepare(m_updateCard, QLatin1String("update ") + quotedName(schema::syncCards) +
                                  QLatin1String(" set ") + q(c::href) + QLatin1String(" = ?, ") + q(c::etag) +
                                  QLatin1String(" = ?, ") + q(c::digest) + QLatin1String(" = ?") + ofBook() +
                                  QLatin1String(" and ") + q(c::uid) + QLatin1String(" = ?"));
        prepare(m_insertCard, QLatin1String("insert into ") + quotedName(schema::syncCards) +
                                  QLatin1String(" (") + q(c::href) + QLatin1String(", ") + q(c::etag) +
                                  QLatin1String(", ") + q(c::digest) + QLatin1String(", ") + q(c::user) +
                                  QLatin1String(", ") + q(c::addressBook) + QLatin1String(", ") + q(c::uid) +
                                  QLatin1String(") values (?, ?, ?, ?, ?, ?)"));
        m_preparedGeneration = m_connection.generation();
    }
    const QVariantList values{
        card.href, QString::fromUtf8(card.etag), QString::fromUtf8(card.digest), m_user, m_addressBook, uid};
    QSqlQuery& statement = recorded ? m_updateCard : m_insertCard;
    for (int i = 0; i < values.size(); ++i)
        statement.bindValue(i, values[i]);
    if (!statement.exec()) {
        m_connection.noteFailure();
        throw DataError(statement.lastError().text());
    }
}

void SyncState::prepare(QSqlQuery& query, const QString& sql)
{
    if (!query.prepare(sql)) {
        m_connection.noteFailure();
        throw DataError(query.lastError().text());
    }
}

void SyncState::forgetCard(const QString& uid)
{
    m_connection.execute(QLatin1String("delete from ") + quotedName(schema::syncCards) + ofBook() +
                             QLatin1String(" and ") + q(c::uid) + QLatin1String(" = ?"),
                         {m_user, m_addressBook, uid});
}

} // namespace data
