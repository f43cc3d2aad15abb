#pragma once

#include <QString>

class QSqlDatabase;

namespace data {

// Where a shared book lives on a PostgreSQL server, read from the settings
// file data/server.conf beside the program:
//
//   [server]
//   host = /var/run/postgresql    a socket folder, or a host name
//   port = 5432                   optional
//   database = vantrel
//   user = office                 the role; optional (libpq's default then)
//   sslmode = prefer              optional: disable, allow, prefer, require, verify-ca, verify-full
//   passfile = /etc/vantrel/pgpass   optional: a libpq password file (else ~/.pgpass)
//   service = office              optional: an entry of the libpq service file
//
// Passwords are never kept here: the libpq password file or service file holds them.
struct ServerSettings
{
    QString host;
    int port = 0; // libpq's default
    QString database;
    QString user;
    QString sslmode;
    QString passfile;
    QString service;

    static QString fileName() { return QStringLiteral("server.conf"); }
    // Reads and checks a settings file; a malformed one throws DataError
    // saying what is wrong.
    static ServerSettings read(const QString& path);
    // Points a (closed) PostgreSQL connection of Qt's at this server.
    void applyTo(QSqlDatabase& db) const;
    // For messages: where the book is, never a secret.
    QString describe() const;
};

} // namespace data
