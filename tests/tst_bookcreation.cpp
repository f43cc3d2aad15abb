// A new book appears whole or not at all: vantrel-createdb, the program's
// first start and vantrel-migrate killed just before each of their file
// operations (libvantrel-filefaults counts them and kills at the chosen one).
#include "Files.h"
#include "TestSupport.h"

#include "data/BookFiles.h"
#include "data/DataError.h"
#include "data/Schema.h"
#include "ui/Failure.h"
#include "ui/MessageBox.h"
#include "ui/Program.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <optional>
#include <sys/file.h>

using namespace testsupport;

namespace {

bool onServer()
{
    return testing::ProgramFolder::engineUnderTest() == data::Engine::PostgreSQL;
}

#define ONLY_ON_THE_FILE()                                                                                   \
    if (onServer())                                                                                          \
    QSKIP("A book file; the server's tables have a case of their own.")

// Fails the test with what is wrong after the kill at operation `n`, if anything.
#define NOTHING_WRONG(n, problem)                                                                            \
    do {                                                                                                     \
        const QString wrong = (problem);                                                                     \
        QVERIFY2(wrong.isEmpty(), qPrintable(QString("killed at %1: %2").arg(n).arg(wrong)));                \
    } while (false)

const QStringList companions{"-journal", "-wal", "-shm"};

struct Outcome
{
    bool finished = false; // within the time limit
    bool killed = false;
    int status = 0;
    QString errors;
    QString output;
};

struct Faults
{
    QString folder; // what is counted: the paths under it
    long killAt = 0;
    QString report = {};
    QString trace = {};
};

// Starts a program with the fault library preloaded, or plainly without faults.
std::unique_ptr<QProcess> launch(const QString& program, const QStringList& args,
                                 const std::optional<Faults>& faults = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    for (const char* name :
         {"VANTREL_FAULTS_DIR", "VANTREL_FAULTS_KILL_AT", "VANTREL_FAULTS_REPORT", "VANTREL_FAULTS_TRACE"})
        environment.remove(name);
    if (faults) {
        environment.insert("LD_PRELOAD", VANTREL_FILEFAULTS);
        // Under the sanitizers: their run-time is then not the first library loaded.
        const QString asan = environment.value("ASAN_OPTIONS");
        environment.insert("ASAN_OPTIONS", (asan.isEmpty() ? "" : asan + ":") + "verify_asan_link_order=0");
        environment.insert("VANTREL_FAULTS_DIR", faults->folder);
        if (faults->killAt > 0)
            environment.insert("VANTREL_FAULTS_KILL_AT", QString::number(faults->killAt));
        if (!faults->report.isEmpty())
            environment.insert("VANTREL_FAULTS_REPORT", faults->report);
        if (!faults->trace.isEmpty())
            environment.insert("VANTREL_FAULTS_TRACE", faults->trace);
    }
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->start(program, args);
    return process;
}

Outcome finish(QProcess& process)
{
    Outcome outcome;
    outcome.finished = process.waitForFinished(60000);
    outcome.killed = process.exitStatus() == QProcess::CrashExit;
    outcome.status = process.exitCode();
    outcome.errors = QString::fromLocal8Bit(process.readAllStandardError());
    outcome.output = QString::fromLocal8Bit(process.readAllStandardOutput());
    return outcome;
}

Outcome runProgram(const QString& program, const QStringList& args, const std::optional<Faults>& faults = {})
{
    return finish(*launch(program, args, faults));
}

// The kills are tried a few at a time, one process per core.
long lanes()
{
    return qBound(2, QThread::idealThreadCount(), 4);
}

// The number of operations a whole run made, from the library's report.
long operationsOf(const QString& report)
{
    const std::optional<QByteArray> line = fileBytes(report);
    static const QRegularExpression counts("^operations (\\d+) syncs (\\d+)\\n$");
    const QRegularExpressionMatch match = counts.match(QString::fromLatin1(line.value_or("")));
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

using Tables = QMap<QString, Rows>;

// Every row of the three tables in the order stored; a missing table is absent.
Tables contentsOf(const QSqlDatabase& db)
{
    Tables tables;
    for (const QString table : {"userMaster", "main", "printDetails"}) {
        QSqlQuery query(db);
        if (!query.exec("select * from " + table + " order by rowid"))
            continue;
        Rows& rows = tables[table];
        while (query.next()) {
            QVariantList row;
            for (int i = 0; i < query.record().count(); ++i)
                row << query.value(i);
            rows << row;
        }
    }
    return tables;
}

// What is wrong with the book at `path`; nothing when it is whole: the three
// tables and the program's indexes, the engine's integrity check, and the rows
// expected.
QString problemsOf(const QString& path, const Tables& expected)
{
    QString problem;
    const QString name = "book-check";
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(path);
        db.open();
        QSqlQuery query(db);
        if (!db.isOpen() ||
            !query.exec("select group_concat(name, ' ') from (select name from sqlite_master "
                        "order by type desc, name)") ||
            !query.next()) {
            problem = "cannot be read: " + query.lastError().text();
        } else if (const QString names = query.value(0).toString();
                   names != "main printDetails userMaster ix_main_by_first_name ix_main_by_names "
                            "ix_main_by_order ix_main_by_second_name ix_userMaster_by_user") {
            problem = "holds " + names;
        } else if (!query.exec("pragma integrity_check") || !query.next() || query.value(0) != "ok") {
            problem = "integrity check: " + query.value(0).toString();
        } else if (contentsOf(db) != expected) {
            problem = "rows differ from what was written";
        }
    }
    QSqlDatabase::removeDatabase(name);
    return problem;
}

const Tables emptyBook{{"userMaster", {}}, {"main", {}}, {"printDetails", {}}};

// The book with the files that belong to it (a journal to roll back, a log).
void copyBook(const QString& from, const QString& to)
{
    for (const QString& suffix : QStringList{""} + companions) {
        QFile::remove(to + suffix);
        if (QFile::exists(from + suffix))
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

// The files in a folder, hidden ones included.
QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A copy of this test program starting the program on a folder: what the real
// program does up to its login window, then it ends by itself.
int startAlone(int argc, char** argv)
{
    ui::Application app(argc, argv);
    const char* folder = argv[2];
    app::session().reset();
    ui::program::setFolder(QString::fromLocal8Bit(folder));
    bool ended = false;
    ui::program::setEndHandler([&ended](int) { ended = true; });
    ui::MessageBox::setResponder([](const QString&, const QString& prompt) {
        std::fprintf(stderr, "message: %s\n", qPrintable(prompt));
    });
    clsConnection::registerWindows();
    ui::runGuarded(clsConnection::Main);
    const int status = ended ? ui::program::exitStatus() : openWindowName() == "frmVantrel" ? 0 : 2;
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
        book.addUser(user, texts[user.size() % texts.size()]);
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
// book must appear by one rename of a file whose bytes were synced after they
// were last written, and the folder must be synced after the rename.
QString whyNotDurable(const QString& tracePath, const QString& book)
{
    QList<QStringList> trace; // call, path, second path
    for (const QString& line : QString::fromUtf8(fileBytes(tracePath).value_or("")).split('\n'))
        if (!line.isEmpty())
            trace << line.split(' ').mid(1);
    qsizetype published = -1;
    for (qsizetype i = 0; i < trace.size(); ++i) {
        if (!trace[i].mid(1).contains(book))
            continue;
        if (published >= 0 || !trace[i][0].startsWith("rename"))
            return "the book's name is touched by " + trace[i].join(' ');
        published = i;
    }
    if (published < 0)
        return "the book never appeared";
    const QString built = trace[published][1];
    const auto isSync = [](const QStringList& operation) { return operation[0].contains("sync"); };
    qsizetype lastChange = -1, lastSync = -1;
    for (qsizetype i = 0; i < published; ++i) {
        if (trace[i][1] == built)
            (isSync(trace[i]) ? lastSync : lastChange) = i;
    }
    if (lastSync < lastChange)
        return "the built file is renamed without a sync after its last change";
    const QString folder = QFileInfo(book).path();
    for (qsizetype i = published + 1; i < trace.size(); ++i) {
        if (isSync(trace[i]) && trace[i][1] == folder)
            return {};
    }
    return "the folder is not synced after the rename";
}

} // namespace

class BookCreationTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // vantrel-createdb, and vantrel-migrate into a new book file, killed before each of their file
    // operations: no book, or a whole one the program starts on; run again, the tool makes it, or
    // says that it is there (the migration: that it holds the rows).
    void aKilledToolLeavesNoBookOrAWholeOne_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<bool>("copies");
        QTest::newRow("vantrel-createdb") << VANTREL_CREATEDB << false;
        QTest::newRow("vantrel-migrate") << VANTREL_MIGRATE << true;
    }

    void aKilledToolLeavesNoBookOrAWholeOne()
    {
        ONLY_ON_THE_FILE();
        QFETCH(QString, tool);
        QFETCH(bool, copies);
        testing::ProgramFolder source(data::Engine::SQLite);
        fillSourceBook(source);
        const Tables expected = copies ? contentsOf(source.database()) : emptyBook;
        const auto argsFor = [&](const QString& book) {
            return copies ? QStringList{source.databasePath(), book} : QStringList{book};
        };

        // A whole run, counted and traced.
        QTemporaryDir counting;
        const QString folder = counting.filePath("data");
        const Outcome whole =
            runProgram(tool, argsFor(folder + "/vantrel.mdb"),
                       Faults{counting.path(), 0, counting.filePath("report"), counting.filePath("trace")});
        QVERIFY2(whole.status == 0 && !whole.killed, qPrintable(whole.errors));
        QCOMPARE(problemsOf(folder + "/vantrel.mdb", expected), QString());
        const long total = operationsOf(counting.filePath("report"));
        qInfo("%s: %ld file operations", qPrintable(QFileInfo(tool).fileName()), total);
        QVERIFY(total > 0);
        QCOMPARE(whyNotDurable(counting.filePath("trace"), folder + "/vantrel.mdb"), QString());

        struct Attempt
        {
            long n;
            std::unique_ptr<QTemporaryDir> dir = std::make_unique<QTemporaryDir>();
            QString book = dir->filePath("data/vantrel.mdb");
            std::unique_ptr<QProcess> run = {};
            bool made = false;
        };
        for (long first = 1; first <= total; first += lanes()) {
            std::vector<Attempt> round;
            for (long n = first; n < first + lanes() && n <= total; ++n) {
                round.push_back({n});
                round.back().run =
                    launch(tool, argsFor(round.back().book), Faults{round.back().dir->path(), n});
            }
            for (Attempt& attempt : round) {
                const Outcome killed = finish(*attempt.run);
                NOTHING_WRONG(attempt.n, killed.killed ? QString() : "not killed: " + killed.errors);
                attempt.made = QFile::exists(attempt.book);
                if (attempt.made)
                    NOTHING_WRONG(attempt.n, problemsOf(attempt.book, expected));
                attempt.run = launch(tool, argsFor(attempt.book)); // again
            }
            for (const Attempt& attempt : round) {
                const Outcome again = finish(*attempt.run);
                if (attempt.made && copies) {
                    QCOMPARE(again.status, 1);
                    QCOMPARE(again.errors, "vantrel-migrate: The target book already holds 3 users, 30 "
                                           "contacts and 1 staged row; it is left as it is (add --replace to "
                                           "copy over it).\n");
                } else {
                    NOTHING_WRONG(attempt.n, again.status == 0 ? QString() : again.errors);
                    QCOMPARE(again.output.contains("left as it is"), attempt.made);
                }
                const QString data = attempt.dir->filePath("data");
                QCOMPARE(filesIn(data), QStringList{"vantrel.mdb"});
                QCOMPARE(QFileInfo(attempt.book).permissions() & 0x0777, 0x0600);
                QCOMPARE(QFileInfo(data).permissions() & 0x0777, 0x0700);
                NOTHING_WRONG(attempt.n, problemsOf(attempt.book, expected));
                NOTHING_WRONG(attempt.n, whyTheProgramFailsOn(attempt.book));
            }
        }
    }

    // The program's first start on a new book (it may add indexes and change the file's journal)
    // killed before each file operation: the book stays whole and the program starts on it.
    void aKilledFirstStartLeavesTheBookWhole()
    {
        ONLY_ON_THE_FILE();
        QTemporaryDir made;
        const QString fresh = made.filePath("vantrel.mdb");
        QCOMPARE(runProgram(VANTREL_CREATEDB, {fresh}).status, 0);
        const auto folderWithNewBook = [&] {
            auto folder = std::make_unique<testing::ProgramFolder>(data::Engine::SQLite);
            copyBook(fresh, folder->databasePath());
            return folder;
        };
        const QString self = QCoreApplication::applicationFilePath();
        long total = 0;
        {
            const auto folder = folderWithNewBook();
            const QString report = folder->path() + "/report";
            const Outcome whole =
                runProgram(self, {"--start", folder->path()}, Faults{folder->path() + "/data", 0, report});
            QVERIFY2(whole.finished && !whole.killed && whole.status == 0, qPrintable(whole.errors));
            total = operationsOf(report);
            QVERIFY(total >= 0);
        }
        qInfo("first start: %ld file operations", total);
        for (long first = 1; first <= total; first += lanes()) {
            std::vector<std::pair<std::unique_ptr<testing::ProgramFolder>, std::unique_ptr<QProcess>>> round;
            for (long n = first; n < first + lanes() && n <= total; ++n) {
                auto folder = folderWithNewBook();
                auto started = launch(self, {"--start", folder->path()}, Faults{folder->path() + "/data", n});
                round.emplace_back(std::move(folder), std::move(started));
            }
            for (long n = first; auto& [folder, started] : round) {
                const Outcome killed = finish(*started);
                NOTHING_WRONG(n, killed.killed ? QString() : "not killed: " + killed.errors);
                // The program's next start sees what the engine left, a journal or a log included.
                NOTHING_WRONG(n, whyTheProgramFailsOn(folder->databasePath()));
                NOTHING_WRONG(n, problemsOf(folder->databasePath(), emptyBook));
                ++n;
            }
        }
    }

    // A creator that finds another one at work on the same book leaves it alone.
    void twoCreatorsNeverShareTheBookTheyBuild()
    {
        ONLY_ON_THE_FILE();
        QTemporaryDir dir;
        const QString building = dir.filePath(".vantrel.mdb.creating");
        QFile other(building);
        QVERIFY(other.open(QIODevice::WriteOnly));
        QVERIFY(::flock(other.handle(), LOCK_EX | LOCK_NB) == 0);
        const Outcome refused = runProgram(VANTREL_CREATEDB, {dir.filePath("vantrel.mdb")});
        QCOMPARE(refused.status, 1);
        QVERIFY2(refused.errors.contains("being made"), qPrintable(refused.errors));
        QCOMPARE(filesIn(dir.path()), QStringList{".vantrel.mdb.creating"});
        other.close();
        QCOMPARE(runProgram(VANTREL_CREATEDB, {dir.filePath("vantrel.mdb")}).status, 0);
        QCOMPARE(filesIn(dir.path()), QStringList{"vantrel.mdb"});

        // Another program's book appears while this one is built: it stays, and what was built goes.
        const QString book = dir.filePath("other.mdb");
        bool appeared = false;
        QVERIFY(!data::createBookFile(book, [&](const QString&) { appeared = writeFile(book, "theirs"); }));
        QVERIFY(appeared);
        QCOMPARE(fileBytes(book), "theirs");
        QCOMPARE(filesIn(dir.path()), (QStringList{"other.mdb", "vantrel.mdb"}));
    }

    // A creation that fails half-way leaves no book, and nothing that the next one trips over.
    void aFailedCreationLeavesNothing()
    {
        ONLY_ON_THE_FILE();
        QTemporaryDir dir;
        const QString book = dir.filePath("vantrel.mdb");
        QVERIFY_THROWS_EXCEPTION(data::DataError, data::createBookFile(book, [](const QString&) {
                                     throw data::DataError("the copy failed");
                                 }));
        QCOMPARE(filesIn(dir.path()), QStringList{});
        const Outcome noSource = runProgram(VANTREL_MIGRATE, {dir.filePath("missing.mdb"), book});
        QCOMPARE(noSource.status, 1);
        QVERIFY2(noSource.errors.contains("missing.mdb"), qPrintable(noSource.errors));
        QCOMPARE(filesIn(dir.path()), QStringList{});
    }

    // vantrel-createdb --server killed between two of its statements: the server keeps no table or all.
    void aKilledServerCreationLeavesNoTablesOrAll()
    {
        if (!onServer())
            QSKIP("The server's tables; a book file has cases of its own.");
        testing::ProgramFolder book;
        for (const QString table : {"printDetails", "main", "userMaster"})
            book.exec("drop table " + table);
        const QString settings = book.path() + "/data/server.conf";
        const QString tables = "select table_name from information_schema.tables where table_schema = "
                               "current_schema() order by table_name";
        // Another client creates `main` and keeps it uncommitted: the tool waits there, after its first
        // table.
        book.exec("begin");
        book.exec("create table main (held integer)");
        QProcess tool;
        tool.start(VANTREL_CREATEDB, {"--server", settings});
        const auto sessions = [&](const QString& which) {
            book.exec("select pg_stat_clear_snapshot()");
            return book
                .value("select count(*) from pg_stat_activity where datname = current_database() and "
                       "pid <> pg_backend_pid() and " +
                       which)
                .toInt();
        };
        QDeadlineTimer deadline(60000);
        while (sessions("wait_event_type = 'Lock'") == 0 && !deadline.hasExpired())
            QTest::qWait(10); // the tool is another process
        QCOMPARE(sessions("wait_event_type = 'Lock'"), 1);
        tool.kill();
        QVERIFY(tool.waitForFinished());
        book.exec("rollback");
        while (sessions("true") > 0 && !deadline.hasExpired())
            QTest::qWait(10); // the server sees the tool's session end
        QCOMPARE(sessions("true"), 0);
        const Rows left = book.rows(tables);
        QVERIFY2(left.isEmpty() || left.size() == 3, qPrintable(QString("%1 tables left").arg(left.size())));
        QCOMPARE(QProcess::execute(VANTREL_CREATEDB, {"--server", settings}), 0);
        QCOMPARE(book.rows(tables), (Rows{{"main"}, {"printDetails"}, {"userMaster"}}));
        QCOMPARE(
            book.value("select count(*) from pg_indexes where schemaname = current_schema() and indexname "
                       "like 'ix_%'"),
            5);
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--start") == 0)
        return startAlone(argc, argv);
    // A kill leaves what the page cache holds, in memory as on a disk: the
    // books of these tests live in memory where they can, since a sync is free there.
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        qputenv("TMPDIR", "/dev/shm");
    ui::Application app(argc, argv);
    clsConnection::registerWindows();
    BookCreationTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_bookcreation.moc"
