#pragma once

#include <QString>

namespace data {

class Connection;

// Creates an empty book file with the three tables and the indexes, the
// owner's alone from its first byte on (in a new folder, the folder too).
// Returns false when the file exists already, which is left exactly as it is;
// throws DataError when it cannot be made (and leaves nothing behind).
bool createBookFile(const QString& path);
// Creates the tables and indexes missing in the server database a settings
// file names; those that exist are left alone. Throws DataError.
void createServerTables(const QString& settingsPath);

// Opens a book named the way the tools name one: a settings file (*.conf)
// names a server, anything else is a book file.
void openBook(Connection& connection, const QString& where, bool readOnly);

} // namespace data
