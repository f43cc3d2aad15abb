#pragma once

#include "data/Engine.h"

#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

namespace testing {

// A program folder of its own, laid out as an installed one: images/ with the
// windows' pictures and data/ with the book: data/vantrel.mdb with the
// tables and the program's indexes, or, on a server, data/server.conf naming a
// fresh database made for this folder alone. Shared by the tests, the
// screenshot tool and the benchmark.
//
// The engine is SQLite unless VANTREL_TEST_ENGINE=postgresql, with the
// server's socket folder in VANTREL_TEST_PGHOST (see tests/postgres).
class ProgramFolder final
{
public:
    explicit ProgramFolder(data::Engine engine = engineUnderTest());
    ~ProgramFolder();
    Q_DISABLE_COPY_MOVE(ProgramFolder)

    static data::Engine engineUnderTest();
    data::Engine engine() const { return m_engine; }
    QString path() const { return m_dir.path(); }
    QString databasePath() const { return m_dir.path() + QLatin1String("/data/vantrel.mdb"); }
    // On a server: the database's name, for tools that reach it themselves.
    QString serverDatabase() const { return m_serverDatabase; }
    // On a server: a settings file naming the book's administrator (its owner,
    // the test cluster's superuser) instead of the workstations' gate.
    QString administratorSettings() const { return m_dir.path() + QLatin1String("/admin.conf"); }

    // SQL on the book through a connection of its own; a failing statement
    // throws std::runtime_error with the engine's text. The tests speak
    // SQLite's SQL; on a server it is translated (see translated()).
    void exec(const QString& sql, const QVariantList& values = {}) const;
    QList<QVariantList> rows(const QString& sql, const QVariantList& values = {}) const;
    // The first column of the first row; an invalid QVariant without rows.
    QVariant value(const QString& sql, const QVariantList& values = {}) const;
    // That connection of its own, for statements timed or traced as they are.
    QSqlDatabase database() const;

    // Begins a transaction on that connection holding what a save of the user's
    // contacts waits for: the file's write lock, or on a server the user's insert lock.
    void holdTheBookOf(const QString& user) const;

    void addUser(const QString& user, const QString& password) const;
    // A contact of `user`; the columns not given are Null.
    void addContact(const QString& user, const QMap<QString, QVariant>& columns) const;
    // Contacts written as the values of `columns` (names separated by spaces, `user` among them)
    // separated by '|'; "~" or a value left out is Null.
    void addContacts(const QString& columns, const QStringList& contacts) const;

    // A test's SQLite SQL as the server reads it: the book's identifiers quoted,
    // rowid as the identity column, `select *` without it (with the UIDs, last as on the file), Null first in
    // every ascending order (last in descending) as SQLite sorts, group_concat and ifnull in their PostgreSQL
    // forms.
    static QString translated(const QString& sql);

private:
    data::Engine m_engine;
    QTemporaryDir m_dir;
    QString m_connectionName;
    QString m_serverDatabase;
};

} // namespace testing
