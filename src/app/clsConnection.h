#pragma once

#include <QString>

namespace data {
class Connection;
}

// The program's spine: the start routine, the state every window shares, the
// one database connection and the way into the quit confirmation.
namespace clsConnection {

// Names the window to return to: "form vantrel", "form details" or
// "change password". Compared as exact text; nothing ever clears it.
extern QString ActiveFormTag;
// The user name exactly as typed at the last successful login.
extern QString CurrentUser;

data::Connection& DbConnection();

// Start: open the database, then show the login window.
void Main();
// Opens <program folder>/data/vantrel.mdb as DbConnection; throws on failure.
void OpenConnection();
// Shows the quit confirmation and returns at once.
void ConfirmQuit();
// Shows the window that ActiveFormTag names; with any other value, none.
void ShowActiveForm();

// Releases the windows and the connection before the application object goes.
void Shutdown();

} // namespace clsConnection
