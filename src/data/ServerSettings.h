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
//   sslmode = verify-full         optional: disable, allow, prefer, require, verify-ca, verify-full;
//                                 a host on the network gets verify-full when none is given
//   sslrootcert = /etc/vantrel/office-ca.crt   optional: the authority that signed the server's certificate
//   passfile = /etc/vantrel/pgpass   optional: a libpq password file (else PGPASSFILE, else ~/.pgpass)
//   service = office              optional: an entry of the libpq service file
//
// Every value is one value, whatever it holds: a blank or "password=" inside
// it is part of a file's or a service's name, never another setting.
// Passwords are never kept here: the libpq password file or service file holds them.
struct ServerSettings
{
    QString host;
    int port = 0; // libpq's default
    QString database;
    QString user;
    QString sslmode;
    QString sslrootcert;
    QString passfile;
    QString service;

    static QString fileName() { return QStringLiteral("server.conf"); }
    // Reads and checks a settings file and the files it leads to; a malformed
    // one, a file it names that cannot be read, or a password file that libpq
    // would ignore (others may read it) throws DataError saying what is wrong.
    static ServerSettings read(const QString& path);
    // Points a (closed) PostgreSQL connection of Qt's at this server.
    void applyTo(QSqlDatabase& db) const;
    // What applyTo hands to libpq beside host, port, database and user, each
    // value quoted so that it stays one value.
    QString connectOptions() const;
    // The settings' own sslmode, else verify-full for a host on the network;
    // empty leaves it to libpq (a local socket carries no TLS).
    QString effectiveSslMode() const;
    // The engine's text of a failed connection, with what to do when checking
    // the server's certificate is what failed.
    QString explain(const QString& engineText) const;
    // For messages: where the book is, never a secret.
    QString describe() const;
};

} // namespace data
