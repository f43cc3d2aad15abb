#include "data/Connection.h"

#include "data/DataError.h"
#include "data/OfficeServer.h"
#include "data/Schema.h"
#include "data/ServerSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <atomic>
#include <cerrno>
#include <libmount/libmount.h>
#include <unistd.h>

namespace data {

namespace {
QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("vantrel-%1").arg(++counter);
}

QString errorText(const QSqlError& error)
{
    return error.text().trimmed();
}

bool accessDenied(const QString& path, int mode)
{
    return ::access(QFile::encodeName(path).constData(), mode) != 0 && (errno == EACCES || errno == EPERM);
}

// SQLite tells a person outside the book's group no more than "unable to open
// database file"; this says what stands in the way, and who can remove it.
void refuseWithoutPermission(const QFileInfo& file)
{
    const QFileInfo folder(file.absolutePath());
    const bool folderClosed = accessDenied(folder.absoluteFilePath(), X_OK);
    if (!folderClosed && !accessDenied(file.absoluteFilePath(), R_OK))
        return;
    QString group = (folderClosed ? folder : file).group();
    if (group.isEmpty())
        group = QStringLiteral("vantrel");
    throw DataError(
        QStringLiteral("You are not allowed to open the contact book %1. Ask the administrator to "
                       "add you to the group %2, then log out and in again.")
            .arg(file.absoluteFilePath(), group));
}

// The book files open in this program, by connection name.
QMutex openBooksMutex;
QHash<QString, QString> openBooks;

void noteOpenBook(const QString& connection, const QString& canonicalPath)
{
    const QMutexLocker locked(&openBooksMutex);
    if (canonicalPath.isEmpty())
        openBooks.remove(connection);
    else
        openBooks.insert(connection, canonicalPath);
}

// The path with links resolved; a file not there yet keeps its own name in its resolved folder.
QString resolved(const QString& path)
{
    const QFileInfo file(path);
    if (file.exists())
        return file.canonicalFilePath();
    const QString folder = file.absoluteDir().canonicalPath();
    return folder.isEmpty() ? file.absoluteFilePath() : folder + QLatin1Char('/') + file.fileName();
}
} // namespace

bool isOpenBookFile(const QString& path)
{
    const QString wanted = resolved(path);
    const QMutexLocker locked(&openBooksMutex);
    for (const QString& book : std::as_const(openBooks)) {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
            if (wanted == book + QLatin1String(suffix))
                return true;
        }
    }
    return false;
}

Engine engineOf(const QSqlDatabase& db)
{
    return db.driverName() == QLatin1String("QPSQL") ? Engine::PostgreSQL : Engine::SQLite;
}

Dialect dialectOf(Engine engine)
{
    if (engine == Engine::PostgreSQL)
        return {QStringLiteral("vantrel_id"), true, QStringLiteral("is not distinct from")};
    return {QStringLiteral("rowid"), false, QStringLiteral("is")};
}

Connection::Connection() : m_name(nextConnectionName()) {}

Connection::~Connection()
{
    noteOpenBook(m_name, QString());
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

void Connection::close()
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (db.isValid())
        db.close();
}

void Connection::open(const QString& filePath, OpenMode mode)
{
    const QFileInfo file(filePath);
    refuseWithoutPermission(file);
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
    const QString settings = programFolder + QLatin1String("/data/") + ServerSettings::fileName();
    if (QFileInfo::exists(settings))
        openServer(ServerSettings::read(settings), mode);
    else
        open(programFolder + QLatin1String("/data/vantrel.mdb"), mode);
}

namespace {

// The write-ahead log keeps its index in memory shared by the programs of one
// computer, so a book that several computers reach over the network would be
// damaged; a server book is the way to share one between computers.
void refuseNetworkShare(const QFileInfo& file)
{
    const QByteArray path = QFile::encodeName(file.canonicalFilePath());
    libmnt_table* mounts = mnt_new_table_from_file("/proc/self/mountinfo");
    if (!mounts)
        return; // nothing known: taken as the local disk it almost always is
    libmnt_fs* fs = mnt_table_find_mountpoint(mounts, path.constData(), MNT_ITER_BACKWARD);
    const bool network = fs && mnt_fs_is_netfs(fs) == 1;
    const QString type = fs ? QString::fromUtf8(mnt_fs_get_fstype(fs)) : QString();
    mnt_unref_table(mounts);
    if (network)
        throw DataError(
            QStringLiteral("The book lies on a network share (%1), where several computers cannot "
                           "use it safely. Keep it on this computer's own disk, or let the "
                           "computers share a server book (data/server.conf).")
                .arg(type));
}

// One flush per commit: a commit appends to the log and syncs it once; the book
// itself is synced only when the log is copied back into it, now and then.
void useWriteAheadLog(const QSqlDatabase& db)
{
    QSqlQuery pragma(db);
    // A write-protected file, or one another program holds, keeps its journal.
    pragma.exec(QStringLiteral("pragma journal_mode = wal"));
    pragma.exec(QStringLiteral("pragma synchronous = full"));
    // What is deleted or overwritten, a password once stored as typed above
    // all, is overwritten with zeros rather than left in free space.
    pragma.exec(QStringLiteral("pragma secure_delete = on"));
}

// Inside a transaction, every insert into `main` keeps a statement journal,
// since its trigger (the UID) may write another row; kept in memory it is a
// few pages copied, where a temporary file took a write per page (an import of
// 100,000 contacts four times slower).
void keepStatementJournalsInMemory(const QSqlDatabase& db)
{
    QSqlQuery pragma(db);
    pragma.exec(QStringLiteral("pragma temp_store = memory"));
}

} // namespace

void Connection::openVerified(const QFileInfo& file, OpenMode mode)
{
    const bool readOnly = mode == OpenMode::ReadOnly;
    if (!readOnly)
        refuseNetworkShare(file);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    // mode=rw: never create the file; a write-protected file opens for reading.
    // mode=ro: never write, whatever the file allows.
    db.setDatabaseName(QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded) +
                       QLatin1String(readOnly ? "?mode=ro" : "?mode=rw"));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!db.open())
        throw DataError(db.lastError().driverText() + QLatin1String(": ") + db.lastError().databaseText());
    noteOpenBook(m_name, file.canonicalFilePath());

    schema::verify(db);
    if (!readOnly) {
        useWriteAheadLog(db);
        keepStatementJournalsInMemory(db);
        schema::upgradeWhereWritable(db);
    }
}

void Connection::openServer(const ServerSettings& settings, OpenMode mode)
{
    m_engine = Engine::PostgreSQL;
    m_dialect = dialectOf(m_engine);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
    settings.applyTo(db);
    if (!db.open())
        throw DataError(QStringLiteral("The server book %1 cannot be opened: %2")
                            .arg(settings.describe(), settings.explain(errorText(db.lastError()))));
    m_settings = std::make_unique<ServerSettings>(settings);
    m_readOnly = mode == OpenMode::ReadOnly;
    prepareServerSession();
    office::requireSecured(db);
    schema::verify(db);
}

void Connection::openServerAs(const Connection& book, const QString& role, const QString& password)
{
    if (!book.m_settings)
        throw DataError(QStringLiteral("The book is not on a server."));
    m_engine = Engine::PostgreSQL;
    m_dialect = dialectOf(m_engine);
    m_settings = std::make_unique<ServerSettings>(*book.m_settings);
    m_settings->user = role;
    m_readOnly = book.m_readOnly;
    if (QSqlDatabase::contains(m_name)) // an account tried before, which refused
        QSqlDatabase::removeDatabase(m_name);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
    m_settings->applyTo(db);
    db.setPassword(password);
    if (!db.open())
        throw DataError(errorText(db.lastError()));
    // A server that lets anyone in as anyone would make every password moot.
    if (!office::passwordWasChecked(db))
        throw DataError(QStringLiteral("The server lets Vantrel's people in without checking their password: "
                                       "its pg_hba.conf must ask scram-sha-256 of the role %1.")
                            .arg(office::peopleRole));
    prepareServerSession();
    schema::verify(db);
}

// What every session on the server needs: waits bounded like the file's busy
// timeout, and no chatter from the server on the program's error stream.
void Connection::prepareServerSession()
{
    QSqlQuery query(database());
    run(query, QStringLiteral("set lock_timeout = %1").arg(busyTimeoutMs));
    run(query, QStringLiteral("set client_min_messages = warning"));
    if (m_readOnly)
        run(query, QStringLiteral("set session characteristics as transaction read only"));
}

void Connection::noteFailure()
{
    if (m_engine != Engine::PostgreSQL || m_lost)
        return;
    // A statement can fail for its own reasons; a connection that no longer
    // answers the simplest one is lost.
    QSqlQuery probe(database());
    m_lost = !probe.exec(QStringLiteral("select 1"));
}

void Connection::reconnectIfLost()
{
    if (!m_lost)
        return;
    if (m_transactions > 0) // a new connection would carry on outside the transaction
        throw DataError(QStringLiteral("The server connection was lost during a transaction."));
    QSqlDatabase db = database();
    db.close();
    if (!db.open())
        throw DataError(QStringLiteral("The server cannot be reached: %1").arg(errorText(db.lastError())));
    m_lost = false;
    ++m_generation;
    prepareServerSession();
}

// After a failure: true when the statement may simply run once more.
bool Connection::reopenForRetry()
{
    noteFailure();
    if (!m_lost || m_transactions > 0)
        return false;
    reconnectIfLost();
    return true;
}

void Connection::lockForInsert(const QString& key)
{
    if (m_engine != Engine::PostgreSQL)
        return;
    // Held until the transaction ends: an import or a sync adding many
    // contacts in one asks the server once.
    if (m_transactions > 0 && m_heldLocks.contains(key))
        return;
    execute(QStringLiteral("select pg_catalog.pg_advisory_xact_lock(pg_catalog.hashtext(?))"), {key});
    if (m_transactions > 0)
        m_heldLocks.insert(key);
}

void run(QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    // Without values the statement runs as it is: the server does not prepare
    // `begin`, `commit` or `set`.
    if (values.isEmpty()) {
        if (!query.exec(sql))
            throw DataError(errorText(query.lastError()));
        return;
    }
    if (!query.prepare(sql))
        throw DataError(errorText(query.lastError()));
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw DataError(errorText(query.lastError()));
}

void run(Connection& connection, QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    try {
        run(query, sql, values);
    } catch (const DataError&) {
        connection.noteFailure();
        throw;
    }
}

void Connection::retryingOnce(const std::function<void()>& attempt)
{
    try {
        attempt();
        return;
    } catch (const DataError&) {
        if (!reopenForRetry())
            throw;
    }
    try {
        attempt();
    } catch (const DataError&) {
        noteFailure();
        throw;
    }
}

void Connection::execute(const QString& sql, const QVariantList& values)
{
    reconnectIfLost();
    retryingOnce([&] {
        QSqlQuery query(database());
        run(query, sql, values);
    });
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
    m_connection.execute(QLatin1String(connection.engine() == Engine::SQLite ? "begin immediate" : "begin"));
    ++m_connection.m_transactions;
}

Transaction::~Transaction()
{
    // Not committed: undo. When the engine has rolled back already, there is
    // nothing left to undo and the statement simply reports that.
    if (!m_open)
        return;
    QSqlQuery(m_connection.database()).exec(QStringLiteral("rollback"));
    if (--m_connection.m_transactions == 0)
        m_connection.m_heldLocks.clear();
}

void Transaction::commit()
{
    m_connection.execute(QStringLiteral("commit"));
    m_open = false;
    if (--m_connection.m_transactions == 0)
        m_connection.m_heldLocks.clear();
}

} // namespace data
