#include "data/BookFiles.h"

#include "data/Connection.h"
#include "data/DataError.h"
#include "data/Schema.h"
#include "data/ServerSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>

namespace data {

namespace {

// A connection of its own for the moment of creation.
template <typename Use> void withDatabase(const QString& driver, const QString& name, Use use)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, name);
        try {
            use(db);
        } catch (const DataError&) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

bool createBookFile(const QString& path)
{
    const QFileInfo file(path);
    if (file.exists())
        return false;
    QDir folder = file.absoluteDir();
    if (!folder.exists()) {
        if (!folder.mkpath(QStringLiteral(".")))
            throw DataError(QStringLiteral("cannot create folder %1").arg(folder.path()));
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    {
        QFile blank(file.absoluteFilePath());
        if (!blank.open(QIODevice::NewOnly | QIODevice::WriteOnly))
            throw DataError(QStringLiteral("cannot create %1: %2").arg(path, blank.errorString()));
        blank.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    try {
        withDatabase(QStringLiteral("QSQLITE"), QStringLiteral("create-book-file"), [&](QSqlDatabase& db) {
            db.setDatabaseName(file.absoluteFilePath());
            if (!db.open())
                throw DataError(db.lastError().text());
            schema::create(db);
        });
    } catch (const DataError&) {
        QFile::remove(file.absoluteFilePath());
        throw;
    }
    return true;
}

void createServerTables(const QString& settingsPath)
{
    const ServerSettings settings = ServerSettings::read(settingsPath);
    withDatabase(QStringLiteral("QPSQL"), QStringLiteral("create-server-tables"), [&](QSqlDatabase& db) {
        settings.applyTo(db);
        if (!db.open())
            throw DataError(QStringLiteral("cannot reach %1: %2")
                                .arg(settings.describe(), db.lastError().text().trimmed()));
        schema::create(db);
    });
}

void openBook(Connection& connection, const QString& where, bool readOnly)
{
    const auto mode = readOnly ? Connection::OpenMode::ReadOnly : Connection::OpenMode::ReadWrite;
    if (where.endsWith(QLatin1String(".conf")))
        connection.openServer(ServerSettings::read(where), mode);
    else
        connection.open(where, mode);
}

} // namespace data
