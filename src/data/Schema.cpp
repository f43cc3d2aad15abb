#include "data/Schema.h"

#include "data/Contact.h"

#include "data/DataError.h"
#include "data/Engine.h"
#include "data/Statements.h"

#include <QSqlError>
#include <QSqlQuery>

namespace data::schema {

QStringList contactOrder()
{
    return {columns::category, columns::firstName};
}

QStringList userMasterColumns()
{
    return {columns::user, columns::password};
}

QStringList mainColumns()
{
    return QStringList{columns::user} + contactColumnNames();
}

QStringList syncBooksColumns()
{
    return {columns::user, columns::addressBook, columns::davUser, columns::syncToken, columns::lastSync};
}

QStringList syncCardsColumns()
{
    return {columns::user, columns::addressBook, columns::uid, columns::href, columns::etag, columns::digest};
}

namespace {

struct Index
{
    QString name;
    QString table;
    QStringList columns;
};

// The contact window lists a user's keys in its order; its searches and the
// duplicate test look up names and want the matches in that same order; an
// import tests every contact's names; login looks up one user.
QList<Index> indexes()
{
    const QStringList user{columns::user};
    return {
        {QStringLiteral("ix_main_by_order"), main, user + contactOrder()},
        {QStringLiteral("ix_main_by_first_name"), main,
         user + QStringList{columns::firstName} + contactOrder()},
        {QStringLiteral("ix_main_by_second_name"), main,
         user + QStringList{columns::secondName} + contactOrder()},
        // The duplicate test of an import: one seek per contact, however common the names.
        {QStringLiteral("ix_main_by_names"), main,
         user + QStringList{columns::firstName, columns::secondName}},
        // An import looks each card's UID up first.
        {QStringLiteral("ix_main_by_uid"), main, user + QStringList{columns::uid}},
        {QStringLiteral("ix_userMaster_by_user"), userMaster, user},
        // A sync reads and writes one person's cards of one address book.
        {QStringLiteral("ix_syncCards_by_uid"), syncCards,
         user + QStringList{columns::addressBook, columns::uid}},
        {QStringLiteral("ix_syncBooks_by_book"), syncBooks, user + QStringList{columns::addressBook}},
    };
}

QSqlQuery run(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        throw DataError(query.lastError().text());
    return query;
}

// On the server every table also has the identity column that finds a row
// again (SQLite's rowid does that on the file), and text is compared and
// sorted byte by byte, as the file does.
QString createTableSql(const QSqlDatabase& db, const QString& table, const QStringList& columns)
{
    const bool server = engineOf(db) == Engine::PostgreSQL;
    QStringList defs;
    if (server)
        defs << dialectOf(Engine::PostgreSQL).key +
                    QLatin1String(" bigint generated always as identity primary key");
    for (const QString& column : columns)
        defs << quotedName(column) + QLatin1String(server ? " text collate \"C\"" : " text");
    return QLatin1String("create table ") + quotedName(table) + QLatin1String(" (") +
           defs.join(QLatin1String(", ")) + QLatin1Char(')');
}

QStringList indexNames(const QSqlDatabase& db)
{
    QSqlQuery existing =
        run(db, engineOf(db) == Engine::PostgreSQL
                    ? QStringLiteral("select indexname from pg_indexes where schemaname = current_schema()")
                    : QStringLiteral("select name from sqlite_master where type = 'index'"));
    QStringList names;
    while (existing.next())
        names << existing.value(0).toString();
    return names;
}

// A random (version 4) UUID as a URN, the form vCard 4.0 gives a UID; SQLite
// evaluates it anew for each row.
const QLatin1String
    fileNewUid("'urn:uuid:' || lower(hex(randomblob(4))) || '-' || lower(hex(randomblob(2))) || '-4' || "
               "substr(lower(hex(randomblob(2))), 2) || '-' || substr('89ab', 1 + (random() & 3), 1) || "
               "substr(lower(hex(randomblob(2))), 2) || '-' || lower(hex(randomblob(6)))");

// The file: the column, every row's UID, then the trigger that gives one to
// each row inserted without; the trigger comes last, so while it is there the
// rest is done. One savepoint: all of it or nothing, also inside a transaction.
void ensureFileUids(const QSqlDatabase& db)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("select 1 from sqlite_master where type = 'trigger' and name = ?"));
    query.addBindValue(QStringLiteral("main_gets_uid"));
    if (query.exec() && query.next())
        return;
    const QString table = quotedName(main);
    const QString uid = quotedName(columns::uid);
    QStringList steps{QStringLiteral("savepoint add_uids")};
    if (!hasUids(db))
        steps << QLatin1String("alter table ") + table + QLatin1String(" add column ") + uid +
                     QLatin1String(" text");
    steps << QLatin1String("update ") + table + QLatin1String(" set ") + uid + QLatin1String(" = ") +
                 fileNewUid + QLatin1String(" where ") + uid + QLatin1String(" is null")
          << QLatin1String("create trigger main_gets_uid after insert on ") + table +
                 QLatin1String(" for each row when new.") + uid + QLatin1String(" is null begin update ") +
                 table + QLatin1String(" set ") + uid + QLatin1String(" = ") + fileNewUid +
                 QLatin1String(" where rowid = new.rowid; end")
          << QStringLiteral("release add_uids");
    for (const QString& step : std::as_const(steps)) {
        if (!query.exec(step)) {
            const QString reason = query.lastError().text();
            query.exec(QStringLiteral("rollback to add_uids"));
            query.exec(QStringLiteral("release add_uids"));
            throw DataError(QStringLiteral("Could not give the contacts their UIDs: %1").arg(reason));
        }
    }
}

} // namespace

bool tableExists(const QSqlDatabase& db, const QString& table)
{
    // Asked of the catalogue, which every role may read, whatever it may do with the table.
    QSqlQuery query(db);
    query.prepare(
        engineOf(db) == Engine::PostgreSQL
            ? QStringLiteral("select 1 from pg_catalog.pg_class where relname = ? and relkind in "
                             "('r', 'p') and relnamespace = (select oid from pg_catalog.pg_namespace where "
                             "nspname = pg_catalog.current_schema())")
            : QStringLiteral("select 1 from sqlite_master where type = 'table' and name = ? collate "
                             "nocase"));
    query.addBindValue(table);
    if (!query.exec())
        throw DataError(query.lastError().text());
    return query.next();
}

QStringList columnNames(const QSqlDatabase& db, const QString& table)
{
    QSqlQuery query(db);
    const bool server = engineOf(db) == Engine::PostgreSQL;
    const bool prepared =
        query.prepare(server ? QStringLiteral("select column_name from information_schema.columns where "
                                              "table_schema = current_schema() and table_name = ? "
                                              "order by ordinal_position")
                             : QLatin1String("pragma table_info(") + quotedName(table) + QLatin1Char(')'));
    if (server)
        query.addBindValue(table);
    if (!prepared || !query.exec())
        throw DataError(query.lastError().text());
    const int nameColumn = server ? 0 : 1;
    QStringList names;
    while (query.next())
        names << query.value(nameColumn).toString();
    return names;
}

void verify(const QSqlDatabase& db)
{
    // Only the accounts and the contacts are needed to work at all; a file
    // without the staging table still logs in, browses and saves, and fails at
    // Print with the engine's own text.
    const std::pair<QString, QStringList> tables[] = {{userMaster, userMasterColumns()},
                                                      {main, mainColumns()}};
    const bool server = engineOf(db) == Engine::PostgreSQL;
    for (const auto& [table, columns] : tables) {
        const QStringList present = columnNames(db, table);
        // On a server a role sees the columns of the tables it may use only;
        // the gate uses none and a person no accounts.
        if (present.isEmpty() && server && tableExists(db, table))
            continue;
        if (present.isEmpty())
            throw DataError(QStringLiteral("The database has no table '%1'.").arg(table));
        for (const QString& column : columns) {
            if (!present.contains(column, Qt::CaseInsensitive))
                throw DataError(QStringLiteral("Table '%1' has no column '%2'.").arg(table, column));
        }
    }
}

bool hasUids(const QSqlDatabase& db)
{
    return columnNames(db, main).contains(columns::uid, Qt::CaseInsensitive);
}

void ensureUids(const QSqlDatabase& db)
{
    if (engineOf(db) != Engine::PostgreSQL) {
        ensureFileUids(db);
        return;
    }
    if (hasUids(db))
        return;
    // A volatile default: each row there already gets a value of its own as
    // the column is added, and each row inserted later without one too.
    run(db, QLatin1String("alter table ") + quotedName(main) + QLatin1String(" add column if not exists ") +
                quotedName(columns::uid) +
                QLatin1String(" text collate \"C\" default ('urn:uuid:' || gen_random_uuid()::text)"));
}

void ensureIndexes(const QSqlDatabase& db)
{
    const QStringList names = indexNames(db);
    for (const Index& index : indexes()) {
        if (names.contains(index.name) || !tableExists(db, index.table))
            continue;
        QStringList columns = index.columns;
        columns.removeDuplicates(); // the order may repeat a looked-up column
        // On a server the index keeps the statements' own order (Null first,
        // ties by the key), so that a book is listed straight from it.
        const bool server = engineOf(db) == Engine::PostgreSQL;
        QStringList indexed;
        for (const QString& column : std::as_const(columns))
            indexed << quotedName(column) + QLatin1String(server ? " nulls first" : "");
        if (server && index.table == main)
            indexed << dialectOf(Engine::PostgreSQL).key;
        run(db, QLatin1String("create index if not exists ") + quotedName(index.name) +
                    QLatin1String(" on ") + quotedName(index.table) + QLatin1String(" (") +
                    indexed.join(QLatin1String(", ")) + QLatin1Char(')'));
    }
}

void upgradeWhereWritable(const QSqlDatabase& db)
{
    try {
        ensureUids(db);
        ensureIndexes(db);
    } catch (const DataError&) {
        // A book this workstation may only read (or that another holds locked
        // at the moment) works as it is: without UIDs until one that may write
        // opens it, and slower without the indexes.
    }
}

void createSyncTables(const QSqlDatabase& db)
{
    for (const auto& [table, columns] :
         {std::pair{syncBooks, syncBooksColumns()}, std::pair{syncCards, syncCardsColumns()}}) {
        if (!tableExists(db, table))
            run(db, createTableSql(db, table, columns));
    }
    ensureIndexes(db);
}

void create(const QSqlDatabase& db)
{
    const std::pair<QString, QStringList> made[] = {{userMaster, userMasterColumns()},
                                                    {main, mainColumns()},
                                                    {printDetails, contactColumnNames()},
                                                    {syncBooks, syncBooksColumns()},
                                                    {syncCards, syncCardsColumns()}};
    for (const auto& [table, columns] : made) {
        if (!tableExists(db, table))
            run(db, createTableSql(db, table, columns));
    }
    ensureUids(db);
    ensureIndexes(db);
}

} // namespace data::schema
