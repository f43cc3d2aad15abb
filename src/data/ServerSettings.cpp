#include "data/ServerSettings.h"

#include "data/DataError.h"

#include <QFileInfo>
#include <QSettings>
#include <QSqlDatabase>
#include <QStringList>

namespace data {

namespace {

const QStringList known{QStringLiteral("host"),   QStringLiteral("port"),    QStringLiteral("database"),
                        QStringLiteral("user"),   QStringLiteral("sslmode"), QStringLiteral("passfile"),
                        QStringLiteral("service")};
const QStringList sslModes{QStringLiteral("disable"),   QStringLiteral("allow"),
                           QStringLiteral("prefer"),    QStringLiteral("require"),
                           QStringLiteral("verify-ca"), QStringLiteral("verify-full")};

[[noreturn]] void malformed(const QString& path, const QString& why)
{
    throw DataError(QStringLiteral("The settings file %1 %2.").arg(path, why));
}

} // namespace

ServerSettings ServerSettings::read(const QString& path)
{
    if (!QFileInfo(path).isReadable())
        malformed(path, QStringLiteral("cannot be read"));
    QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError)
        malformed(path, QStringLiteral("is not in the expected form ([server] and key = value lines)"));
    const QStringList groups = file.childGroups();
    if (groups != QStringList{QStringLiteral("server")} || !file.childKeys().isEmpty())
        malformed(path, QStringLiteral("must hold one section, [server], and nothing outside it"));
    file.beginGroup(QStringLiteral("server"));
    for (const QString& key : file.childKeys()) {
        if (key.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0)
            malformed(path, QStringLiteral(
                                "holds a password; keep it in a libpq password file (passfile) instead"));
        if (!known.contains(key))
            malformed(path, QStringLiteral("has an unknown setting '%1'; known are %2")
                                .arg(key, known.join(QLatin1String(", "))));
    }
    ServerSettings settings;
    settings.host = file.value(QStringLiteral("host")).toString();
    settings.database = file.value(QStringLiteral("database")).toString();
    settings.user = file.value(QStringLiteral("user")).toString();
    settings.sslmode = file.value(QStringLiteral("sslmode")).toString();
    settings.passfile = file.value(QStringLiteral("passfile")).toString();
    settings.service = file.value(QStringLiteral("service")).toString();
    if (file.contains(QStringLiteral("port"))) {
        bool number = false;
        settings.port = file.value(QStringLiteral("port")).toString().toInt(&number);
        if (!number || settings.port <= 0 || settings.port > 65535)
            malformed(path, QStringLiteral("has a port that is not a number from 1 to 65535"));
    }
    if (settings.database.isEmpty() && settings.service.isEmpty())
        malformed(path, QStringLiteral("names no database (database = ..., or a service)"));
    if (!settings.sslmode.isEmpty() && !sslModes.contains(settings.sslmode))
        malformed(path, QStringLiteral("has sslmode '%1'; use one of %2")
                            .arg(settings.sslmode, sslModes.join(QLatin1String(", "))));
    return settings;
}

void ServerSettings::applyTo(QSqlDatabase& db) const
{
    db.setHostName(host);
    if (port)
        db.setPort(port);
    db.setDatabaseName(database);
    db.setUserName(user);
    QStringList options{QStringLiteral("connect_timeout=10"), QStringLiteral("application_name=vantrel")};
    if (!sslmode.isEmpty())
        options << QStringLiteral("sslmode=") + sslmode;
    if (!passfile.isEmpty())
        options << QStringLiteral("passfile=") + passfile;
    if (!service.isEmpty())
        options << QStringLiteral("service=") + service;
    db.setConnectOptions(options.join(QLatin1Char(';')));
}

QString ServerSettings::describe() const
{
    QString where = database.isEmpty() ? QStringLiteral("service %1").arg(service) : database;
    if (!host.isEmpty())
        where += QStringLiteral(" on ") + host;
    if (port)
        where += QStringLiteral(":%1").arg(port);
    return where;
}

} // namespace data
