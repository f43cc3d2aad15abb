#include "data/Connection.h"

#include "data/DataError.h"
#include "data/Schema.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <atomic>

namespace data {

namespace {
QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("vantrel-%1").arg(++counter);
}
} // namespace

Connection::Connection() : m_name(nextConnectionName()) {}

Connection::~Connection()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

void Connection::open(const QString& filePath, OpenMode mode)
{
    const QFileInfo file(filePath);
    if (!file.exists())
        throw DataError(QStringLiteral("Could not find file '%1'.").arg(filePath));
    if (!file.isFile())
        throw DataError(QStringLiteral("'%1' is not a database file.").arg(filePath));

    try {
        openVerified(file, mode);
    } catch (const DataError& error) {
        throw DataError(file.absoluteFilePath() + QLatin1String(": ") + error.description());
    }
}

void Connection::openProgramDatabase(const QString& programFolder, OpenMode mode)
{
    open(programFolder + QLatin1String("/data/vantrel.mdb"), mode);
}

void Connection::openVerified(const QFileInfo& file, OpenMode mode)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    // mode=rw: never create the file; a write-protected file opens for reading.
    // mode=ro: never write, whatever the file allows.
    const bool readOnly = mode == OpenMode::ReadOnly;
    db.setDatabaseName(QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded) +
                       QLatin1String(readOnly ? "?mode=ro" : "?mode=rw"));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!db.open())
        throw DataError(db.lastError().driverText() + QLatin1String(": ") + db.lastError().databaseText());

    schema::verify(db);
    if (!readOnly)
        schema::ensureIndexes(db);
}

void run(QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    if (!query.prepare(sql))
        throw DataError(query.lastError().text());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw DataError(query.lastError().text());
}

void Connection::execute(const QString& sql, const QVariantList& values)
{
    QSqlQuery query(database());
    run(query, sql, values);
}

sqlite3* Connection::handle() const
{
    const QVariant handle = database().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw DataError(QStringLiteral("The database driver is not SQLite."));
    return *static_cast<sqlite3* const*>(handle.constData());
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

Transaction::Transaction(Connection& connection) : m_connection(connection)
{
    m_connection.execute(QStringLiteral("begin immediate"));
}

Transaction::~Transaction()
{
    // Not committed: undo. When the engine has rolled back already, there is
    // nothing left to undo and the statement simply reports that.
    if (m_open)
        QSqlQuery(m_connection.database()).exec(QStringLiteral("rollback"));
}

void Transaction::commit()
{
    m_connection.execute(QStringLiteral("commit"));
    m_open = false;
}

} // namespace data
