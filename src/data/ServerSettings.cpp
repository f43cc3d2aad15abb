#include "data/ServerSettings.h"

#include "data/DataError.h"

#include <QFileInfo>
#include <QSettings>
#include <QSqlDatabase>
#include <QStringList>

#include <pwd.h>
#include <unistd.h>

namespace data {

namespace {

const QStringList known{QStringLiteral("host"),     QStringLiteral("port"),    QStringLiteral("database"),
                        QStringLiteral("user"),     QStringLiteral("sslmode"), QStringLiteral("sslrootcert"),
                        QStringLiteral("passfile"), QStringLiteral("service")};
const QStringList sslModes{QStringLiteral("disable"),   QStringLiteral("allow"),
                           QStringLiteral("prefer"),    QStringLiteral("require"),
                           QStringLiteral("verify-ca"), QStringLiteral("verify-full")};

[[noreturn]] void malformed(const QString& path, const QString& why)
{
    throw DataError(QStringLiteral("The settings file %1 %2.").arg(path, why));
}

// A value as libpq reads it in a connection string: in single quotes, with
// backslash and quote escaped. libpq offers no function for it, and Qt's own
// quoting is private to its driver, which applies it to host, database and
// user only.
QString quoted(QString value)
{
    value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    value.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

// libpq takes an absolute path, or a name starting with @ (an abstract
// socket), for a local socket.
bool isLocalSocket(const QString& host)
{
    return host.startsWith(QLatin1Char('/')) || host.startsWith(QLatin1Char('@'));
}

// The password file libpq reads: passfile, else PGPASSFILE, else .pgpass in
// HOME (else the account's home folder).
QString passwordFileInUse(const QString& passfile)
{
    if (!passfile.isEmpty())
        return passfile;
    QString fromEnvironment = qEnvironmentVariable("PGPASSFILE");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty())
        if (const passwd* account = getpwuid(geteuid()))
            home = QFile::decodeName(account->pw_dir);
    return home.isEmpty() ? QString() : home + QLatin1String("/.pgpass");
}

// libpq ignores a password file that is not a plain file or that others may
// use, with only a warning on the error stream; the window would then merely
// say that no password was supplied.
void refuseIgnoredPasswordFile(const QString& passfile)
{
    const QFileInfo file(passwordFileInUse(passfile));
    if (file.filePath().isEmpty() || !file.exists())
        return; // none: the server is asked without a password
    const QString path = file.filePath();
    if (!file.isFile())
        throw DataError(
            QStringLiteral("The password file %1 is not a plain file, so the server's library ignores it.")
                .arg(path));
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (file.permissions() & others)
        throw DataError(
            QStringLiteral("The password file %1 %2, so the server's library ignores it: chmod 600 %1")
                .arg(path, file.permissions() & (QFile::ReadGroup | QFile::ReadOther)
                               ? QStringLiteral("is readable by others")
                               : QStringLiteral("is open to others")));
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
        // The INI reader makes a list of a value with a comma, and reads @Variant(...) as data.
        const QVariant value = file.value(key);
        if (value.typeId() != QMetaType::QString)
            malformed(path, QStringLiteral("has a %1 that is not one text (a value with a comma needs "
                                           "double quotes)")
                                .arg(key));
        // A NUL would end the connection string early, dropping the settings after it.
        for (const QChar c : value.toString())
            if (c.category() == QChar::Other_Control)
                malformed(path,
                          QStringLiteral("has a line break or another control character in %1").arg(key));
    }
    ServerSettings settings;
    settings.host = file.value(QStringLiteral("host")).toString();
    settings.database = file.value(QStringLiteral("database")).toString();
    settings.user = file.value(QStringLiteral("user")).toString();
    settings.sslmode = file.value(QStringLiteral("sslmode")).toString();
    settings.sslrootcert = file.value(QStringLiteral("sslrootcert")).toString();
    settings.passfile = file.value(QStringLiteral("passfile")).toString();
    settings.service = file.value(QStringLiteral("service")).toString();
    if (file.contains(QStringLiteral("port"))) {
        const QString port = file.value(QStringLiteral("port")).toString();
        bool number = false;
        settings.port = port.toInt(&number);
        if (!number || settings.port < 1 || settings.port > 65535)
            malformed(path, QStringLiteral("has port '%1', which is not a number from 1 to 65535").arg(port));
    }
    if (settings.database.isEmpty() && settings.service.isEmpty())
        malformed(path, QStringLiteral("names no database (database = ..., or a service)"));
    if (!settings.sslmode.isEmpty() && !sslModes.contains(settings.sslmode))
        malformed(path, QStringLiteral("has sslmode '%1'; use one of %2")
                            .arg(settings.sslmode, sslModes.join(QLatin1String(", "))));
    // Qt's driver turns every ';' of the options it passes on into a blank.
    for (const auto& [key, value] :
         {std::pair{"sslrootcert", settings.sslrootcert}, std::pair{"passfile", settings.passfile},
          std::pair{"service", settings.service}})
        if (value.contains(QLatin1Char(';')))
            malformed(path,
                      QStringLiteral("has a ';' in %1, which the connection to the server cannot carry; "
                                     "rename the file or entry")
                          .arg(QLatin1String(key)));
    const QFileInfo rootCertificate(settings.sslrootcert);
    if (!settings.sslrootcert.isEmpty() && !(rootCertificate.isFile() && rootCertificate.isReadable()))
        malformed(path, QStringLiteral("names the certificate file '%1' (sslrootcert), which cannot be read")
                            .arg(settings.sslrootcert));
    // libpq passes over a password file it cannot open without a word.
    if (!settings.passfile.isEmpty() && !QFileInfo(settings.passfile).isReadable())
        malformed(path, QStringLiteral("names the password file '%1' (passfile), which cannot be read")
                            .arg(settings.passfile));
    refuseIgnoredPasswordFile(settings.passfile);
    return settings;
}

QString ServerSettings::effectiveSslMode() const
{
    if (!sslmode.isEmpty())
        return sslmode;
    // libpq's own default, prefer, falls back to plain text and takes any certificate.
    for (const QString& one : host.split(QLatin1Char(',')))
        if (!one.trimmed().isEmpty() && !isLocalSocket(one.trimmed()))
            return QStringLiteral("verify-full");
    return {};
}

QString ServerSettings::connectOptions() const
{
    QStringList options{QStringLiteral("connect_timeout=10"), QStringLiteral("application_name=vantrel")};
    const auto add = [&options](const char* key, const QString& value) {
        if (!value.isEmpty())
            options << QLatin1String(key) + QLatin1Char('=') + quoted(value);
    };
    add("sslmode", effectiveSslMode());
    add("sslrootcert", sslrootcert);
    add("passfile", passfile);
    add("service", service);
    // Blanks, not Qt's ';' separators: read() refused any ';' in a value.
    return options.join(QLatin1Char(' '));
}

void ServerSettings::applyTo(QSqlDatabase& db) const
{
    // Qt quotes host, database and user itself.
    db.setHostName(host);
    if (port)
        db.setPort(port);
    db.setDatabaseName(database);
    db.setUserName(user);
    db.setConnectOptions(connectOptions());
}

QString ServerSettings::explain(const QString& engineText) const
{
    const QString mode = effectiveSslMode();
    if (!mode.startsWith(QLatin1String("verify-")) ||
        !(engineText.contains(QLatin1String("SSL")) || engineText.contains(QLatin1String("certificate"))))
        return engineText;
    const QString why = sslmode.isEmpty()
                            ? QStringLiteral("verify-full, the default for a host on the network")
                            : QStringLiteral("sslmode ") + mode;
    return engineText +
           QStringLiteral("\nThe server's certificate is checked (%1): name the certificate of the "
                          "authority that signed it with sslrootcert in %2, or choose another "
                          "sslmode there.")
               .arg(why, fileName());
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
