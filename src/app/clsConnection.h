#pragma once

// The program's start. The state every window shares lives in the session
// (app/Session.h): DbConnection, CurrentUser, ActiveFormTag, ConfirmQuit and
// ShowActiveForm.
namespace clsConnection {

// Makes the program's windows known to the session (once per process).
void registerWindows();
// Start: open the database, then show the login window.
void Main();

} // namespace clsConnection
