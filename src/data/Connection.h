#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QtGlobal>

class QFileInfo;
struct sqlite3;

namespace data {

// The one connection to the database file. Opening never creates a file: a
// missing, unreadable or foreign file is an error carrying the engine's text.
class Connection final
{
public:
    Connection();
    ~Connection();
    Q_DISABLE_COPY_MOVE(Connection)

    // How long a statement waits for another process's lock before it fails.
    static constexpr int busyTimeoutMs = 5000;

    // ReadOnly never writes the file, not even the indexes the program adds.
    enum class OpenMode
    {
        ReadWrite,
        ReadOnly
    };

    void open(const QString& filePath, OpenMode mode = OpenMode::ReadWrite);
    // The program's own database: <program folder>/data/vantrel.mdb. Every
    // program of the installation (the contact book and its companions) opens it so.
    void openProgramDatabase(const QString& programFolder, OpenMode mode = OpenMode::ReadWrite);

    // Runs a statement that returns no rows.
    void execute(const QString& sql, const QVariantList& values = {});

    QSqlDatabase database() const;
    // The engine's own handle of this connection, for NativeStatement.
    sqlite3* handle() const;

private:
    void openVerified(const QFileInfo& file, OpenMode mode);

    QString m_name;
};

// Prepares sql on the query, binds the values in order and runs it; throws on failure.
void run(QSqlQuery& query, const QString& sql, const QVariantList& values = {});

// Writes made while it lives are stored together, or not at all if it ends
// without commit(). It takes the write lock at once, so it waits for another
// writer (up to the busy timeout) before anything is changed.
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
