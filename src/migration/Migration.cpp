#include "migration/Migration.h"

#include "data/BookFiles.h"
#include "data/Connection.h"
#include "data/ContactStore.h"
#include "data/DataError.h"
#include "data/OfficeServer.h"
#include "data/Schema.h"
#include "data/Statements.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <functional>
#include <memory>

namespace migration {

namespace {

struct Table
{
    QString name;
    QStringList columns;
    qint64 Counts::*count;
};

QList<Table> tables()
{
    using namespace data::schema;
    return {{userMaster, userMasterColumns(), &Counts::users},
            {main, mainColumns(), &Counts::contacts},
            {printDetails, data::contactColumnNames(), &Counts::staged}};
}

QString quoted(const QStringList& columns)
{
    QStringList names;
    for (const QString& column : columns)
        names << data::quotedName(column);
    return names.join(QLatin1String(", "));
}

qint64 countRows(data::Connection& book, const QString& table)
{
    QSqlQuery query(book.database());
    data::run(book, query, QLatin1String("select count(*) from ") + data::quotedName(table));
    return query.next() ? query.value(0).toLongLong() : 0;
}

// Into a server, accounts become roles whose passwords the server checks;
// their passwords are hashed on the way, never sent as typed.
qint64 copyAccountsToServer(data::Connection& from, data::Connection& to)
{
    QList<std::pair<QString, QVariant>> accounts;
    QSqlQuery read(from.database());
    data::run(from, read,
              QLatin1String("select ") + quoted(data::schema::userMasterColumns()) + QLatin1String(" from ") +
                  data::quotedName(data::schema::userMaster) + QLatin1String(" order by ") +
                  from.dialect().key);
    while (read.next())
        accounts.append({read.value(0).toString(), read.value(1)});
    for (const auto& [user, password] : std::as_const(accounts))
        data::office::addAccount(to.database(), user, password);
    return accounts.size();
}

// The contacts keep their UIDs; from a book without them (one from before,
// opened read-only) the target gives each a new one.
QStringList copiedColumns(data::Connection& from, data::Connection& to, const Table& table)
{
    if (table.name == data::schema::main && data::schema::hasUids(from.database()) &&
        data::schema::hasUids(to.database()))
        return table.columns + QStringList{data::schema::columns::uid};
    return table.columns;
}

// Contacts are written as every contact is; the other tables row by row as read.
std::function<void(const QVariantList&)> rowWriter(data::Connection& to, const QString& table,
                                                   const QStringList& columns)
{
    if (table == data::schema::main) {
        auto contacts = std::make_shared<data::ContactRowWriter>(to, columns);
        return [contacts](const QVariantList& values) { contacts->write(values); };
    }
    auto insert = std::make_shared<QSqlQuery>(to.database());
    const QStringList marks(columns.size(), QStringLiteral("?"));
    if (!insert->prepare(QLatin1String("insert into ") + data::quotedName(table) + QLatin1String(" (") +
                         quoted(columns) + QLatin1String(") values (") + marks.join(QLatin1String(", ")) +
                         QLatin1Char(')')))
        throw data::DataError(insert->lastError().text());
    return [insert](const QVariantList& values) {
        for (int i = 0; i < values.size(); ++i)
            insert->bindValue(i, values[i]);
        if (!insert->exec())
            throw data::DataError(insert->lastError().text());
    };
}

qint64 copyTable(data::Connection& from, data::Connection& to, const Table& table)
{
    if (table.name == data::schema::userMaster && to.engine() == data::Engine::PostgreSQL)
        return copyAccountsToServer(from, to);
    const QStringList columns = copiedColumns(from, to, table);
    QSqlQuery read(from.database());
    read.setForwardOnly(true);
    data::run(from, read,
              QLatin1String("select ") + quoted(columns) + QLatin1String(" from ") +
                  data::quotedName(table.name) + QLatin1String(" order by ") + from.dialect().key);
    const std::function<void(const QVariantList&)> write = rowWriter(to, table.name, columns);
    qint64 copied = 0;
    while (read.next()) {
        QVariantList values;
        for (int i = 0; i < columns.size(); ++i)
            values << read.value(i); // Null stays Null, text stays text
        write(values);
        ++copied;
    }
    return copied;
}

QString described(const Counts& counts)
{
    const auto many = [](qint64 count, const char* one, const char* several) {
        return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : several));
    };
    return many(counts.users, "user", "users") + QLatin1String(", ") +
           many(counts.contacts, "contact", "contacts") + QLatin1String(" and ") +
           many(counts.staged, "staged row", "staged rows");
}

} // namespace

Counts countsOf(data::Connection& book)
{
    Counts counts;
    for (const Table& table : tables())
        counts.*table.count = countRows(book, table.name);
    return counts;
}

Counts copyBook(data::Connection& from, data::Connection& to, bool replace)
{
    const Counts source = countsOf(from);
    data::Transaction transaction(to);
    // Said in full: whoever is not sure whether an interrupted copy finished learns that it did.
    if (const Counts held = countsOf(to); !replace && !held.isEmpty())
        throw data::DataError(
            QStringLiteral("The target book already holds %1; it is left as it is (add --replace to copy "
                           "over it).")
                .arg(described(held)));
    Counts copied;
    for (const Table& table : tables()) {
        if (replace && table.name == data::schema::userMaster && to.engine() == data::Engine::PostgreSQL)
            data::office::removeAccounts(to.database()); // their roles too
        else if (replace)
            to.execute(QLatin1String("delete from ") + data::quotedName(table.name));
        copied.*table.count = copyTable(from, to, table);
    }
    if (copied != source || countsOf(to) != source)
        throw data::DataError(QStringLiteral("The counts differ after the copy; nothing was written."));
    transaction.commit();
    return copied;
}

std::optional<Counts> copyToNewBookFile(data::Connection& from, const QString& path)
{
    Counts copied;
    const bool made = data::createBookFile(path, [&](const QString& building) {
        data::Connection to;
        to.open(building);
        // Built in the rollback journal: everything committed is in the file
        // itself, and a log would not follow the file to the book's name.
        to.execute(QStringLiteral("pragma journal_mode = delete"));
        copied = copyBook(from, to, false);
    });
    if (!made)
        return std::nullopt;
    return copied;
}

} // namespace migration
