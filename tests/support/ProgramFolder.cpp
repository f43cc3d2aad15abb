#include "ProgramFolder.h"

#include "data/Schema.h"
#include "data/Statements.h"

#include <QDir>
#include <QFile>
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
    QSqlQuery query(QSqlDatabase::database(connection));
    if (!query.prepare(sql))
        throw std::runtime_error((sql + QLatin1String(": ") + query.lastError().text()).toStdString());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw std::runtime_error((sql + QLatin1String(": ") + query.lastError().text()).toStdString());
    return query;
}

} // namespace

ProgramFolder::ProgramFolder()
{
    static std::atomic<int> counter{0};
    m_connectionName = QStringLiteral("program-folder-%1").arg(++counter);
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("data"));
    root.mkpath(QStringLiteral("images"));
    for (const char* name : {"vantrel.bmp", "details.bmp", "change.bmp", "sunset2.bmp"})
        QFile::copy(QStringLiteral(VANTREL_IMAGES_DIR "/") + QLatin1String(name),
                    root.filePath(QStringLiteral("images/")) + QLatin1String(name));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(databasePath());
    if (!db.open())
        throw std::runtime_error("cannot create the test database");
    data::schema::create(db);
}

ProgramFolder::~ProgramFolder()
{
    QSqlDatabase::database(m_connectionName, false).close();
    QSqlDatabase::removeDatabase(m_connectionName);
}

void ProgramFolder::exec(const QString& sql, const QVariantList& values) const
{
    run(m_connectionName, sql, values);
}

QList<QVariantList> ProgramFolder::rows(const QString& sql, const QVariantList& values) const
{
    QSqlQuery query = run(m_connectionName, sql, values);
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

void ProgramFolder::addUser(const QString& user, const QString& password) const
{
    exec(QStringLiteral("insert into userMaster (user, Password) values (?, ?)"), {user, password});
}

void ProgramFolder::addContact(const QString& user, const QMap<QString, QVariant>& columns) const
{
    QStringList names{QStringLiteral("user")};
    QStringList marks{QStringLiteral("?")};
    QVariantList values{user};
    for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
        names << data::quotedName(it.key());
        marks << QStringLiteral("?");
        values << it.value();
    }
    exec(QStringLiteral("insert into main (%1) values (%2)")
             .arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
         values);
}

} // namespace testing
