// vantrel-createdb [FILE]: creates an empty Vantrel database (default:
// data/vantrel.mdb beside the program) with its three tables and indexes.
// An existing file is left exactly as it is.
// vantrel-createdb --server SETTINGS: creates the three tables and indexes in
// the (empty) server database that a settings file such as data/server.conf
// names; tables that exist are left as they are.
#include "data/DataError.h"
#include "data/Schema.h"
#include "data/ServerSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <cstdio>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "vantrel-createdb: %s\n", qPrintable(message));
    return 1;
}

int create(const QString& path)
{
    const QFileInfo file(path);
    if (file.exists()) {
        std::printf("%s exists; left as it is.\n", qPrintable(file.absoluteFilePath()));
        return 0;
    }
    QDir folder = file.absoluteDir();
    if (!folder.exists()) {
        if (!folder.mkpath(QStringLiteral(".")))
            return fail(QStringLiteral("cannot create folder %1").arg(folder.path()));
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // The file is the owner's alone from its first byte on.
    {
        QFile blank(file.absoluteFilePath());
        if (!blank.open(QIODevice::NewOnly | QIODevice::WriteOnly))
            return fail(QStringLiteral("cannot create %1: %2").arg(path, blank.errorString()));
        blank.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    const QString name = QStringLiteral("createdb");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file.absoluteFilePath());
        if (!db.open())
            return fail(db.lastError().text());
        try {
            data::schema::create(db);
        } catch (const data::DataError& error) {
            db.close();
            QFile::remove(file.absoluteFilePath());
            return fail(error.description());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    std::printf("created %s\n", qPrintable(file.absoluteFilePath()));
    return 0;
}

int createOnServer(const QString& settingsPath)
{
    const QString name = QStringLiteral("createdb-server");
    int status = 0;
    {
        data::ServerSettings settings;
        try {
            settings = data::ServerSettings::read(settingsPath);
        } catch (const data::DataError& error) {
            return fail(error.description());
        }
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(settings.host);
        if (settings.port)
            db.setPort(settings.port);
        db.setDatabaseName(settings.database);
        db.setUserName(settings.user);
        db.setConnectOptions(settings.connectOptions());
        if (!db.open())
            return fail(
                QStringLiteral("cannot reach %1: %2").arg(settings.describe(), db.lastError().text()));
        try {
            data::schema::create(db);
            std::printf("the tables of %s are ready\n", qPrintable(settings.describe()));
        } catch (const data::DataError& error) {
            status = fail(error.description());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return status;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--server"))
        return createOnServer(args[2]);
    if (args.size() > 2 || (args.size() == 2 && args[1].startsWith(QLatin1Char('-'))))
        return fail(QStringLiteral("usage: vantrel-createdb [FILE] | --server SETTINGS"));
    const QString path = args.size() == 2
                             ? args[1]
                             : QCoreApplication::applicationDirPath() + QLatin1String("/../data/vantrel.mdb");
    return create(QDir::cleanPath(path));
}
