#pragma once

#include "data/Engine.h"

#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <functional>
#include <memory>

class QFileInfo;
struct sqlite3;

namespace data {

struct ServerSettings;

// The one connection to the book: the embedded file, or a PostgreSQL server.
// Opening never creates anything: a missing, unreadable or foreign file, or a
// server that cannot be reached, is an error carrying the engine's text.
class Connection final
{
public:
    Connection();
    ~Connection();
    Q_DISABLE_COPY_MOVE(Connection)

    // How long a statement waits for another program's lock before it fails.
    static constexpr int busyTimeoutMs = 5000;

    // ReadOnly never writes the book, not even the indexes the program adds.
    enum class OpenMode
    {
        ReadWrite,
        ReadOnly
    };

    void open(const QString& filePath, OpenMode mode = OpenMode::ReadWrite);
    void openServer(const ServerSettings& settings, OpenMode mode = OpenMode::ReadWrite);
    // The same server as `book`, as an account's own role, with the password
    // the server checks; throws DataError when the server refuses it, or when
    // it let the role in without checking the password at all. A book opened
    // read-only gives a read-only connection here too.
    void openServerAs(const Connection& book, const QString& role, const QString& password);
    // The program's own book: the server named by <program folder>/data/server.conf
    // when that file exists, else <program folder>/data/vantrel.mdb. Every program
    // of the installation (the contact book and its companions) opens it so.
    void openProgramDatabase(const QString& programFolder, OpenMode mode = OpenMode::ReadWrite);

    // Ends the connection; statements on it fail from then on.
    void close();

    Engine engine() const { return m_engine; }
    const Dialect& dialect() const { return m_dialect; }

    // Runs a statement that returns no rows.
    void execute(const QString& sql, const QVariantList& values = {});

    QSqlDatabase database() const;
    // The engine's own handle of an SQLite connection, for NativeStatement.
    sqlite3* handle() const;

    // After a statement failed: if the server connection was lost, the next
    // statement opens it again (a workstation carries on once the server is back).
    void noteFailure();
    // Opens a lost server connection again; statements prepared before must be
    // prepared again (see generation()). Throws when the server is still away.
    void reconnectIfLost();
    // Runs a statement (`attempt` throws DataError when it fails). When it failed
    // because the server connection was lost (a server restarted while the
    // workstation stood idle) outside a transaction, nothing of it took effect:
    // it runs once more on the connection opened anew. Throws when the server is
    // still away.
    void retryingOnce(const std::function<void()>& attempt);
    // Whether a Transaction is open on it.
    bool inTransaction() const { return m_transactions > 0; }
    // Counts the times the connection was opened again.
    int generation() const { return m_generation; }

    // Inside a transaction: waits until no other client inserts under the same
    // key (a user's contacts, a user name) before this one tests and inserts.
    // The embedded file's write lock already covers it.
    void lockForInsert(const QString& key);

private:
    void openVerified(const QFileInfo& file, OpenMode mode);
    void prepareServerSession();
    bool reopenForRetry();
    friend class Transaction;

    QString m_name;
    std::unique_ptr<ServerSettings> m_settings; // on a server
    Engine m_engine = Engine::SQLite;
    Dialect m_dialect = dialectOf(Engine::SQLite);
    bool m_lost = false;
    bool m_readOnly = false; // on a server: every session is set so, also when opened again
    int m_generation = 0;
    int m_transactions = 0;    // open ones
    QSet<QString> m_heldLocks; // taken by lockForInsert in the open transaction
};

// Whether `path` names the file of a book a connection of this program has open,
// or one of the engine's files beside it (log, index, journal). Written to, the
// book would be lost; merely opened and closed by this program, the engine's
// locks on it would go with the descriptor, and another program could take the
// book for its own.
bool isOpenBookFile(const QString& path);

// Prepares sql on the query, binds the values in order and runs it; throws on
// failure (and tells the query's connection).
void run(QSqlQuery& query, const QString& sql, const QVariantList& values = {});
void run(Connection& connection, QSqlQuery& query, const QString& sql, const QVariantList& values = {});

// Writes made while it lives are stored together, or not at all if it ends
// without commit(). On the embedded file it takes the write lock at once, so it
// waits for another writer (up to the busy timeout) before anything is changed.
class Transaction final
{
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Q_DISABLE_COPY_MOVE(Transaction)
    void commit();

private:
    Connection& m_connection;
    bool m_open = true;
};

} // namespace data
