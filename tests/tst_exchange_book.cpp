// Contacts in and out of a user's book in the program's database, through the
// exchange library and through the real vantrel-exchange program.
#include "ContactItems.h"
#include "Files.h"
#include "ProgramFolder.h"
#include "Run.h"
#include "Workstation.h"

#include "bookexchange/BookExchange.h"
#include "data/Accounts.h"
#include "data/BookFiles.h"
#include "data/Connection.h"
#include "data/ContactStore.h"
#include "data/DataError.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

using Rows = QList<QVariantList>;
Q_DECLARE_METATYPE(exchange::Format)

namespace {

const QString columns = data::contactColumnNames().join(", ");

// Contacts that are hard to write in any format, empty fields stored as empty text, as Save stores them.
void fillHostileBook(const testing::ProgramFolder& folder, const QString& user)
{
    const QString sample =
        QString::fromUtf8(testsupport::fileBytes(VANTREL_SAMPLES "/hard-to-write.contacts").value());
    for (const data::Contact& contact : testsupport::contactsIn(sample)) {
        QMap<QString, QVariant> row;
        for (const data::ContactColumn& column : data::contactColumns)
            row[column.name] = QString(contact.*column.member).append(QLatin1String(""));
        folder.addContact(user, row);
    }
}

Rows book(const testing::ProgramFolder& folder, const QString& user, const QString& shown = columns)
{
    return folder.rows("select " + shown + " from main where user = ? order by category, firstName", {user});
}

// A user's book as a program reaches it after that user's login: the shared
// connection on the file, the person's own on a server.
class BookOf
{
public:
    BookOf(const testing::ProgramFolder& folder, const QString& user,
           data::Connection::OpenMode mode = data::Connection::OpenMode::ReadWrite)
    {
        m_shared.openProgramDatabase(folder.path(), mode);
        data::Accounts accounts(m_shared);
        if (accounts.onServer() && !accounts.nameTaken(user))
            accounts.signUp(user, "pw");
        QVERIFY(accounts.logIn(user, "pw", &m_person) || !accounts.onServer());
        m_book = accounts.onServer() ? &m_person : &m_shared;
    }
    operator data::Connection&() { return *m_book; }

private:
    data::Connection m_shared;
    data::Connection m_person;
    data::Connection* m_book = nullptr;
};

} // namespace

class ExchangeBookTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Exported from one user's book and imported into another's: every field of every contact back exactly.
    void roundTripsThroughTheDatabase_data()
    {
        QTest::addColumn<exchange::Format>("format");
        for (exchange::Format format :
             {exchange::Format::VCard30, exchange::Format::VCard40, exchange::Format::VCard21,
              exchange::Format::Csv, exchange::Format::CsvThunderbird})
            QTest::newRow(qPrintable(exchange::formatName(format))) << format;
    }

    void roundTripsThroughTheDatabase()
    {
        QFETCH(exchange::Format, format);
        testing::ProgramFolder folder;
        fillHostileBook(folder, "ann");
        folder.addContact("eve", {{"firstName", "Not ann's"}});
        BookOf ann(folder, "ann");
        BookOf bob(folder, "bob");
        const QString file = folder.path() + "/book" + (exchange::isCsv(format) ? ".csv" : ".vcf");
        QCOMPARE(exchange::exportBook(ann, "ann", file, format).written, 7);
        const exchange::ImportSummary summary = exchange::importIntoBook(bob, "bob", file);
        QCOMPARE(summary.imported, 7);
        QCOMPARE(book(folder, "bob"), book(folder, "ann"));
        // Each card's UID is kept (CSV has none: the book gives new ones).
        const bool uids = !exchange::isCsv(format);
        QCOMPARE(book(folder, "bob", "uid") == book(folder, "ann", "uid"), uids);
        QCOMPARE(folder.value("select count(distinct uid) from main where user = 'bob'").toInt(), 7);
        // Once more: every contact is now a duplicate, skipped, never stored twice; a card is known
        // by its UID, even when renamed since, and without one by its names.
        if (uids)
            folder.exec("update main set firstName = firstName || '+' where user = 'bob'");
        const exchange::ImportSummary again = exchange::importIntoBook(bob, "bob", file);
        QCOMPARE(again.skipped.size(), 7);
        for (const exchange::SkippedContact& skipped : again.skipped)
            QCOMPARE(skipped.reason, uids ? exchange::SkippedContact::Reason::SameUid
                                          : exchange::SkippedContact::Reason::SameNames);
        QCOMPARE(folder.value("select count(*) from main where user = 'bob'").toInt(), 7);
    }

    // A book from before has no UIDs, and until it is brought up to date its cards are written
    // without. Opened for writing (a file) or by its administrator's vantrel-createdb --server, each
    // contact gets one of its own, once; each export then writes them.
    void aBookFromBeforeGetsItsUidsOnce()
    {
        testing::ProgramFolder folder;
        const bool server = folder.engine() == data::Engine::PostgreSQL;
        folder.addUser("ann", "pw");
        folder.addContacts("user firstName", {"ann|Amy", "ann|Bo", "cy|Amy"});
        if (!server)
            folder.exec("drop trigger main_gets_uid"), folder.exec("drop index ix_main_by_uid");
        folder.exec("alter table main drop column uid");
        const auto exported = [&folder](data::Connection::OpenMode mode) {
            BookOf ann(folder, "ann", mode);
            const QString file = folder.path() + "/ann.vcf";
            exchange::exportBook(ann, "ann", file, exchange::Format::VCard40);
            return testsupport::fileBytes(file).value();
        };
        QVERIFY(!exported(data::Connection::OpenMode::ReadOnly).contains("UID"));
        const auto upgrade = [&] {
            if (server)
                data::createServerTables(folder.administratorSettings());
            else
                data::Connection().open(folder.databasePath());
        };
        upgrade();
        const Rows uids = folder.rows("select uid from main order by rowid");
        QCOMPARE(folder.value("select count(distinct uid) from main where uid like 'urn:uuid:%'").toInt(), 3);
        upgrade();
        QCOMPARE(folder.rows("select uid from main order by rowid"), uids);
        const QByteArray file = exported(data::Connection::OpenMode::ReadWrite);
        QCOMPARE(exported(data::Connection::OpenMode::ReadWrite), file);
        for (const QVariantList& uid : uids.first(2))
            QVERIFY(file.contains("\r\nUID:" + uid[0].toByteArray() + "\r\n"));
    }

    // One transaction: a damaged file, a cancel or a failing database leaves the book as it was.
    void anImportThatDoesNotCompleteImportsNothing()
    {
        testing::ProgramFolder folder;
        folder.addContact("ann", {{"firstName", "Kept"}, {"secondName", "Here"}});
        BookOf connection(folder, "ann");
        const QString good = folder.path() + "/good.vcf";
        const QString truncated = folder.path() + "/truncated.vcf";
        const QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann\r\nEND:VCARD\r\n";
        for (const auto& [path, content] : {std::pair{good, card + QByteArray(card).replace("Ann", "Bo")},
                                            std::pair{truncated, card + "BEGIN:VCARD\r\nN:X;Y\r\n"}})
            QVERIFY(testsupport::writeFile(path, content));
        const exchange::ImportSummary damaged = exchange::importIntoBook(connection, "ann", truncated);
        QCOMPARE(damaged.outcome, exchange::Outcome::Failed);
        QVERIFY2(damaged.error.contains("line 5"), qPrintable(damaged.error));
        const auto cancelled = exchange::importIntoBook(connection, "ann", good, {},
                                                        [](qint64 done, qint64) { return done == 0; });
        QCOMPARE(cancelled.outcome, exchange::Outcome::Cancelled);
        folder.holdTheBookOf("ann"); // another program holds the book: the import waits, then fails
        QVERIFY_THROWS_EXCEPTION(data::DataError, exchange::importIntoBook(connection, "ann", good));
        folder.exec("rollback");
        QCOMPARE(folder.rows("select firstName from main"), (Rows{{"Kept"}}));
        QCOMPARE(exchange::importIntoBook(connection, "ann", good).imported, 2);
    }

    // Save's rule for duplicates: exact first and second name; a Null second name equals no text.
    void duplicatesFollowSavesRule()
    {
        testing::ProgramFolder folder;
        folder.addContact("ann", {{"firstName", "Amy"}, {"secondName", "Lee"}});
        folder.addContact("ann", {{"firstName", "Cy"}}); // second name Null
        BookOf connection(folder, "ann");
        const data::ContactStore contacts(connection, "ann");
        QVERIFY(contacts.contains("Amy", "Lee"));
        for (const auto& [first, second] :
             {std::pair{"amy", "Lee"}, {"Amy", "Lee "}, {"Cy", ""}, {"Lee", "Amy"}})
            QVERIFY2(!contacts.contains(first, second), first);
        QVERIFY(!data::ContactStore(connection, "bob").contains("Amy", "Lee"));
    }

    // The real program: the login's test first, one line and a non-zero status for every refusal.
    void theCommandLine()
    {
        testing::ProgramFolder folder;
        QVERIFY(QFile::copy(VANTREL_EXCHANGE, folder.path() + "/vantrel-exchange"));
        folder.addUser("ann", "pw");
        fillHostileBook(folder, "ann");
        const auto run = [&folder](const QStringList& args, const QByteArray& password) {
            const testsupport::Finished ran = testsupport::runProgram(folder.path() + "/vantrel-exchange",
                                                                      args, {.input = password + "\n"});
            return std::tuple{ran.status, ran.out, ran.err};
        };
        const QString file = folder.path() + "/out.csv";
        auto [status, out, error] = run({"export", "--user", "ann", file}, "pw");
        QCOMPARE(status, 0);
        QCOMPARE(out, "Exported 7 contacts to " + file + ".\n");
        std::tie(status, out, error) = run({"import", "--user", "ann", "--format", "csv", file}, "PW");
        QCOMPARE(status, 1);
        QCOMPARE(error, "vantrel-exchange: User or Password does not match\n");
        for (const QStringList& args :
             {QStringList{"import", file}, QStringList{"copy", "--user", "ann", file},
              QStringList{"export", "--user", "ann", "--format", "ldif", file}}) {
            std::tie(status, out, error) = run(args, "pw");
            QVERIFY(status != 0 && error.count('\n') == 1 && error.startsWith("vantrel-exchange: "));
        }
        QCOMPARE(folder.value("select count(*) from main").toInt(), 7);
        std::tie(status, out, error) = run({"import", "--user", "ann", file}, "pw");
        QCOMPARE(status, 0);
        QVERIFY2(out.startsWith("Imported 0 contacts from the CSV file; skipped 7."), qPrintable(out));

        // An existing file is replaced only when asked, and its content decides
        // how it is read, whatever its name.
        const QString card = folder.path() + "/card.txt";
        QVERIFY(testsupport::writeFile(card, "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Bo\r\nEND:VCARD\r\n"));
        std::tie(status, out, error) = run({"export", "--user", "ann", card}, "pw");
        QCOMPARE(error, "vantrel-exchange: " + card + " already exists; add --force to replace it\n");
        std::tie(status, out, error) = run({"import", "--user", "ann", card}, "pw");
        QVERIFY2(out.startsWith("Imported 1 contact from the vCard file"), qPrintable(out + error));
        std::tie(status, out, error) = run({"export", "--force", "--user", "ann", card}, "pw");
        QCOMPARE(out, "Exported 8 contacts to " + card + ".\n");
        QVERIFY(testsupport::fileBytes(card)->startsWith("BEGIN:VCARD"));

        // Two workstations import one file at once: one takes every card, the other finds them there.
        // Enough cards that the two imports are likely to overlap.
        QByteArray cards;
        for (int i = 0; i < 3000; ++i)
            cards += QStringLiteral("BEGIN:VCARD\r\nVERSION:4.0\r\n%1N:Ray;Di%2\r\nEND:VCARD\r\n")
                         .arg(i % 2 ? QString() : QStringLiteral("UID:urn:uuid:%1\r\n").arg(i))
                         .arg(i)
                         .toUtf8();
        const QString shared = folder.path() + "/shared.vcf";
        QVERIFY(testsupport::writeFile(shared, cards));
        QProcess first, second;
        for (QProcess* workstation : {&first, &second}) {
            workstation->start(folder.path() + "/vantrel-exchange", {"import", "--user", "ann", shared});
            workstation->write("pw\n");
            workstation->closeWriteChannel();
        }
        for (QProcess* workstation : {&first, &second})
            QVERIFY(workstation->waitForFinished(60000) && workstation->exitCode() == 0);
        const QStringList said{first.readAllStandardOutput(), second.readAllStandardOutput()};
        QVERIFY2(said.filter("Imported 3000 contacts").size() == 1 &&
                     said.filter("Imported 0 contacts").size() == 1,
                 qPrintable(said.join('\n')));
        QCOMPARE(folder.value("select count(*) from main where secondName = 'Ray'").toInt(), 3000);
        if (folder.engine() == data::Engine::PostgreSQL) {
            // Every card's duplicate tests are seeks, also in a book the server has no figures of yet: the
            // index entries read grow with the cards, not with cards times the book.
            const qint64 read =
                folder.value("select sum(idx_tup_read) from pg_stat_user_indexes where relname = 'main'")
                    .toLongLong();
            QVERIFY2(read < 10 * 6000, qPrintable(QString::number(read)));
        }

        // Qt takes its own options; a book its user may not read says so, and who can change that.
        std::tie(status, out, error) = run({"-reverse", "export", "--force", "--user", "ann", card}, "pw");
        QCOMPARE(error, "");
        if (folder.engine() == data::Engine::PostgreSQL)
            return;
        const QString book = folder.path() + "/data/vantrel.mdb";

        // The book itself, by name, through a link or by its log, is never a file to export to or import
        // from.
        const int before = folder.value("select count(*) from main").toInt();
        const QString link = folder.path() + "/contacts.vcf";
        QVERIFY(QFile::link(book, link));
        for (const QStringList& args : {QStringList{"export", "--force", "--user", "ann", book},
                                        QStringList{"export", "--force", "--user", "ann", link},
                                        QStringList{"export", "--force", "--user", "ann", book + "-wal"},
                                        QStringList{"import", "--user", "ann", link}}) {
            std::tie(status, out, error) = run(args, "pw");
            QCOMPARE(status, 1);
            QCOMPARE(error,
                     "vantrel-exchange: " + args.last() +
                         " is the contact book itself, not a file of contacts: choose another file.\n");
        }
        QCOMPARE(testsupport::runProgram("sqlite3", {book, "pragma integrity_check"}).out, "ok\n");
        QCOMPARE(folder.value("select count(*) from main").toInt(), before);

        QVERIFY(QFile::setPermissions(book, {}));
        std::unique_ptr<QProcess> outsider(
            testsupport::startInFolder(folder.path(), VANTREL_EXCHANGE, {"export", "--user", "ann", card}));
        QVERIFY(outsider->waitForFinished(30000));
        QCOMPARE(outsider->readAllStandardError(),
                 "vantrel-exchange: You are not allowed to open the contact book " + book.toUtf8() +
                     ". Ask the administrator to add you to the group " + QFileInfo(book).group().toUtf8() +
                     ", then log out and in again.\n");
        QCOMPARE(outsider->exitCode(), 1);
    }
};

QTEST_GUILESS_MAIN(ExchangeBookTest)
#include "tst_exchange_book.moc"
