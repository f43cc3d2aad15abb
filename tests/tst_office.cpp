// The office server keeps people apart whoever tries otherwise: a colleague
// with the workstations' credentials (the gate) and psql, and a person with
// their own password, trying what the server must refuse; and the server's own
// statement log, which must never hold a password typed in the windows.
#include "Cases.h"
#include "Files.h"
#include "Run.h"
#include "TestSupport.h"

#include "data/Passwords.h"

#include <QRandomGenerator>

using namespace testsupport;

namespace {

struct Answer
{
    bool ok;
    QString text; // what psql printed, rows or error
};

// One statement through psql, as the role, on the book's database.
Answer psql(const Program& program, const QString& role, const QString& sql, const QString& password = {})
{
    QMap<QString, QString> environment;
    if (!password.isEmpty())
        environment.insert("PGPASSWORD", password);
    const Finished ran = runProgram("psql",
                                    {"-X", "-q", "-tA", "-v", "ON_ERROR_STOP=1", "-h",
                                     qEnvironmentVariable("VANTREL_TEST_PGHOST"), "-U", role, "-d",
                                     program.folder.serverDatabase(), "-c", sql},
                                    {.environment = environment});
    return {ran.status == 0, (ran.out + ran.err).trimmed()};
}

// The server role and key of an account, as a person's program works them out from the password.
std::pair<QString, QString> personOf(const Program& program, const QString& user, const QString& password)
{
    const QStringList account =
        psql(program, "vantrel_gate",
             "select role || ' ' || settings from vantrel_access.accounts_of('" + user + "')")
            .text.split(' ');
    return {account.value(0), data::passwords::keyFor(account.value(1), password)};
}

} // namespace

class OfficeTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!onServer())
            QSKIP("The office server's own guarantees.");
    }

    // What a colleague with the workstations' credentials, but no one's password, may not do
    // (office/gate-refusals.cases).
    void theGateReachesNoOnesContacts_data() { addCases("office/gate-refusals.cases"); }

    void theGateReachesNoOnesContacts()
    {
        QFETCH(Case, sample);
        Program program;
        program.folder.addUser("ann", "pw");
        program.folder.addContact("ann", {{"firstName", "Amy"}, {"phone", "5550001"}});
        const Answer answer =
            psql(program, "vantrel_gate", sample["sql"].replace("@db@", program.folder.serverDatabase()));
        QVERIFY2(!answer.ok && answer.text.contains(sample["refusal"]),
                 qPrintable(sample["refusal"] + " in:\n" + answer.text));
        QCOMPARE(program.folder.rows("select firstName, phone from main"), (Rows{{"Amy", "5550001"}}));
        // What the gate may read of an account is public: a salt and the cost, no key and no password.
        const Answer settings =
            psql(program, "vantrel_gate", "select settings from vantrel_access.accounts_of('ann')");
        QVERIFY2(settings.ok && settings.text.startsWith("$argon2id$") && settings.text.endsWith('$'),
                 qPrintable(settings.text));
    }

    // With a person's own password: that person's rows and nothing else.
    void aPersonReachesOnlyTheirOwnRows()
    {
        Program program;
        program.folder.addUser("ann", "ann's pw");
        program.folder.addUser("bob", "bob's pw");
        program.folder.addContacts("user firstName phone", {"ann|Amy|1", "bob|Ben|2"});
        const auto [role, key] = personOf(program, "ann", "ann's pw");
        const auto as = [&, role = role, key = key](const QString& sql) {
            return psql(program, role, sql, key);
        };
        QCOMPARE(as("select \"firstName\" from main").text, "Amy");
        QCOMPARE(as("update main set phone = '9' where \"firstName\" = 'Ben' returning 1").text, "");
        QVERIFY(as("insert into main (\"user\", \"firstName\") values ('bob', 'Planted')")
                    .text.contains("row-level"));
        QVERIFY(as("select * from \"userMaster\"").text.contains("permission denied"));
        QVERIFY(as("insert into \"printDetails\" (\"firstName\") values ('Amy')").ok);
        QCOMPARE(psql(program, personOf(program, "bob", "bob's pw").first,
                      "select count(*) from \"printDetails\"", personOf(program, "bob", "bob's pw").second)
                     .text,
                 "0");
        // What a sync keeps and may do: the same, on that person's rows alone.
        program.folder.exec(
            R"(insert into "syncCards" ("user", "addressBook", uid, href) values ('bob', 'b', 'u', 'h'))");
        QCOMPARE(as("select count(*) from \"syncCards\"").text, "0");
        QVERIFY(as("insert into \"syncBooks\" (\"user\", \"addressBook\") values ('bob', 'b')")
                    .text.contains("row-level"));
        QCOMPARE(as("delete from main where \"firstName\" = 'Ben' returning 1").text, "");
        QCOMPARE(as("delete from \"syncCards\" returning 1").text, "");
        QVERIFY(!psql(program, role, "select 1", personOf(program, "ann", "wrong").second).ok);
        QCOMPARE(program.folder.rows("select firstName, phone from main order by firstName"),
                 (Rows{{"Amy", "1"}, {"Ben", "2"}}));
    }

    // The server's statement log, at its most telling, never holds a password typed in the windows
    // (nor the key that would let its reader in): not at sign-up, login, a failed login or a change.
    void noTypedPasswordReachesTheServersLog()
    {
        Program program([](const testing::ProgramFolder& folder) { // before the program's own session
            folder.exec("alter database " + folder.serverDatabase() + " set log_statement = 'all'");
        });
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator random(seed);
        const auto secret = [&](const char* what) {
            return QString("%1-%2").arg(what).arg(random.generate());
        };
        const QString first = secret("signed-up"), wrong = secret("wrong"), changed = secret("changed");
        program.folder.exec("alter database " + program.folder.serverDatabase() +
                            " set log_statement = 'all'");
        STEPS(open(app::Window::Vantrel), click("lblNewUser"), type("txtUser", "ann"),
              type("txtPassword", first), type("txtRetypePassword", first), click("lblSave"),
              type("txtUser", "ann"), type("txtPassword", wrong), click("lblLogin"),
              type("txtPassword", first), click("lblLogin"), click("lblChangeUser"),
              click("lblChangePassword"), type("cbUser", "ann"), type("txtOldPassword", first),
              type("txtNewPassword", changed), type("txtRetypePassword", changed), click("lblModify"),
              type("txtUser", "ann"), type("txtPassword", changed), click("lblLogin"));
        QCOMPARE(openWindowName(), "frmDetails");
        program.folder.exec("alter database " + program.folder.serverDatabase() + " reset log_statement");
        const QByteArray log =
            fileBytes(qEnvironmentVariable("VANTREL_TEST_PGHOST") + "/server.log").value_or(QByteArray());
        QVERIFY(log.contains("vantrel_access.sign_up")); // the log did record the statements
        for (const QString& typed : {first, wrong, changed})
            QVERIFY2(!log.contains(typed.toUtf8()), qPrintable(typed));
        QVERIFY(!log.contains(personOf(program, "ann", changed).second.toUtf8()));
    }
};

VANTREL_TEST_MAIN(OfficeTest)

#include "tst_office.moc"
