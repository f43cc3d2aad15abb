#pragma once

#include "data/Columns.h"
#include "data/Contact.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace data::schema {

inline const QString userMaster = QStringLiteral("userMaster");
inline const QString main = QStringLiteral("main");
inline const QString printDetails = QStringLiteral("printDetails");
// A person's address books and their cards as of the last sync (SyncState).
inline const QString syncBooks = QStringLiteral("syncBooks");
inline const QString syncCards = QStringLiteral("syncCards");

// The contact window's order of a user's contacts. The statement that opens
// the window and the index that serves it are both made from this.
QStringList contactOrder();

QStringList userMasterColumns();
// The 23 columns of `main`, in the order a contact is written.
QStringList mainColumns();
QStringList syncBooksColumns();
QStringList syncCardsColumns();

// Whether the table is there (a view of that name is not the table).
bool tableExists(const QSqlDatabase& db, const QString& table);
// The columns of a table as the engine spells them, in their order; none for a missing table.
QStringList columnNames(const QSqlDatabase& db, const QString& table);

// Throws DataError unless `userMaster` and `main` exist with at least their columns.
void verify(const QSqlDatabase& db);
// Gives every contact a UID, kept by the engine: the hidden column `uid` where
// missing, a new UUID (urn:uuid:...) for each row without one, and the same for
// every row inserted later without one, whoever inserts it (the window, an
// import, a migration). Done once; throws DataError (and changes nothing) when
// the book cannot be written.
void ensureUids(const QSqlDatabase& db);
// Whether the contacts carry UIDs: not in a book from before that was opened
// read-only.
bool hasUids(const QSqlDatabase& db);
// Creates the indexes the statements want, where missing. Rows are never touched.
// Throws DataError when the book cannot be written.
void ensureIndexes(const QSqlDatabase& db);
// Both of the above, for a book from before as it is opened; a book that
// cannot be written is left as it is, and works.
void upgradeWhereWritable(const QSqlDatabase& db);
// Creates the two sync tables and their indexes where missing.
void createSyncTables(const QSqlDatabase& db);
// Creates those of the five tables that are missing, the UIDs and the
// indexes; a table that exists is left alone. On a server each table gets a
// hidden identity column.
void create(const QSqlDatabase& db);

} // namespace data::schema
