#pragma once

#include <QString>

class QSqlDatabase;

namespace data {

// Where a book lives: the embedded file beside the program, or a server that
// several workstations share.
enum class Engine
{
    SQLite,
    PostgreSQL
};

// What the statements say differently on each engine.
struct Dialect
{
    QString key;     // the hidden column that finds a row again: SQLite's rowid, the server's identity
    bool nullsFirst; // SQLite sorts Null first by itself; the server is told to, for the same order
    QString same;    // `a <same> b`: equal, Null equal to Null only
};

Engine engineOf(const QSqlDatabase& db);
Dialect dialectOf(Engine engine);

} // namespace data
