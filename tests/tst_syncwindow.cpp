// vantrel-sync's window, driven by its controls' names, and its real command
// line, against a Radicale of their own (tests/radicale) and a gnome-keyring of
// their own (tests/keyring/keyring-session.sh, in a temporary HOME).
#include "Files.h"
#include "Run.h"
#include "TestSupport.h"

#include "data/Connection.h"
#include "sync/CardDavClient.h"
#include "syncwindow/SyncWindow.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>

namespace {

QString firstLine(const QString& path)
{
    return QString::fromUtf8(testsupport::fileBytes(path).value_or(QByteArray()).trimmed());
}

// Files under `folder` whose bytes hold `secret`. Another process reads them:
// a file of an open book opened and closed by this process would drop the
// engine's locks on it, and another program would then take the book for its own.
QStringList filesHolding(const QString& folder, const QString& secret)
{
    return testsupport::runProgram("grep", {"-rlaF", "--", secret, folder})
        .out.split('\n', Qt::SkipEmptyParts);
}

} // namespace

class SyncWindowTest : public QObject
{
    Q_OBJECT

    davsync::Account m_account; // ann on the test's Radicale
    QUrl m_book;                // this run's address book: one per engine, on the same server

    // ann's entry in the keyring, and what it holds as another program reads it.
    QString key() const
    {
        return QStringLiteral("%1@%2:%3").arg(m_account.user, m_book.host()).arg(m_book.port());
    }
    QString kept() const
    {
        return testsupport::runProgram("secret-tool", {"lookup", "server", "vantrel-sync", "user", key()})
            .out;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString server = qEnvironmentVariable("VANTREL_TEST_RADICALE");
        if (server.isEmpty() || qEnvironmentVariableIsEmpty("VANTREL_KEYRING_SESSION"))
            QSKIP("Run through ctest, which starts a CardDAV server and a keyring of the test's own.");
        m_account = {QUrl(firstLine(server + "/url")), firstLine(server + "/user"),
                     firstLine(server + "/password")};
        m_book = m_account.url.resolved(QUrl(
            QStringLiteral("/%1/vantrel-%2/").arg(m_account.user, testsupport::onServer() ? "pg" : "file")));
        const davsync::DavError made = davsync::CardDavClient(m_account).createAddressBook(m_book, "Vantrel");
        QVERIFY2(!made, qPrintable(made.message));
    }

    // Log in, refusals that change nothing, a sync with the password typed and
    // kept, then one with the box empty that gets it from the keyring; then the
    // command line on the last set-up.
    void syncsThroughTheWindowAndTheCommandLine()
    {
        testsupport::Program program;
        program.folder.addUser("ann", "pw");
        program.folder.addContact("ann", {{"firstName", "Amy"}, {"secondName", "Lee"}, {"mobile", "0701"}});
        data::Connection connection;
        connection.openProgramDatabase(program.folder.path());
        SyncWindow window(connection);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(window.windowTitle(), "Vantrel Sync");
        const auto type = [&](const char* box, const QString& text) {
            window.findChild<QLineEdit*>(box)->setText(text);
        };
        const auto sync = [&] { window.findChild<QPushButton*>("cmdSync")->click(); };
        const auto page = [&] {
            return window.findChild<QStackedWidget*>("pages")->currentWidget()->objectName();
        };
        const auto book = [&] {
            return program.folder.rows("select firstName, secondName, mobile from main order by firstName");
        };

        type("txtUser", "ann");
        type("txtPassword", "wrong");
        window.findChild<QPushButton*>("cmdLogin")->click();
        QCOMPARE(page(), "loginPage");
        type("txtPassword", "pw");
        window.findChild<QPushButton*>("cmdLogin")->click();
        QCOMPARE(page(), "setupPage");

        const testsupport::Rows before = book();
        type("txtUrl", "http://example.org/");
        type("txtDavUser", m_account.user);
        type("txtDavPassword", m_account.password);
        sync();
        type("txtUrl", m_book.toString());
        type("txtDavPassword", "");
        sync();
        type("txtDavPassword", "wrong");
        sync();
        QCOMPARE(
            program.prompts(),
            QStringList({"User or Password does not match",
                         "http://example.org/ is not HTTPS: a CardDAV server is reached only over HTTPS, "
                         "plain HTTP only on this computer (localhost).",
                         "Type the CardDAV password: the keyring holds none for " + key() + ".",
                         "The CardDAV server refused the user name or password."}));
        QCOMPARE(program.messages.last().title, "Vantrel Sync");
        QCOMPARE(book(), before);
        QCOMPARE(kept(), "");

        type("txtDavPassword", m_account.password);
        sync();
        QCOMPARE(program.messages.size(), 4);
        QCOMPARE(kept(), m_account.password);
        QCOMPARE(window.findChild<QLineEdit*>("txtDavPassword")->text(), "");
        for (const QString& folder : {QDir::homePath(), program.folder.path()})
            QCOMPARE(filesHolding(folder, m_account.password), QStringList());
        davsync::CardDavClient phone(m_account);
        QCOMPARE(phone.listCards(m_book).value.size(), 1);

        const QByteArray bo = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:bo-1\r\nN:Berg;Bo;;;\r\nFN:Bo Berg\r\n"
                              "TEL;TYPE=CELL:0702\r\nEND:VCARD\r\n";
        QVERIFY(phone.put(m_book.resolved(QUrl("bo-1.vcf")), bo, {}).ok());
        sync();
        QCOMPARE(program.messages.size(), 4);
        QCOMPARE(book(), testsupport::Rows({{"Amy", "Lee", "0701"}, {"Bo", "Berg", "0702"}}));
        QCOMPARE(window.findChild<QPlainTextEdit*>("txtSummary")->toPlainText(),
                 "1 new from the address book, 0 changed here, 0 sent, 0 removed, 0 conflicts.\n");

        // The real program: a wrong password, the keyring's forgotten and asked for, then kept again.
        QVERIFY(QFile::copy(VANTREL_SYNC, program.folder.path() + "/vantrel-sync"));
        const QByteArray typed = "pw\n" + m_account.password.toUtf8() + "\n";
        const struct
        {
            QStringList args;
            QByteArray input;
            int status;
            QString kept;
        } runs[] = {{{"--user", "ann"}, "PW\n", 1, m_account.password},
                    {{"--user", "ann", "--forget-password"}, typed, 0, ""},
                    {{"--user", "ann", "--url", m_book.toString(), "--dav-user", "ann"},
                     typed,
                     0,
                     m_account.password},
                    {{"--user", "ann"}, "pw\n", 0, m_account.password}};
        for (const auto& run : runs) {
            const testsupport::Finished ran = testsupport::runProgram(program.folder.path() + "/vantrel-sync",
                                                                      run.args, {.input = run.input});
            QCOMPARE(ran.status, run.status);
            QCOMPARE(ran.err, run.status ? "vantrel-sync: User or Password does not match\n" : "");
            QCOMPARE(ran.out,
                     run.status
                         ? ""
                         : "0 new from the address book, 0 changed here, 0 sent, 0 removed, 0 conflicts.\n");
            QCOMPARE(kept(), run.kept);
        }

        // Two workstations at once: two programs sync ann's new contacts and the phone's new cards.
        for (int i = 0; i < 10; ++i) {
            program.folder.addContact("ann",
                                      {{"firstName", QStringLiteral("Book%1").arg(i)}, {"mobile", "0703"}});
            const QString uid = QStringLiteral("phone-%1").arg(i);
            QVERIFY(phone
                        .put(m_book.resolved(QUrl(uid + ".vcf")),
                             "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid.toUtf8() + "\r\nN:;Phone" +
                                 QByteArray::number(i) + ";;;\r\nFN:Phone" + QByteArray::number(i) +
                                 "\r\nEND:VCARD\r\n",
                             {})
                        .ok());
        }
        QProcess workstations[2];
        for (QProcess& workstation : workstations) {
            workstation.start(program.folder.path() + "/vantrel-sync", {"--user", "ann"});
            workstation.write("pw\n");
            workstation.closeWriteChannel();
        }
        for (QProcess& workstation : workstations) {
            QVERIFY(workstation.waitForFinished(-1));
            QVERIFY2(workstation.exitStatus() == QProcess::NormalExit && workstation.exitCode() == 0,
                     workstation.readAllStandardError().constData());
            QVERIFY(workstation.readAllStandardOutput().contains(" 0 conflicts."));
        }
        const testsupport::Rows each = {{22, 22}};
        QCOMPARE(program.folder.rows("select count(*), count(distinct firstName) from main"), each);
        QCOMPARE(program.folder.rows("select count(*), count(distinct uid) from syncCards"), each);
        QCOMPARE(phone.listCards(m_book).value.size(), 22);
        const testsupport::Finished idle = testsupport::runProgram(program.folder.path() + "/vantrel-sync",
                                                                   {"--user", "ann"}, {.input = "pw\n"});
        QCOMPARE(idle.out, "0 new from the address book, 0 changed here, 0 sent, 0 removed, 0 conflicts.\n");
    }
};

VANTREL_TEST_MAIN(SyncWindowTest)
#include "tst_syncwindow.moc"
