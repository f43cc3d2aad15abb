// A new book appears whole or not at all: vantrel-createdb, the program's
// first start and vantrel-migrate killed just before each of their file
// operations (libvantrel-filefaults counts them and kills at the chosen one).
#include "Files.h"
#include "Run.h"
#include "TestSupport.h"

#include "data/BookFiles.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "ui/Failure.h"
#include "ui/MessageBox.h"
#include "ui/Program.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <sys/file.h>

using namespace testsupport;

namespace {

const char* const serverCase = "A book file; the server's tables have a case of their own.";

// Fails the test with what is wrong after the kill at operation `n`, if anything.
#define NOTHING_WRONG(n, problem)                                                                            \
    do {                                                                                                     \
        const QString wrong = (problem);                                                                     \
        QVERIFY2(wrong.isEmpty(), qPrintable(QString("killed at %1: %2").arg(n).arg(wrong)));                \
    } while (false)

const QStringList companions{"-journal", "-wal", "-shm"};

// Runs a program; with `faults` (DIR, KILL_AT, REPORT, TRACE) under the fault library.
Finished runTool(const QString& program, const QStringList& args, const QMap<QString, QString>& faults = {})
{
    QMap<QString, QString> environment{{"QT_QPA_PLATFORM", "offscreen"}};
    if (!faults.isEmpty()) {
        environment.insert("LD_PRELOAD", VANTREL_FILEFAULTS);
        // Under the sanitizers: their run-time is then not the first library loaded.
        const QString asan = qEnvironmentVariable("ASAN_OPTIONS");
        environment.insert("ASAN_OPTIONS", (asan.isEmpty() ? "" : asan + ":") + "verify_asan_link_order=0");
        for (auto fault = faults.cbegin(); fault != faults.cend(); ++fault)
            environment.insert("VANTREL_FAULTS_" + fault.key(), fault.value());
    }
    return runProgram(program, args, {.environment = environment});
}

// The operations a whole run made, from the library's line "operations <n> syncs <m>".
long operationsOf(const QString& report)
{
    const QList<QByteArray> words = fileBytes(report).value_or("").split(' ');
    return words.size() == 4 && words[0] == "operations" ? words[1].toLong() : -1;
}

// The book's tables and indexes, the engine's integrity check and every row, as
// text; the books of two runs that did the same are alike.
QString contentsOf(const QString& path)
{
    QStringList contents;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "book-check");
        db.setDatabaseName(path);
        db.open();
        QSqlQuery query(db);
        for (const QString sql :
             {"select type, name from sqlite_master order by name", "pragma integrity_check",
              "select * from userMaster order by rowid", "select * from main order by rowid",
              "select * from printDetails order by rowid"}) {
            contents << (query.exec(sql) ? sql : sql + ": " + query.lastError().text());
            while (query.next()) {
                QStringList row;
                for (int i = 0; i < query.record().count(); ++i)
                    row << (query.isNull(i) ? "<null>" : query.value(i).toString());
                contents << row.join('|');
            }
        }
    }
    QSqlDatabase::removeDatabase("book-check");
    return contents.join('\n');
}

QString differences(const QString& book, const QString& expected)
{
    const QString contents = contentsOf(book);
    return contents == expected ? QString() : "the book holds\n" + contents.left(1000);
}

// The book with the files that belong to it (a journal to roll back, a log).
void copyBook(const QString& from, const QString& to)
{
    for (const QString& suffix : QStringList{""} + companions) {
        QFile::remove(to + suffix);
        QFile::copy(from + suffix, to + suffix);
    }
}

// Why the program does not start on (a copy of) the book; nothing when its
// login window opens and no failure ends it.
QString whyTheProgramFailsOn(const QString& book)
{
    // The start depends on the files' bytes alone: books alike are started on once.
    static QSet<QByteArray> startedOn;
    QCryptographicHash files(QCryptographicHash::Sha1);
    for (const QString& suffix : QStringList{""} + companions)
        files.addData(suffix.toUtf8() + ':' + fileBytes(book + suffix).value_or("-"));
    if (startedOn.contains(files.result()))
        return {};
    try {
        Program program([&](const testing::ProgramFolder& folder) { copyBook(book, folder.databasePath()); });
        if (!run({open(app::Window::Vantrel)}) || program.ended())
            return "no login window: " + program.prompts().join(" / ");
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    }
    startedOn.insert(files.result());
    return {};
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A copy of this test program, given --start FOLDER: the program's own start on
// that folder up to its login window, then the end (status 0 when it opened).
int startAlone(int argc, char** argv)
{
    ui::Application app(argc, argv);
    ui::program::setFolder(QString::fromLocal8Bit(argv[2]));
    ui::program::setEndHandler([](int) {});
    ui::MessageBox::setResponder([](const QString&, const QString& prompt) {
        std::fprintf(stderr, "message: %s\n", qPrintable(prompt));
    });
    clsConnection::registerWindows();
    ui::runGuarded(clsConnection::Main);
    const int status = ui::program::hasEnded() ? ui::program::exitStatus() : openWindowName() != "frmVantrel";
    app::session().reset();
    return status;
}

// A small book of texts that are hard to carry: quotes, SQL, line breaks,
// other scripts, Null, a long value; a staged row.
void fillSourceBook(const testing::ProgramFolder& book)
{
    const QStringList texts{
        "O'Brien \"Ned\"; Jr.",           "x' or '1'='1", "\"; drop table main; --", "Ελένη 李小龍 دانيال",
        "😀👍🏽👨‍👩‍👧", "  padded  ",   "line\none\r\n",           ""};
    const QStringList users{"ann", "bo'b", "Zoë 李"};
    for (const QString& user : users)
        book.addUser(user, texts[user.size()]);
    for (int i = 0; i < 30; ++i) {
        QMap<QString, QVariant> contact{{"firstName", texts[i % 6] + QString::number(i)}};
        for (const char* column : {"secondName", "address", "EMailH", "phoneOff"})
            contact[column] = (i + qstrlen(column)) % 9 == 8 ? QVariant() : texts[(i + qstrlen(column)) % 8];
        if (i == 7)
            contact["address"] = QString(3000, QChar(0x00e9)); // longer than a page
        book.addContact(users[i % users.size()], contact);
    }
    book.exec("insert into printDetails (firstName, address) values (?, ?)", {texts[3], texts[6]});
}

// What a power cut could undo, from the trace of a run that made `book`: the
// book must appear by one rename of a file synced after it was last changed,
// and the folder must be synced after that rename.
QString whyNotDurable(const QString& tracePath, const QString& book)
{
    QHash<QString, qsizetype> lastChange, lastSync;
    bool published = false;
    qsizetype at = 0;
    for (const QByteArray& line : fileBytes(tracePath).value_or("").split('\n')) {
        const QStringList operation = QString::fromUtf8(line).split(' ').mid(1); // call, path, second path
        if (operation.size() < 2)
            continue;
        const QString& path = operation[1];
        const bool sync = operation[0].contains("sync");
        if (operation.mid(1).contains(book)) {
            if (published || !operation[0].startsWith("rename"))
                return "the book's name is touched by " + operation.join(' ');
            if (lastSync.value(path, -1) < lastChange.value(path, -1))
                return "the built book is not synced after its last change";
            published = true;
        } else if (published && sync && path == QFileInfo(book).path()) {
            return {};
        }
        (sync ? lastSync : lastChange)[path] = ++at;
    }
    return published ? "the folder is not synced after the book appeared" : "the book never appeared";
}

} // namespace

class BookCreationTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // vantrel-createdb, and vantrel-migrate into a new book file, killed before each of their file
    // operations: no book, or a whole one the program starts on. Run again, the tool makes it, or says
    // that it is there (the migration: what it holds).
    void aKilledToolLeavesNoBookOrAWholeOne_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<bool>("copies");
        QTest::newRow("vantrel-createdb") << VANTREL_CREATEDB << false;
        QTest::newRow("vantrel-migrate") << VANTREL_MIGRATE << true;
    }

    void aKilledToolLeavesNoBookOrAWholeOne()
    {
        ONLY_ON_THE_FILE(serverCase);
        QFETCH(QString, tool);
        QFETCH(bool, copies);
        testing::ProgramFolder source(data::Engine::SQLite);
        if (copies)
            fillSourceBook(source);
        const QString expected = contentsOf(source.databasePath());
        const auto argsFor = [&](const QString& book) {
            return copies ? QStringList{source.databasePath(), book} : QStringList{book};
        };

        QTemporaryDir counting;
        const QString made = counting.filePath("data/vantrel.mdb");
        const Finished whole = runTool(tool, argsFor(made),
                                       {{"DIR", counting.path()},
                                        {"REPORT", counting.filePath("report")},
                                        {"TRACE", counting.filePath("trace")}});
        QVERIFY2(whole.status == 0 && !whole.crashed, qPrintable(whole.err));
        QCOMPARE(differences(made, expected), QString());
        QCOMPARE(whyNotDurable(counting.filePath("trace"), made), QString());
        const long total = operationsOf(counting.filePath("report"));
        qInfo("%s: %ld file operations", qPrintable(QFileInfo(tool).fileName()), total);
        QVERIFY(total > 0);

        for (long n = 1; n <= total; ++n) {
            QTemporaryDir dir;
            const QString book = dir.filePath("data/vantrel.mdb");
            const Finished killed =
                runTool(tool, argsFor(book), {{"DIR", dir.path()}, {"KILL_AT", QString::number(n)}});
            NOTHING_WRONG(n, killed.crashed ? QString() : "not killed: " + killed.err);
            const bool appeared = QFile::exists(book);
            if (appeared)
                NOTHING_WRONG(n, differences(book, expected));
            const std::optional<QByteArray> before = fileBytes(book);
            const Finished again = runTool(tool, argsFor(book));
            if (appeared && copies) {
                QCOMPARE(again.status, 1);
                QCOMPARE(again.err, "vantrel-migrate: The target book already holds 3 users, 30 contacts "
                                    "and 1 staged row; it is left as it is (add --replace to copy over "
                                    "it).\n");
            } else {
                NOTHING_WRONG(n, again.status == 0 ? QString() : again.err);
                QCOMPARE(again.out.contains("left as it is"), appeared);
            }
            if (appeared && !copies)
                QCOMPARE(fileBytes(book), before); // a book that is there is never opened
            QCOMPARE(filesIn(dir.filePath("data")), QStringList{"vantrel.mdb"});
            QCOMPARE(QFileInfo(book).permissions() & 0x0777, 0x0600);
            QCOMPARE(QFileInfo(dir.filePath("data")).permissions() & 0x0777, 0x0700);
            NOTHING_WRONG(n, differences(book, expected));
            NOTHING_WRONG(n, whyTheProgramFailsOn(book));
        }
    }

    // The program's first start on a new book (it may add indexes and change the book's journal) killed
    // before each file operation: the book stays whole and the program starts on it.
    void aKilledFirstStartLeavesTheBookWhole()
    {
        ONLY_ON_THE_FILE(serverCase);
        testing::ProgramFolder made(data::Engine::SQLite);
        const QString expected = contentsOf(made.databasePath());
        QFile::remove(made.databasePath());
        QCOMPARE(runTool(VANTREL_CREATEDB, {made.databasePath()}).status, 0);
        const QString self = QCoreApplication::applicationFilePath();
        for (long n = 0, total = 0; n <= total; ++n) { // the first run counts
            testing::ProgramFolder folder(data::Engine::SQLite);
            copyBook(made.databasePath(), folder.databasePath());
            const QString report = folder.path() + "/report";
            const Finished start = runTool(
                self, {"--start", folder.path()},
                {{"DIR", folder.path() + "/data"}, {"KILL_AT", QString::number(n)}, {"REPORT", report}});
            if (n == 0) {
                QVERIFY2(start.status == 0 && !start.crashed, qPrintable(start.err));
                total = operationsOf(report);
                qInfo("first start: %ld file operations", total);
                continue;
            }
            NOTHING_WRONG(n, start.crashed ? QString() : "not killed: " + start.err);
            // The next start sees what the engine left, a journal or a log included.
            NOTHING_WRONG(n, whyTheProgramFailsOn(folder.databasePath()));
            NOTHING_WRONG(n, differences(folder.databasePath(), expected));
        }
    }

    // A creation never takes another's book or work over, and one that fails leaves nothing behind.
    void aCreationLeavesWhatIsNotItsOwnAlone()
    {
        ONLY_ON_THE_FILE(serverCase);
        QTemporaryDir dir;
        const QString book = dir.filePath("vantrel.mdb");
        QFile other(dir.filePath(".vantrel.mdb.creating"));
        QVERIFY(other.open(QIODevice::WriteOnly) && ::flock(other.handle(), LOCK_EX | LOCK_NB) == 0);
        const Finished refused = runTool(VANTREL_CREATEDB, {book});
        QVERIFY2(refused.status == 1 && refused.err.contains("being made"), qPrintable(refused.err));
        QCOMPARE(filesIn(dir.path()), QStringList{".vantrel.mdb.creating"});
        other.close();

        // Another program's book appears while this one is built: it stays, and what was built goes.
        QVERIFY(!data::createBookFile(book, [&](const QString&) { QVERIFY(writeFile(book, "theirs")); }));
        QCOMPARE(fileBytes(book), "theirs");
        QVERIFY(QFile::remove(book));
        QVERIFY_THROWS_EXCEPTION(data::DataError, data::createBookFile(book, [](const QString&) {
                                     throw data::DataError("the copy failed");
                                 }));
        // A book removed while a program wrote in it leaves its log behind: the new book never reads it.
        QCOMPARE(runTool(VANTREL_CREATEDB, {book}).status, 0);
        {
            data::Connection writer;
            writer.open(book);
            writer.execute("insert into userMaster values ('ghost', 'pw')");
            QVERIFY(QFile::copy(book + "-wal", dir.filePath("left-behind")));
        }
        QVERIFY(QFile::remove(book) && QFile::rename(dir.filePath("left-behind"), book + "-wal"));
        QCOMPARE(runTool(VANTREL_CREATEDB, {book}).status, 0);
        QCOMPARE(contentsOf(book).contains("ghost"), false);
        QVERIFY(QFile::remove(book));
        const Finished noSource = runTool(VANTREL_MIGRATE, {dir.filePath("missing.mdb"), book});
        QVERIFY2(noSource.status == 1 && noSource.err.contains("missing.mdb"), qPrintable(noSource.err));
        QCOMPARE(filesIn(dir.path()), QStringList{});
    }

    // vantrel-createdb --server that fails at one of its tables (a view has that name) leaves no table.
    void aFailedServerCreationLeavesNoTables()
    {
        if (!onServer())
            QSKIP("The server's tables; a book file has cases of its own.");
        testing::ProgramFolder book;
        for (const QString table : {"printDetails", "main", "userMaster", "syncBooks", "syncCards"})
            book.exec("drop table " + table);
        book.exec("create view printDetails as select 1 as one");
        // The administrator's settings: the book's owner, not the workstations' gate.
        const QString settings = book.path() + "/admin.conf";
        QVERIFY(writeFile(settings,
                          fileBytes(book.path() + "/data/server.conf")->replace("vantrel_gate", "vantrel")));
        const QString tables = "select count(*) from information_schema.tables where table_schema = "
                               "current_schema() and table_type = 'BASE TABLE'";
        QCOMPARE(QProcess::execute(VANTREL_CREATEDB, {"--server", settings}), 1);
        QCOMPARE(book.value(tables), 0);
        book.exec("drop view printDetails");
        QCOMPARE(QProcess::execute(VANTREL_CREATEDB, {"--server", settings}), 0);
        QCOMPARE(book.value(tables), 5);
        QCOMPARE(book.value("select count(*) from pg_indexes where indexname like 'ix_%'"), 8);
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--start") == 0)
        return startAlone(argc, argv);
    // A kill leaves what the page cache holds, in memory as on a disk: the
    // books of these tests live in memory where they can, since a sync is free there.
    if (QFileInfo("/dev/shm").isWritable())
        qputenv("TMPDIR", "/dev/shm");
    ui::Application app(argc, argv);
    clsConnection::registerWindows();
    BookCreationTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_bookcreation.moc"
