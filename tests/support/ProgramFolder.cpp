#include "ProgramFolder.h"

#include "data/Accounts.h"
#include "data/Connection.h"
#include "data/Contact.h"
#include "data/OfficeServer.h"
#include "data/Schema.h"
#include "data/ServerSettings.h"
#include "data/Statements.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <atomic>
#include <stdexcept>

namespace testing {

namespace {

QSqlQuery run(const QString& connection, const QString& sql, const QVariantList& values)
{
    QSqlDatabase db = QSqlDatabase::database(connection);
    // A server the test restarted: this connection of the test's opens again.
    if (db.driverName() == QLatin1String("QPSQL") && !QSqlQuery(db).exec(QStringLiteral("select 1"))) {
        db.close();
        db.open();
    }
    QSqlQuery query(db);
    // A server does not prepare statements such as `drop` or `begin`: without values they run as they are.
    bool done = values.isEmpty() ? query.exec(sql) : query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (done && !values.isEmpty())
        done = query.exec();
    if (!done)
        throw std::runtime_error((sql + QLatin1String(": ") + query.lastError().text()).toStdString());
    return query;
}

QString serverHost()
{
    return qEnvironmentVariable("VANTREL_TEST_PGHOST");
}

// A connection to the test cluster as its superuser.
QSqlDatabase serverConnection(const QString& name, const QString& database)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(serverHost());
    db.setDatabaseName(database);
    db.setUserName(QStringLiteral("vantrel"));
    if (!db.open())
        throw std::runtime_error("cannot reach the test server: " + db.lastError().text().toStdString());
    return db;
}

// Runs one statement on the cluster's maintenance database.
void onCluster(const QString& sql)
{
    const QString name = QStringLiteral("program-folder-cluster");
    {
        QSqlDatabase db = serverConnection(name, QStringLiteral("postgres"));
        QSqlQuery query(db);
        query.exec(QStringLiteral("set client_min_messages = warning"));
        if (!query.exec(sql))
            throw std::runtime_error(query.lastError().text().toStdString());
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

data::Engine ProgramFolder::engineUnderTest()
{
    return qEnvironmentVariable("VANTREL_TEST_ENGINE") == QLatin1String("postgresql")
               ? data::Engine::PostgreSQL
               : data::Engine::SQLite;
}

ProgramFolder::ProgramFolder(data::Engine engine) : m_engine(engine)
{
    static std::atomic<int> counter{0};
    const int number = ++counter;
    m_connectionName = QStringLiteral("program-folder-%1").arg(number);
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("data"));
    root.mkpath(QStringLiteral("images"));
    for (const char* name : {"vantrel.bmp", "details.bmp", "change.bmp", "sunset2.bmp"})
        QFile::copy(QStringLiteral(VANTREL_IMAGES_DIR "/") + QLatin1String(name),
                    root.filePath(QStringLiteral("images/")) + QLatin1String(name));
    if (m_engine == data::Engine::SQLite) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(databasePath());
        if (!db.open())
            throw std::runtime_error("cannot create the test database");
        data::schema::create(db);
        return;
    }
    m_serverDatabase = QStringLiteral("book_%1_%2").arg(QCoreApplication::applicationPid()).arg(number);
    onCluster(QStringLiteral("drop database if exists %1").arg(m_serverDatabase));
    onCluster(QStringLiteral("create database %1").arg(m_serverDatabase));
    const QSqlDatabase db = serverConnection(m_connectionName, m_serverDatabase);
    data::schema::create(db);
    data::office::secure(db);
    for (const auto& [path, role] :
         {std::pair{root.filePath(QStringLiteral("data/")) + data::ServerSettings::fileName(),
                    QStringLiteral("vantrel_gate")},
          std::pair{administratorSettings(), QStringLiteral("vantrel")}}) {
        QFile settings(path);
        if (!settings.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write the settings file");
        settings.write(QStringLiteral("[server]\nhost = %1\ndatabase = %2\nuser = %3\n")
                           .arg(serverHost(), m_serverDatabase, role)
                           .toUtf8());
    }
}

ProgramFolder::~ProgramFolder()
{
    QSqlDatabase::database(m_connectionName, false).close();
    QSqlDatabase::removeDatabase(m_connectionName);
    if (m_serverDatabase.isEmpty())
        return;
    onCluster(QStringLiteral("drop database if exists %1 with (force)").arg(m_serverDatabase));
    // The accounts' roles are the cluster's: those of databases gone go too.
    onCluster(QStringLiteral(R"(do $$ declare r record; begin
        perform pg_advisory_xact_lock(hashtext('drop the roles of databases gone')); -- one test at a time
        for r in select rolname from pg_roles where rolname ~ '^vantrel_[0-9]+_[0-9]+$'
                   and substring(rolname from '^vantrel_([0-9]+)_')::oid not in (select oid from pg_database) loop
          execute format('drop role %I', r.rolname);
        end loop; end $$)"));
}

QString ProgramFolder::translated(const QString& sql)
{
    namespace schema = data::schema;
    static const QRegularExpression names(
        QStringLiteral("(?<![\"\\w])(%1)(?![\"\\w])")
            .arg((QStringList{schema::userMaster, schema::printDetails, schema::syncBooks, schema::syncCards,
                              QStringLiteral("password")} +
                  schema::userMasterColumns() + schema::mainColumns())
                     .join(QLatin1Char('|'))));
    static const QRegularExpression orderBy(QStringLiteral("order by (.+?)(?=\\)| limit|$)"));
    static const QRegularExpression groupConcat(QStringLiteral("group_concat\\((.+)\\)(?= from)"));
    QString whole = sql;
    whole.replace(groupConcat, QStringLiteral("string_agg((\\1)::text, ',')"));
    whole.replace(QStringLiteral("ifnull("), QStringLiteral("coalesce("));
    // Literals stay as they are; the rest is translated piece by piece.
    QStringList pieces = whole.split(QLatin1Char('\''));
    for (qsizetype i = 0; i < pieces.size(); i += 2) {
        QString& piece = pieces[i];
        piece.replace(names, QStringLiteral("\"\\1\""));
        piece.replace(QStringLiteral("\"password\""), QStringLiteral("\"Password\""));
        piece.replace(QRegularExpression(QStringLiteral("\\browid\\b")),
                      data::dialectOf(data::Engine::PostgreSQL).key);
        for (const QString table : {"main", "\"userMaster\"", "\"printDetails\""}) {
            QStringList columns = table == QLatin1String("main")
                                      ? data::schema::mainColumns() + QStringList{data::schema::columns::uid}
                                  : table == QLatin1String("\"userMaster\"")
                                      ? data::schema::userMasterColumns()
                                      : data::contactColumnNames();
            for (QString& column : columns)
                column = data::quotedName(column);
            piece.replace(QStringLiteral("select * from ") + table, QStringLiteral("select ") +
                                                                        columns.join(QLatin1String(", ")) +
                                                                        QStringLiteral(" from ") + table);
        }
        QRegularExpressionMatch order = orderBy.match(piece);
        if (order.hasMatch()) {
            QStringList terms = order.captured(1).split(QLatin1Char(','));
            for (QString& term : terms)
                term += term.trimmed().endsWith(QLatin1String(" desc")) ? QLatin1String(" nulls last")
                                                                        : QLatin1String(" nulls first");
            piece.replace(order.capturedStart(1), order.capturedLength(1), terms.join(QLatin1Char(',')));
        }
    }
    return pieces.join(QLatin1Char('\''));
}

void ProgramFolder::exec(const QString& sql, const QVariantList& values) const
{
    run(m_connectionName, m_engine == data::Engine::SQLite ? sql : translated(sql), values);
}

void ProgramFolder::holdTheBookOf(const QString& user) const
{
    if (m_engine == data::Engine::SQLite) {
        exec(QStringLiteral("begin immediate"));
        return;
    }
    exec(QStringLiteral("begin"));
    exec(QStringLiteral("select pg_advisory_xact_lock(hashtext(?))"),
         {data::statements::contactsOf(user).insertLockKey()});
}

QList<QVariantList> ProgramFolder::rows(const QString& sql, const QVariantList& values) const
{
    QSqlQuery query = run(m_connectionName, m_engine == data::Engine::SQLite ? sql : translated(sql), values);
    QList<QVariantList> result;
    while (query.next()) {
        QVariantList row;
        for (int i = 0; i < query.record().count(); ++i)
            row << query.value(i);
        result << row;
    }
    return result;
}

QVariant ProgramFolder::value(const QString& sql, const QVariantList& values) const
{
    return rows(sql, values).value(0).value(0);
}

QSqlDatabase ProgramFolder::database() const
{
    return QSqlDatabase::database(m_connectionName);
}

void ProgramFolder::addUser(const QString& user, const QString& password) const
{
    if (m_engine == data::Engine::SQLite) { // as typed, as a book from before keeps it
        exec(QStringLiteral("insert into userMaster (user, Password) values (?, ?)"), {user, password});
        return;
    }
    // On a server an account is a role of its own, made as a sign-up makes it.
    data::Connection gate;
    gate.openProgramDatabase(path());
    if (!data::Accounts(gate).signUp(user, password))
        throw std::runtime_error("the account is there already");
}

void ProgramFolder::addContact(const QString& user, const QMap<QString, QVariant>& columns) const
{
    QStringList names{data::quotedName(QStringLiteral("user"))};
    QStringList marks{QStringLiteral("?")};
    QVariantList values{user};
    for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
        names << data::quotedName(it.key());
        marks << QStringLiteral("?");
        values << it.value();
    }
    run(m_connectionName,
        QStringLiteral("insert into main (%1) values (%2)")
            .arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
        values);
}

void ProgramFolder::addContacts(const QString& columns, const QStringList& contacts) const
{
    const QStringList names = columns.split(QLatin1Char(' '));
    for (const QString& contact : contacts) {
        const QStringList values = contact.split(QLatin1Char('|'));
        QMap<QString, QVariant> row;
        for (qsizetype i = 0; i < names.size(); ++i)
            row.insert(names[i],
                       values.value(i, QStringLiteral("~")) == QLatin1String("~") ? QVariant() : values[i]);
        addContact(row.take(QStringLiteral("user")).toString(), row);
    }
}

} // namespace testing
