// Hostile input, faults and crashes: nothing lost, nothing crashes, no one
// sees another's contacts.
#include "Cases.h"
#include "Files.h"
#include "TestSupport.h"

#include "contacts/frmDetails.h"
#include "data/Connection.h"
#include "data/RecordSet.h"

#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <optional>
#include <sqlite3.h>

using namespace testsupport;

namespace {

const char* const textBoxes[] = {"txtFirstName", "txtLastName", "txtEMailH", "txtEMailO"};

[[nodiscard]] bool logIn(const QString& user, const QString& password)
{
    return run({open(app::Window::Vantrel), type("txtUser", user), type("txtPassword", password),
                click("cmdLogin")});
}

// Adds a contact through the window with every free-text control set to `text`.
[[nodiscard]] bool addContact(const QString& text)
{
    if (!run({click("cmdAdd")}))
        return false;
    for (const char* name : textBoxes)
        find<QLineEdit>(name)->setText(text);
    // Pasted, as a person would bring a long text in.
    QGuiApplication::clipboard()->setText(text + "\nsecond line");
    find<QPlainTextEdit>("txtAddress")->paste();
    find<QComboBox>("cbSubCategory")->setEditText(text);
    return run({click("cmdSave")});
}

// The embedded file's own check; a server keeps its pages itself.
bool intact(const Program& program)
{
    return onServer() || program.folder.value("pragma integrity_check").toString() == "ok";
}

// Another program holds ann's book for writing, as the engine allows: the
// file's write lock, or on a server the lock a save of ann's takes and the
// row of the contact being modified.
void holdTheBook(const Program& program)
{
    program.folder.holdTheBookOf("ann");
    if (onServer())
        program.folder.exec("select 1 from main where firstName = 'Abe' for update");
}

} // namespace

class ReliabilityTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The texts of reliability/hostile-texts.cases, and one of 1 MB.
    void hostileTextIsStoredAndShownExactly_data()
    {
        addCases("reliability/hostile-texts.cases");
        QTest::newRow("1 MB") << Case{"1 MB", {{"text", QString(1 << 20, QLatin1Char('m'))}}};
    }

    void hostileTextIsStoredAndShownExactly()
    {
        QFETCH(Case, sample);
        const QString text = sample["text"];
        if (text.size() > 2000 && onServer())
            QSKIP(
                "The server indexes names of at most 2,704 bytes; a longer one is refused with the engine's "
                "text and everything typed kept (tst_server).");
        Program program;
        // The same text as user name and password: sign up, change password, log in.
        STEPS(open(app::Window::Vantrel));
        STEPS(click("lblNewUser"), type("txtUser", text), type("txtPassword", text),
              type("txtRetypePassword", text), click("lblSave"));
        program.folder.addUser("neighbour", "pw");
        program.folder.addContact("neighbour", {{"firstName", text}});
        QVERIFY(logIn(text, text));
        // The neighbour's contact stays hidden.
        QCOMPARE(window<frmDetails>(app::Window::Details).contacts()->recordCount(), 0);

        QVERIFY(addContact(text));
        QCOMPARE(program.prompts(), QStringList{"Record Saved"});
        const auto stored =
            program.folder.rows(QStringLiteral("select firstName, secondName, EMailH, EMailO, "
                                               "address, subCategory from main where user = ?"),
                                {text});
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0], (QVariantList{text, text, text, text, text + "\nsecond line", text}));

        // Shown back as stored after a fresh load, and found by name.
        QVERIFY(run({click("cmdUser")}) && logIn(text, text));
        for (const char* name : textBoxes)
            QCOMPARE(testsupport::text(name), text);
        QCOMPARE(testsupport::text("txtAddress"), text + "\nsecond line");
        STEPS(click("cmdSearch"), type("txtFirstName", text), type("txtLastName", text), click("cmdView"));
        QCOMPARE(program.prompts(), QStringList{"Record Saved"});
        QVERIFY(!program.ended());
    }

    void typedTextNeverBecomesSqlText()
    {
        ONLY_ON_THE_FILE("The statements are traced at SQLite's engine; the server runs the same ones.");
        Program program;
        QStringList statements;
        auto trace = [](unsigned, void* context, void* statement, void*) -> int {
            static_cast<QStringList*>(context)->append(
                QString::fromUtf8(sqlite3_sql(static_cast<sqlite3_stmt*>(statement))));
            return 0;
        };
        sqlite3_trace_v2(app::session().DbConnection().handle(), SQLITE_TRACE_STMT, trace, &statements);
        const QString marker = "Zq9'mark";
        program.folder.addUser(marker, marker);
        QVERIFY(logIn(marker, marker) && addContact(marker));
        STEPS(click("cmdSearch"), type("txtFirstName", marker), click("cmdView"), click("cmdPrint"),
              click("cmdModify"), click("cmdSave"));
        sqlite3_trace_v2(app::session().DbConnection().handle(), 0, nullptr, nullptr);
        QVERIFY(statements.size() > 10);
        for (const QString& sql : std::as_const(statements))
            QVERIFY2(!sql.contains("Zq9"), qPrintable(sql));
        QCOMPARE(program.folder.rows("select count(*) from main where firstName = ?", {marker})[0][0], 1);
    }

    // Another program holds the write lock longer than the busy timeout: the save
    // fails after a bounded wait with the engine's text, and everything typed stays
    // for a second try, while adding and while modifying a contact that is not last.
    void aFailedSaveKeepsWhatWasTypedForTheNextTry()
    {
        Program program;
        program.folder.addUser("ann", "pw");
        for (const char* name : {"Abe", "Zoe"})
            program.folder.addContact("ann", {{"firstName", QLatin1String(name)}});
        QVERIFY(logIn("ann", "pw"));

        for (const bool adding : {true, false}) {
            if (adding)
                STEPS(click("cmdAdd"), type("txtFirstName", "Blocked"));
            else
                STEPS(click("cmdFirst"), click("cmdModify"));
            STEPS(type("txtAddress", "1 Typed Street"));
            holdTheBook(program); // the folder's connection is another program's
            QElapsedTimer waited;
            waited.start();
            STEPS(click("cmdSave"));
            QVERIFY(waited.elapsed() >= data::Connection::busyTimeoutMs - 500);
            QVERIFY(!program.ended());
            QVERIFY2(program.prompts().last().contains("lock") &&
                         program.prompts().last().endsWith("Cancelling Transaction..........."),
                     qPrintable(program.prompts().last()));
            // Still editing, with what was typed.
            QVERIFY(enabled("lblSave") && enabled("txtAddress"));
            QCOMPARE(text("txtFirstName"), adding ? "Blocked" : "Abe");
            QCOMPARE(text("txtAddress"), "1 Typed Street");
            QCOMPARE(program.folder.rows("select count(*) from main where address is not null")[0][0],
                     adding ? 0 : 1); // only the contact saved in the first round

            program.folder.exec("rollback");
            STEPS(click("cmdSave"));
            QCOMPARE(program.prompts().last(), "Record Saved");
        }
        QCOMPARE(
            program.folder.rows(QStringLiteral("select firstName from main where address = '1 Typed Street' "
                                               "order by firstName")),
            (QList<QVariantList>{{"Abe"}, {"Blocked"}}));
        QVERIFY(intact(program));
    }

    // Before any window: the real program says what is wrong with its book, its settings or its pictures,
    // ends with status 1 and leaves the file as it was (the cases in reliability/faulty-starts.cases).
    void aFaultyStartEndsTheProgramBeforeAnyWindow_data() { addCases("reliability/faulty-starts.cases"); }

    void aFaultyStartEndsTheProgramBeforeAnyWindow()
    {
        QFETCH(Case, sample);
        Program program;
        program.session.reset();
        const QString path = program.folder.path() + '/' + sample["at"];
        if (!sample["sample"].isNull())
            QVERIFY(writeFile(path, fileBytes(VANTREL_SAMPLES "/reliability/" + sample["sample"]).value()));
        else if (!sample.all("content").isEmpty())
            QVERIFY(writeFile(path, sample["content"].toUtf8()));
        else
            QFile::remove(path);
        const std::optional<QByteArray> original = fileBytes(path);
        if (!sample.all("unreadable").isEmpty())
            QFile::setPermissions(path, {});
        // The program may write in data/ (it runs as its owner), so a file it made there would show.
        QFile::setPermissions(program.folder.path() + "/images", QFile::ReadOwner | QFile::WriteOwner |
                                                                     QFile::ExeOwner | QFile::ReadOther |
                                                                     QFile::ExeOther);

        std::unique_ptr<QProcess> run(startInFolder(program.folder.path(), VANTREL_EXECUTABLE, {}));
        QVERIFY(run->waitForFinished(30000));
        QCOMPARE(run->exitStatus(), QProcess::NormalExit);
        QCOMPARE(run->exitCode(), 1);
        const QString report = QString::fromLocal8Bit(run->readAllStandardError());
        QVERIFY2(report.contains(sample["says"]) && !report.contains("secret"),
                 qPrintable(sample["says"] + " in:\n" + report));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(fileBytes(path), original); // left untouched; a missing one is not created
    }

    void readOnlyDatabaseBrowsesAndASaveReportsTheEngine()
    {
        ONLY_ON_THE_FILE("A write-protected file.");
        Program program;
        program.folder.addUser("ann", "pw");
        program.folder.addContact("ann", {{"firstName", "Kept"}});
        program.session.reset();
        const std::optional<QByteArray> original = fileBytes(program.folder.databasePath());
        QFile::setPermissions(program.folder.databasePath(), QFile::ReadOwner | QFile::ReadOther);
        std::unique_ptr<QProcess> run(startWorkstation(program, "save", 1, "New"));
        QVERIFY(run->waitForFinished(30000));
        QCOMPARE(run->exitCode(), 0);                    // reported, and the program goes on
        QVERIFY(run->readAllStandardOutput().isEmpty()); // no "Record Saved"
        QVERIFY(QString::fromLocal8Bit(run->readAllStandardError()).contains("readonly"));
        QCOMPARE(fileBytes(program.folder.databasePath()), original);
    }

    // Two workstations saving the same names, or signing up the same user name, at the same moment:
    // each is stored exactly once, and the other workstation is told so.
    void twoWorkstationsStoreTheSameNamesOnce_data() { addCases("reliability/same-names.cases"); }

    void twoWorkstationsStoreTheSameNamesOnce()
    {
        QFETCH(Case, sample);
        const QString mode = sample["mode"], stored = sample["stored"];
        Program program;
        program.folder.addUser("ann", "pw");
        program.session.reset(); // this process is no workstation
        constexpr int count = 40;
        std::unique_ptr<QProcess> first(startWorkstation(program, mode, count, "Same"));
        std::unique_ptr<QProcess> second(startWorkstation(program, mode, count, "Same"));
        QVERIFY(first->waitForFinished(120000) && second->waitForFinished(120000));
        QCOMPARE(first->exitCode() + second->exitCode(), 0);
        const QSet<QString> a = savedBy(*first);
        const QSet<QString> b = savedBy(*second);
        QCOMPARE(a.size() + b.size(), count);
        QVERIFY(!a.intersects(b));
        const Rows rows = program.folder.rows(stored);
        QCOMPARE(rows.size(), count);
        for (const QVariantList& row : rows)
            QCOMPARE(row[1].toInt(), 1);
        QVERIFY(intact(program));
    }

    // Another workstation stores a change to the contact this one shows: saving this window's
    // older screen is refused with a word, keeps everything typed and undoes nothing, whether
    // the edit reaches the book by the explicit Update (the last contact) or by Save's move to
    // the last contact (any other). A change that stored the same values again is no conflict.
    void aChangeStoredElsewhereIsNeverUndone_data() { addCases("reliability/changed-elsewhere.cases"); }

    void aChangeStoredElsewhereIsNeverUndone()
    {
        QFETCH(Case, sample);
        const QString contact = sample["contact"], theirPhone = sample["theirs"];
        Program program;
        program.folder.addUser("ann", "pw");
        program.folder.addContacts(
            "user category firstName phone mobile",
            {"ann|Friends|Amit|5550001|9990000001", "ann|Friends|Zed|5550001|9990000001"});
        STEPS(openContacts("ann"), click(contact == "Amit" ? "cmdFirst" : "cmdLast"));
        QCOMPARE(text("txtFirstName"), contact);
        std::unique_ptr<QProcess> other(startWorkstation(program, "modify", theirPhone.toInt(), contact));
        QVERIFY(other->waitForFinished(60000));
        QCOMPARE(other->exitCode(), 0);
        QCOMPARE(savedBy(*other), QSet<QString>{contact});
        const auto stored = [&] {
            return program.folder.rows("select phone, mobile from main where firstName = ?", {contact});
        };
        QCOMPARE(stored(), (Rows{{theirPhone, "9990000001"}}));

        STEPS(click("cmdModify"), type("txtMobile", "8880000002"), click("cmdSave"));
        if (theirPhone == "5550001") {
            QCOMPARE(program.prompts(), QStringList{"Record Saved"});
            QCOMPARE(stored(), (Rows{{"5550001", "8880000002"}}));
            return;
        }
        for (const bool again : {false, true}) { // a second Save is refused as well
            if (again)
                STEPS(click("cmdSave"));
            QCOMPARE(program.messages.size(), again ? 2 : 1);
            QVERIFY2(program.lastPrompt().startsWith("This contact was changed elsewhere"),
                     qPrintable(program.lastPrompt()));
            QCOMPARE(stored(), (Rows{{theirPhone, "9990000001"}}));
            QVERIFY(enabled("lblSave") && enabled("txtMobile") &&
                    window<frmDetails>(app::Window::Details).isModifying());
            QCOMPARE(texts({"txtFirstName", "txtPhone1", "txtMobile"}), contact + "|5550001|8880000002");
        }
        // Cancel shows the contact as stored now; a change made on that saves.
        STEPS(click("cmdCancel"));
        QCOMPARE(texts({"txtFirstName", "txtPhone1", "txtMobile"}), contact + "|1112222|9990000001");
        STEPS(click("cmdModify"), type("txtMobile", "8880000002"), click("cmdSave"));
        QCOMPARE(program.lastPrompt(), "Record Saved");
        QCOMPARE(stored(), (Rows{{theirPhone, "8880000002"}}));
        QVERIFY(!program.ended() && intact(program));
    }

    void killedDuringSavesLosesNothingReported()
    {
        Program program;
        program.folder.addUser("ann", "pw");
        program.session.reset();
        constexpr int kills = 12;
        int reported = 0;
        for (int round = 0; round < kills; ++round) {
            std::unique_ptr<QProcess> run(
                startWorkstation(program, "save", 10000, QString("K%1_").arg(round)));
            QVERIFY(run->waitForReadyRead(30000));
            QTest::qWait(QRandomGenerator::global()->bounded(5, 300)); // a random moment in the burst
            run->kill();
            QVERIFY(run->waitForFinished(10000));
            for (const QString& name : savedBy(*run)) {
                ++reported;
                QVERIFY2(program.folder.rows("select 1 from main where firstName = ?", {name}).size() == 1,
                         qPrintable(name));
            }
            QVERIFY(intact(program));
        }
        QVERIFY(reported >= kills);
        qInfo("%d kills, %d reported saves, none lost", kills, reported);
    }
};

VANTREL_TEST_MAIN(ReliabilityTest)

#include "tst_reliability.moc"
