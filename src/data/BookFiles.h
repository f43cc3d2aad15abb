#pragma once

#include <QString>
#include <functional>

namespace data {

class Connection;

// Writes the first rows into a new book while it is built; given the path of
// the file being built (not yet the book's name).
using BookFiller = std::function<void(const QString& building)>;

// Creates a book file with the tables and the indexes, the owner's alone
// from its first byte on (in a new folder, the folder too). The file is built
// beside its name and appears under it whole and on disk, or not at all: a
// crash at any moment leaves no book or a whole one, and a leftover of one is
// taken over by the next creation. `fill`, when given, runs on the file being
// built, after the tables are made and before the book appears.
// Returns false when the file exists already (or appeared meanwhile), which is
// left exactly as it is; throws DataError when it cannot be made or another
// program is making it at the moment (and leaves no book).
bool createBookFile(const QString& path, const BookFiller& fill = {});
// Creates the tables and indexes missing in the server database a settings
// file names, and what keeps people apart there (OfficeServer.h), in one
// transaction: all of it or, when interrupted, none. Tables that exist are
// left alone; accounts from before get their roles. Run as the database's
// owner, with the right to create roles. Throws DataError.
void createServerTables(const QString& settingsPath);

// Opens a book named the way the tools name one: a settings file (*.conf)
// names a server, anything else is a book file.
void openBook(Connection& connection, const QString& where, bool readOnly);

} // namespace data
