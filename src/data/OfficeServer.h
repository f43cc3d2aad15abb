#pragma once

#include <QString>

class QSqlDatabase;

namespace data::office {

// What keeps people apart on a server book, made by its administrator (the
// database's owner, with the right to create roles) once the tables exist:
//
// - every workstation connects as the gate role `vantrel_gate`, which may only
//   call the functions a login window needs (list the names, look up an
//   account's public settings, sign up) and reads no table;
// - every account is a login role of its own (`vantrel_<database>_<id>`,
//   member of `vantrel_people`), whose password the server checks by SCRAM:
//   the key the typed password gives under the account's settings, never the
//   password itself (Passwords.h);
// - row-level security lets such a role see and write only its own contacts
//   and its own staged row; no role but the administrator reads `userMaster`.
//
// Made again over an existing book, it brings it up to date: accounts whose
// password is still stored as typed get their role and are stored hashed.
void secure(const QSqlDatabase& db);

// Adds an account as a migration brings it: its password as the other book
// kept it (as typed, hashed, or as a server's settings, which can only be
// copied), or Null. Run as the administrator.
void addAccount(const QSqlDatabase& db, const QString& user, const QVariant& stored);
// Removes every account and its role. Run as the administrator.
void removeAccounts(const QSqlDatabase& db);

// The functions that workstations call; their presence tells a book made so.
inline const QString gateRole = QStringLiteral("vantrel_gate");
inline const QString peopleRole = QStringLiteral("vantrel_people");
QString userNamesSql();
QString nameTakenSql();
QString accountsOfSql();
QString signUpSql();
QString changePasswordSql();
// Whether the book has been made so (throws DataError saying what to do if not).
void requireSecured(const QSqlDatabase& db);

// The password verifier the server keeps for a key (scram-sha-256), made on
// this side so that the key itself never travels in a statement.
QString verifierFor(const QSqlDatabase& db, const QString& key);
// Whether the server asked for the password when this connection was opened.
bool passwordWasChecked(const QSqlDatabase& db);

} // namespace data::office
