// vantrel-loadtest --pghost SOCKET_FOLDER [--clients 50] [--seconds 60] [--contacts 1000000]
//
// Many workstations on one server: builds a shared book of CONTACTS contacts
// across 50 users on the server whose socket folder is given, then runs
// CLIENTS clients at once, each with its own connection, for SECONDS: each
// opens its user's contacts as the contact window does (the record set),
// browses them and saves new contacts as Save does (the guarded insert). Two
// clients share each user and try the same new names, so every name is raced
// for. It prints saves per second, save and open times, and checks that no
// confirmed save is lost and no name is stored twice. A tool, not a test.
#include "data/BookFiles.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "data/RecordSet.h"
#include "data/Schema.h"
#include "data/ServerSettings.h"
#include "data/Statements.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int users = 50;

struct ClientResult
{
    std::vector<double> saveMs;
    std::vector<double> openMs;
    QStringList confirmed; // names whose save the client saw succeed
    int refused = 0;       // names the other client of the same user stored first
    QString failure;
};

QString userName(int user)
{
    return QStringLiteral("load%1").arg(user, 2, 10, QLatin1Char('0'));
}

void runSql(const QString& settingsPath, const QString& sql)
{
    data::Connection connection;
    data::openBook(connection, settingsPath, false);
    connection.execute(sql);
}

// The shared book, made on the server in one statement: names repeat as real
// ones do, so searches and the duplicate test meet many rows of one name.
void fillBook(const QString& settingsPath, int contacts)
{
    runSql(settingsPath,
           QStringLiteral(
               "insert into \"userMaster\" (\"user\", \"Password\") select 'load' || lpad(u::text, 2, '0'), "
               "'pw' from generate_series(0, %1) u")
               .arg(users - 1));
    runSql(settingsPath,
           QStringLiteral(
               "insert into main (\"user\", category, \"subCategory\", \"firstName\", \"secondName\", "
               "address, phone, mobile, \"EMailH\") select 'load' || lpad((i % %1)::text, 2, '0'), "
               "(array['Friends', 'Relatives', 'Business Partners'])[1 + i % 3], 'Home', "
               "'First' || (i::bigint * 7919 % 5000), 'Second' || i, i || ' Long Street', "
               "lpad((i % 9999999)::text, 7, '0'), lpad(i::text, 10, '0'), 'p' || i || '@example.org' "
               "from generate_series(1, %2) i")
               .arg(users)
               .arg(contacts));
    runSql(settingsPath, QStringLiteral("vacuum analyze"));
}

void client(const QString& settingsPath, int number, int seconds, ClientResult& result)
{
    try {
        data::Connection connection;
        data::openBook(connection, settingsPath, false);
        const QString user = userName(number / 2); // two clients to a user
        QRandomGenerator random{quint32(number)};
        QElapsedTimer clock;
        clock.start();
        for (int round = 0; clock.elapsed() < seconds * 1000; ++round) {
            QElapsedTimer opening;
            opening.start();
            data::RecordSet contacts(connection, data::statements::contactsOf(user));
            contacts.setUniqueOnInsert({data::schema::columns::firstName, data::schema::columns::secondName});
            result.openMs.push_back(double(opening.nsecsElapsed()) / 1e6);
            // Browse: a few moves and looks, as a person reads through the book.
            for (int look = 0; look < 5 && contacts.recordCount() > 0; ++look) {
                contacts.moveFirst();
                for (int step = random.bounded(20); step > 0 && !contacts.eof(); --step)
                    contacts.moveNext();
                if (!contacts.eof())
                    contacts.value(data::schema::columns::address);
            }
            // Save: the same new names as the other client of this user tries.
            for (int save = 0; save < 5; ++save) {
                const QString name = QStringLiteral("New%1_%2").arg(round).arg(save);
                QElapsedTimer saving;
                saving.start();
                contacts.addNew();
                contacts.setValue(data::schema::columns::user, user);
                contacts.setValue(data::schema::columns::firstName, name);
                contacts.setValue(data::schema::columns::secondName, QStringLiteral("Load"));
                try {
                    contacts.update();
                    result.confirmed << name;
                } catch (const data::AlreadyExists&) {
                    contacts.cancelUpdate();
                    ++result.refused;
                }
                result.saveMs.push_back(double(saving.nsecsElapsed()) / 1e6);
            }
            contacts.close();
        }
    } catch (const std::exception& error) {
        result.failure = QString::fromUtf8(error.what());
    }
}

double percentile(std::vector<double> samples, double p)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return samples[std::min(samples.size() - 1, size_t(p * double(samples.size())))];
}

QString argument(const QStringList& args, const char* name, const QString& fallback)
{
    const qsizetype at = args.indexOf(QLatin1String(name));
    return at >= 0 && at + 1 < args.size() ? args[at + 1] : fallback;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString host = argument(args, "--pghost", QString());
    const int clients = argument(args, "--clients", QStringLiteral("50")).toInt();
    const int seconds = argument(args, "--seconds", QStringLiteral("60")).toInt();
    const int contacts = argument(args, "--contacts", QStringLiteral("1000000")).toInt();
    if (host.isEmpty() || clients < 2 || clients > 2 * users) {
        std::fprintf(stderr,
                     "usage: vantrel-loadtest --pghost SOCKET_FOLDER [--clients 2..100] [--seconds 60] "
                     "[--contacts 1000000]\n");
        return 2;
    }
    const QString database = QStringLiteral("loadtest_%1").arg(QCoreApplication::applicationPid());
    QTemporaryDir dir;
    const QString settingsPath = dir.filePath(QStringLiteral("server.conf"));
    {
        QFile settings(settingsPath);
        settings.open(QIODevice::WriteOnly);
        settings.write(QStringLiteral("[server]\nhost = %1\ndatabase = %2\nuser = vantrel\n")
                           .arg(host, database)
                           .toUtf8());
    }
    // The cluster's own database, to make and drop the book's.
    const auto onCluster = [&host](const QString& sql) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
            db.setHostName(host);
            db.setDatabaseName(QStringLiteral("postgres"));
            db.setUserName(QStringLiteral("vantrel"));
            if (!db.open() || !QSqlQuery(db).exec(sql))
                throw data::DataError(db.lastError().text());
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("admin"));
    };
    try {
        onCluster(QStringLiteral("create database ") + database);
        data::createServerTables(settingsPath);
        QElapsedTimer filling;
        filling.start();
        fillBook(settingsPath, contacts);
        std::printf("book: %d contacts of %d users, made in %.1f s\n", contacts, users,
                    double(filling.elapsed()) / 1000);

        std::vector<ClientResult> results(static_cast<size_t>(clients));
        std::vector<std::thread> threads;
        for (int i = 0; i < clients; ++i)
            threads.emplace_back(client, settingsPath, i, seconds, std::ref(results[size_t(i)]));
        for (std::thread& thread : threads)
            thread.join();

        std::vector<double> saves;
        std::vector<double> opens;
        qint64 confirmed = 0;
        int refused = 0;
        for (const ClientResult& result : results) {
            if (!result.failure.isEmpty())
                throw data::DataError(QStringLiteral("a client failed: ") + result.failure);
            saves.insert(saves.end(), result.saveMs.begin(), result.saveMs.end());
            opens.insert(opens.end(), result.openMs.begin(), result.openMs.end());
            confirmed += result.confirmed.size();
            refused += result.refused;
        }
        // Every confirmed save is there once; no name twice for a user.
        data::Connection check;
        data::openBook(check, settingsPath, true);
        QSqlQuery query(check.database());
        data::run(query,
                  QStringLiteral("select count(*), count(distinct (\"user\", \"firstName\")) from main "
                                 "where \"secondName\" = 'Load'"));
        query.next();
        const qint64 stored = query.value(0).toLongLong();
        const qint64 distinct = query.value(1).toLongLong();
        std::printf("clients %d, %d s: %zu saves (%.0f per second), %lld stored, %d refused as the other "
                    "client's\n",
                    clients, seconds, saves.size(), double(saves.size()) / seconds, confirmed, refused);
        std::printf("save ms: median %.1f, 95th percentile %.1f; opening a user's contacts ms: median %.1f, "
                    "95th percentile %.1f\n",
                    percentile(saves, 0.5), percentile(saves, 0.95), percentile(opens, 0.5),
                    percentile(opens, 0.95));
        std::printf("lost: %lld, duplicated: %lld\n", confirmed - stored, stored - distinct);
        onCluster(QStringLiteral("drop database %1 with (force)").arg(database));
        return stored == confirmed && stored == distinct ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vantrel-loadtest: %s\n", error.what());
        return 1;
    }
}
