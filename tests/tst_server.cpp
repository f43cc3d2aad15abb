// The book on a PostgreSQL server: the settings file, several workstations at
// once, a server that stops and comes back, and moving a book there and back.
#include "Cases.h"
#include "Files.h"
#include "TestSupport.h"

#include "data/Accounts.h"
#include "data/BookFiles.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "data/Passwords.h"
#include "data/Schema.h"
#include "data/ServerSettings.h"
#include "migration/Migration.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>

using namespace testsupport;

namespace {

void cluster(const char* command)
{
    QCOMPARE(QProcess::execute(VANTREL_PG_CLUSTER, {command, qEnvironmentVariable("VANTREL_TEST_PGHOST")}),
             0);
}

QString settingsOf(const Program& program)
{
    return program.folder.path() + "/data/server.conf";
}

// What connecting with these settings says: "connected", or the program's message when it cannot.
QString connectingWith(const QString& file, const QString& settings)
{
    QString said = writeFile(file, settings.toUtf8()) ? "connected" : "cannot write " + file;
    try {
        const data::ServerSettings server = data::ServerSettings::read(file);
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "settings-under-test");
        server.applyTo(db);
        if (!db.open()) // once more as a book is opened, for its message
            data::Connection().openServer(server);
    } catch (const data::DataError& error) {
        said = error.description();
    }
    QSqlDatabase::removeDatabase("settings-under-test");
    return said;
}

} // namespace

class ServerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each value of the settings file stays one value: a blank or a keyword in it never brings a password,
    // another server or another setting, and quotes, backslashes and blanks reach the server as written.
    // A password file libpq would pass over is refused before connecting. A host on the network is
    // verify-full by default: tried on a second cluster that lets TCP in over TLS only, for "localhost".
    void settingsCannotBeTurnedAgainstTheUser()
    {
        const QString socket = qEnvironmentVariable("VANTREL_TEST_PGHOST"), tls = socket + "-tls";
        QCOMPARE(QProcess::execute(VANTREL_PG_CLUSTER, {"start-tls", tls}), 0);
        const auto stop = qScopeGuard([&] { QProcess::execute(VANTREL_PG_CLUSTER, {"stop", tls}); });
        testing::ProgramFolder folder; // uppercase PASSWORD: not a column for the test's translation
        folder.exec("create role clerk login PASSWORD 'clerk-secret'; create role \"o'k \\ x\" login");
        const auto dropRoles = qScopeGuard([&] { folder.exec("drop role clerk; drop role \"o'k \\ x\""); });
        const QString dir = folder.path();
        QVERIFY(QDir(dir).mkpath("home") && QFile::link(socket, dir + "/o'k \\ socket"));
        for (const QString name :
             {"pass file", "pw password=clerk-secret", "pw sslmode=disable", "shared", "home/.pgpass"}) {
            QVERIFY(writeFile(dir + '/' + name,
                              name.startsWith("pw") ? "*:*:*:clerk:wrong\n" : "*:*:*:clerk:clerk-secret\n"));
            const bool shared = name == "shared" || name.startsWith("home");
            QFile::setPermissions(dir + '/' + name, QFile::ReadOwner | QFile::WriteOwner |
                                                        (shared ? QFile::ReadGroup : QFile::Permissions()));
        }
        const QString port = QString::fromLatin1(fileBytes(tls + "/port").value_or("")).trimmed();
        qputenv("PGSSLROOTCERT", dir.toUtf8() + "/none.crt"); // not libpq's ~/.postgresql/root.crt
        const QByteArray home = qgetenv("HOME");
        QStringList wrong; // every case that says otherwise
        for (const Case& c : casesIn("server/settings.cases")) {
            const auto filled = [&](QString text) {
                return text.replace("@dir@", dir).replace("@tls@", tls).replace("@port@", port);
            };
            const QString settings = filled(c["settings"]), expected = filled(c["gives"]);
            if (!c["variable"].isNull())
                qputenv(c["variable"].section('=', 0, 0).toUtf8(),
                        filled(c["variable"].section('=', 1)).toUtf8());
            const QString said = connectingWith(dir + "/server.conf",
                                                "[server]\ndatabase = postgres\n" + settings +
                                                    (settings.contains("host =") ? "" : "host = " + socket));
            qputenv("HOME", home);
            qunsetenv("PGPASSFILE");
            if (expected == "connected" ? said != expected : !said.contains(expected))
                wrong << c.name + ": " + said + "\n    expected: " + expected;
        }
        qunsetenv("PGSSLROOTCERT");
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("\n")));
    }

    // The server restarts while the workstation stands idle: the next action simply works on a new
    // connection, a move, a save and a search alike.
    void aServerRestartBetweenActionsGoesUnnoticed()
    {
        Program program;
        program.folder.addUser("ann", "pw");
        for (const char* name : {"Abe", "Bea"})
            program.folder.addContact("ann", {{"firstName", QLatin1String(name)}});
        STEPS(openContacts("ann"));
        cluster("restart");
        STEPS(click("cmdNext"));
        QCOMPARE(text("txtFirstName"), "Bea");
        cluster("restart");
        STEPS(click("cmdAdd"), type("txtFirstName", "Cy"), click("cmdSave"));
        cluster("restart");
        STEPS(click("lblSearch"), type("txtFirstName", "Bea"), click("lblViewDetails"));
        QCOMPARE(text("txtFirstName"), "Bea");
        QCOMPARE(program.prompts(), QStringList{"Record Saved"});
        QVERIFY(!program.ended());
    }

    // The server stops during a session: the save that needs it shows the engine's text and keeps what
    // was typed; once the server is back, Save simply works, with no restart of the program.
    void aSaveWaitsForTheServersReturn()
    {
        Program program;
        program.folder.addUser("ann", "pw");
        STEPS(open(app::Window::Vantrel), type("txtUser", "ann"), type("txtPassword", "pw"),
              click("cmdLogin"), click("cmdAdd"), type("txtFirstName", "Patient"),
              type("txtAddress", "1 Typed Street"));
        cluster("kill");
        STEPS(click("cmdSave"));
        QVERIFY(!program.ended());
        QVERIFY2(program.lastPrompt().endsWith("Cancelling Transaction..........."),
                 qPrintable(program.lastPrompt()));
        QVERIFY(enabled("lblSave") && text("txtFirstName") == "Patient" &&
                text("txtAddress") == "1 Typed Street");
        cluster("resume");
        STEPS(click("cmdSave"));
        QCOMPARE(program.lastPrompt(), "Record Saved");
        // A name longer than the server's index takes is refused the same way.
        QString longName;
        QRandomGenerator letters(7);
        for (int i = 0; i < 10000; ++i) // random, so that the server cannot compress it into its index
            longName += QChar('a' + letters.bounded(26));
        STEPS(click("cmdAdd"), type("txtFirstName", longName), click("cmdSave"));
        QVERIFY2(program.lastPrompt().contains("index row"), qPrintable(program.lastPrompt()));
        QVERIFY(enabled("lblSave") && text("txtFirstName").size() == 10000);
        QCOMPARE(program.folder.rows("select firstName, address from main"),
                 (Rows{{"Patient", "1 Typed Street"}}));
    }

    // The server crashes and comes back during a burst of saves: the workstation carries on, and no save
    // it confirmed is lost.
    void aServerRestartLosesNoConfirmedSave()
    {
        Program program;
        program.folder.addUser("ann", "pw");
        program.session.reset();
        constexpr int count = 1000;
        std::unique_ptr<QProcess> burst(startWorkstation(program, "retry", count, "K"));
        QVERIFY(burst->waitForReadyRead(60000));
        QTest::qWait(200);
        cluster("restart");
        const bool finished = burst->waitForFinished(240000);
        QVERIFY2(finished && burst->exitCode() == 0, burst->readAllStandardError().constData());
        const QSet<QString> confirmed = savedBy(*burst);
        QVERIFY(confirmed.size() >= count - 2); // the few around the crash may have been stored unconfirmed
        QSet<QString> stored;
        for (const QVariantList& row : program.folder.rows("select firstName from main"))
            stored << row[0].toString();
        QCOMPARE(stored.size(), count); // every contact, once: a second try never stores it twice
        QVERIFY(stored.contains(confirmed));
    }

    // A whole book with hostile texts moves from the file to the server and back, field for field.
    void aBookMovesToTheServerAndBack()
    {
        Program server;
        testing::ProgramFolder file(data::Engine::SQLite);
        const QStringList texts{
            "O'Brien \"Ned\"; Jr.", "x' or '1'='1",  "Ελένη 李小龍 دانيال", "😀👍🏽👨‍👩‍👧",
            "  padded  ",           "line\none\r\n", QString(100000, 'a'),  ""};
        for (int i = 0; i < 40; ++i) {
            QMap<QString, QVariant> contact;
            for (const QString& column : data::contactColumnNames())
                contact[column] =
                    (i + column.size()) % 9 == 8 ? QVariant() : QVariant(texts[(i + column.size()) % 8]);
            contact["firstName"] = texts[i % 6] + QString::number(i); // indexed: no 100 KB names
            file.addContact(i % 3 ? "ann" : "bo'b", contact);
        }
        file.addUser("ann", texts[2]);   // as typed, by a book from before
        file.addUser("bo'b", QString()); // no password at all
        file.exec("insert into userMaster values ('cy', ?)", {data::passwords::hash("cy's")});
        file.exec("insert into printDetails (firstName, address) values (?, ?)", {texts[3], texts[5]});
        server.session.reset();
        // The administrator migrates, as the book's owner; workstations could not.
        const QString admin = server.folder.administratorSettings();
        const auto copy = [](const QString& from, const QString& to, bool replace) {
            data::Connection source, target;
            data::openBook(source, from, true);
            data::openBook(target, to, false);
            return migration::copyBook(source, target, replace);
        };
        QVERIFY_THROWS_EXCEPTION(data::DataError, copy(file.databasePath(), settingsOf(server), false));
        QCOMPARE(copy(file.databasePath(), admin, false), (migration::Counts{3, 40, 1}));
        QVERIFY_THROWS_EXCEPTION(data::DataError, copy(file.databasePath(), admin, false));
        QCOMPARE(copy(file.databasePath(), admin, true), (migration::Counts{3, 40, 1}));
        // Every account logs in on the server, with its password; none is kept there as typed.
        data::Connection gate;
        gate.openProgramDatabase(server.folder.path());
        data::Accounts accounts(gate);
        QVERIFY(accounts.logIn("ann", texts[2]) && accounts.logIn("cy", "cy's") &&
                !accounts.logIn("ann", "cy's"));
        QVERIFY(!accounts.logIn("bo'b", QString()));
        QCOMPARE(server.folder.value("select count(*) from userMaster where Password = ?", {texts[2]}), 0);
        testing::ProgramFolder back(data::Engine::SQLite);
        QCOMPARE(copy(admin, back.databasePath(), false), (migration::Counts{3, 40, 1}));
        for (const QString table : {"main", "printDetails"}) {
            const QString all = "select * from " + table + " order by rowid";
            QCOMPARE(back.rows(all), file.rows(all));
            QCOMPARE(server.folder.rows(all), file.rows(all));
        }
        const QString names = "select user from userMaster order by rowid";
        QCOMPARE(back.rows(names), file.rows(names));
    }
};

VANTREL_TEST_MAIN(ServerTest)

#include "tst_server.moc"
