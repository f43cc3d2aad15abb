// vantrel-bench [--sizes 1000,10000,100000,1000000] [--reps 7] [--exchange]
//               [--engine postgresql --pghost SOCKET_FOLDER]
//
// For each size N: builds a temporary program folder whose user "bench" owns N
// contacts (plus other users' contacts), then drives the real windows headless
// as a user would, timing each action, next to the floor: the bare SQLite
// query that lists the user's contact keys in the window's order. Each N runs
// in a process of its own so that its peak memory is its own. On the file, the
// writes also count their flushes (fsync and fdatasync calls), through the
// test support's preloaded file-operation counter.
#include "SampleBook.h"

#include "ProgramFolder.h"
#include "app/clsConnection.h"
#include "bookexchange/BookExchange.h"
#include "contacts/frmDetails.h"
#include "data/BookFiles.h"
#include "data/Connection.h"
#include "data/Passwords.h"
#include "data/RecordSet.h"
#include "migration/Migration.h"
#include "session/Session.h"
#include "ui/Application.h"
#include "ui/MessageBox.h"
#include "ui/Program.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <dlfcn.h>
#include <functional>
#include <sqlite3.h>
#include <string_view>
#include <sys/resource.h>
#include <vector>

namespace {

struct Figure
{
    double median = 0;
    double worst = 0;
};

Figure summarise(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples.back()};
}

double elapsedMs(const std::function<void()>& action)
{
    QElapsedTimer timer;
    timer.start();
    action();
    QCoreApplication::processEvents(); // paint what changed
    return double(timer.nsecsElapsed()) / 1e6;
}

// Whether the book is a file here, whose flushes this process makes itself.
bool g_fileBook = true;

// The flushes this process has made so far; none counted without the preloaded counter.
long flushesSoFar()
{
    if (!g_fileBook)
        return -1;
    using Counter = long (*)();
    static const auto counter = reinterpret_cast<Counter>(dlsym(RTLD_DEFAULT, "vantrel_faults_syncs"));
    return counter ? counter() : -1;
}

// The times of an action repeated, and the flushes it made in all.
struct Samples
{
    std::vector<double> ms;
    long flushes = 0;

    void time(const std::function<void()>& action)
    {
        const long before = flushesSoFar();
        ms.push_back(elapsedMs(action));
        flushes += flushesSoFar() - before;
    }
};

void report(int n, const char* action, const Figure& figure, double flushes = -1)
{
    std::printf("RESULT\t%d\t%s\t%.3f\t%.3f\t%.2f\n", n, action, figure.median, figure.worst, flushes);
    std::fflush(stdout);
}

void report(int n, const char* action, const Samples& samples)
{
    report(n, action, summarise(samples.ms),
           flushesSoFar() < 0 ? -1 : double(samples.flushes) / double(samples.ms.size()));
}

template <typename T> T* control(ui::Form& form, const char* name)
{
    return form.window()->findChild<T*>(QLatin1String(name));
}

void press(ui::Form& form, const char* button)
{
    control<QAbstractButton>(form, button)->click();
}

// On a server the floor is the same key query through Qt's driver, as the
// program sends it.
Figure serverFloorQuery(const testing::ProgramFolder& folder, int reps)
{
    std::vector<double> samples;
    samples.reserve(reps);
    QSqlQuery query(folder.database());
    query.setForwardOnly(true);
    query.prepare(testing::ProgramFolder::translated(
        QStringLiteral("select rowid from main where user = ? order by category, firstName, rowid")));
    for (int rep = 0; rep < reps; ++rep) {
        samples.push_back(elapsedMs([&] {
            std::vector<qint64> keys;
            query.addBindValue(QStringLiteral("bench"));
            query.exec();
            while (query.next())
                keys.push_back(query.value(0).toLongLong());
        }));
    }
    return summarise(samples);
}

Figure floorQuery(const QString& databasePath, int reps)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(databasePath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(
        db, "select rowid from main where \"user\" = ? order by \"category\", \"firstName\", rowid", -1,
        &query, nullptr);
    std::vector<double> samples;
    samples.reserve(reps);
    for (int rep = 0; rep < reps; ++rep) {
        samples.push_back(elapsedMs([&] {
            std::vector<sqlite3_int64> keys;
            sqlite3_bind_text(query, 1, "bench", -1, SQLITE_STATIC);
            while (sqlite3_step(query) == SQLITE_ROW)
                keys.push_back(sqlite3_column_int64(query, 0));
            sqlite3_reset(query);
        }));
    }
    sqlite3_finalize(query);
    sqlite3_close(db);
    return summarise(samples);
}

// Program start to login window shown, in a fresh process.
Figure startUp(const QString& folder, int reps)
{
    std::vector<double> samples;
    for (int rep = 0; rep < reps; ++rep) {
        QProcess probe;
        QElapsedTimer timer;
        timer.start();
        probe.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--start-probe"), folder});
        probe.waitForReadyRead(10000);
        samples.push_back(double(timer.nsecsElapsed()) / 1e6);
        probe.waitForFinished(10000);
    }
    return summarise(samples);
}

int startProbe(int argc, char** argv)
{
    ui::Application app(argc, argv);
    ui::program::setFolder(QString::fromLocal8Bit(argv[2]));
    clsConnection::registerWindows();
    clsConnection::Main();
    QWindow* window = app::session().form(app::Window::Vantrel).window()->windowHandle();
    while (!window->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("shown\n");
    std::fflush(stdout);
    app::session().reset();
    return 0;
}

void typeNames(frmDetails& window, const QString& first, const QString& second)
{
    control<QLineEdit>(window, "txtFirstName")->setText(first);
    control<QLineEdit>(window, "txtLastName")->setText(second);
}

int runSize(int argc, char** argv, int n, int reps)
{
    ui::Application app(argc, argv);
    testing::ProgramFolder folder;
    g_fileBook = folder.engine() == data::Engine::SQLite;
    if (folder.engine() == data::Engine::SQLite) {
        bench::fillSampleBook(folder.databasePath(), n);
    } else { // the same book, made as a file and moved to the server
        testing::ProgramFolder file(data::Engine::SQLite);
        bench::fillSampleBook(file.databasePath(), n);
        data::Connection from;
        data::Connection to;
        from.open(file.databasePath(), data::Connection::OpenMode::ReadOnly);
        data::openBook(to, folder.administratorSettings(), false); // as the book's owner
        migration::copyBook(from, to, true);
        to.execute(QStringLiteral("vacuum analyze")); // as autovacuum leaves a book that has settled
    }
    const bench::Names nearEnd = bench::namesAt(folder, std::max(0, n - 5));
    const bench::Names middle = bench::namesAt(folder, n / 2);

    const Figure floor = folder.engine() == data::Engine::SQLite ? floorQuery(folder.databasePath(), reps)
                                                                 : serverFloorQuery(folder, reps);
    std::printf("FLOOR\t%d\t%.3f\t%.3f\n", n, floor.median, floor.worst);
    report(n, "start to login window", startUp(folder.path(), std::min(reps, 5)));

    ui::program::setFolder(folder.path());
    ui::program::setEndHandler([](int) {});
    ui::MessageBox::setResponder([](const QString&, const QString&) {});
    clsConnection::registerWindows();
    clsConnection::Main();
    app::Session& session = app::session();
    ui::Form& login = session.form(app::Window::Vantrel);
    auto& contacts = session.form<frmDetails>(app::Window::Details);

    Samples signUps;
    Samples passwordChanges;
    for (int rep = 0; rep < reps; ++rep) {
        const QString user = QStringLiteral("newcomer%1").arg(rep);
        press(login, "cmdNewUser");
        for (const char* box : {"txtUser", "txtPassword", "txtRetypePassword"})
            control<QLineEdit>(login, box)
                ->setText(box == std::string_view("txtUser") ? user : QStringLiteral("pw"));
        signUps.time([&] { press(login, "cmdSave"); });
        press(login, "cmdChangePassword");
        ui::Form& change = session.form(app::Window::ChangePassword);
        auto* users = control<QComboBox>(change, "cbUser");
        users->setCurrentIndex(users->findText(user));
        control<QLineEdit>(change, "txtOldPassword")->setText(QStringLiteral("pw"));
        control<QLineEdit>(change, "txtNewPassword")->setText(QStringLiteral("pw2"));
        control<QLineEdit>(change, "txtRetypePassword")->setText(QStringLiteral("pw2"));
        passwordChanges.time([&] { press(change, "cmdModify"); }); // back to the login window
    }
    report(n, "Sign-up", signUps);
    report(n, "Change password", passwordChanges);

    std::vector<double> samples;
    for (int rep = 0; rep < reps; ++rep) {
        control<QLineEdit>(login, "txtUser")->setText(QStringLiteral("bench"));
        control<QLineEdit>(login, "txtPassword")->setText(QStringLiteral("pw"));
        samples.push_back(elapsedMs([&] { press(login, "cmdLogin"); }));
        if (rep + 1 < reps)
            press(contacts, "cmdUser");
    }
    report(n, "login to first contact", summarise(samples));
    // The login's two parts apart: the password check (Argon2id, on the file;
    // on a server the key and the server's SCRAM login), and the contact window
    // opened once the person is known.
    samples.clear();
    const QString stored = data::passwords::hash(QStringLiteral("pw"));
    for (int rep = 0; rep < reps; ++rep)
        samples.push_back(elapsedMs([&] { data::passwords::matches(stored, QStringLiteral("pw")); }));
    report(n, "password check", summarise(samples));
    samples.clear();
    for (int rep = 0; rep < reps; ++rep) {
        press(contacts, "cmdUser");
        samples.push_back(elapsedMs([&] {
            session.unloadAll();
            session.show(app::Window::Details);
        }));
    }
    report(n, "first contact, password checked", summarise(samples));

    QMap<QString, std::vector<double>> moves;
    for (int rep = 0; rep < reps; ++rep) {
        for (const char* button : {"cmdNext", "cmdPrev", "cmdLast", "cmdFirst"})
            moves[QLatin1String(button)].push_back(elapsedMs([&] { press(contacts, button); }));
    }
    for (const char* button : {"cmdNext", "cmdPrev", "cmdLast", "cmdFirst"})
        report(n, button, summarise(moves[QLatin1String(button)]));

    std::vector<double> byFirst;
    std::vector<double> byBoth;
    for (int rep = 0; rep < reps; ++rep) {
        press(contacts, "cmdSearch");
        typeNames(contacts, nearEnd.first, QString());
        byFirst.push_back(elapsedMs([&] { press(contacts, "cmdView"); }));
        press(contacts, "cmdSearch");
        typeNames(contacts, nearEnd.first, nearEnd.second);
        byBoth.push_back(elapsedMs([&] { press(contacts, "cmdView"); }));
    }
    report(n, "View by first name", summarise(byFirst));
    report(n, "View by both names", summarise(byBoth));

    Samples adds;
    for (int rep = 0; rep < reps; ++rep) {
        press(contacts, "cmdAdd");
        typeNames(contacts, QStringLiteral("Newcomer%1").arg(rep), QStringLiteral("Bench"));
        control<QLineEdit>(contacts, "txtPhone1")->setText(QStringLiteral("1234567"));
        adds.time([&] { press(contacts, "cmdSave"); });
    }
    report(n, "AddNew + Save", adds);

    Samples modifies;
    for (int rep = 0; rep < reps; ++rep) {
        press(contacts, "cmdSearch");
        typeNames(contacts, middle.first, middle.second);
        press(contacts, "cmdView");
        press(contacts, "cmdModify");
        control<QPlainTextEdit>(contacts, "txtAddress")->setPlainText(QStringLiteral("Moved %1").arg(rep));
        modifies.time([&] { press(contacts, "cmdSave"); });
    }
    report(n, "Modify + Save", modifies);

    Samples prints;
    for (int rep = 0; rep < reps; ++rep)
        prints.time([&] { press(contacts, "cmdPrint"); });
    report(n, "Print", prints);

    samples.clear();
    for (int rep = 0; rep < reps; ++rep) {
        samples.push_back(elapsedMs([&] { press(contacts, "cmdQuit"); }));
        press(session.form(app::Window::YesNo),
              rep + 1 < reps ? "Command2" : "Command1"); // No, and at last Yes
    }
    report(n, "Quit to confirmation", summarise(samples));

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("RSS\t%d\t%.1f\n", n, double(usage.ru_maxrss) / 1024.0);
    session.reset();
    return 0;
}

// Exchange: the book of N contacts exported by the library (as the program
// does it), then each file imported into an empty book by the real
// vantrel-exchange, each import a process of its own, so that its peak memory
// is its own.
int runExchange(int argc, char** argv, int n, int reps)
{
    QCoreApplication app(argc, argv);
    testing::ProgramFolder folder;
    bench::fillSampleBook(folder.databasePath(), n);
    const QString program = folder.path() + QLatin1String("/vantrel-exchange");
    QFile::copy(QStringLiteral(VANTREL_EXCHANGE), program);
    data::Connection connection;
    connection.openProgramDatabase(folder.path());
    for (const exchange::Format format : {exchange::Format::VCard30, exchange::Format::Csv}) {
        const QString file = folder.path() + (format == exchange::Format::Csv ? "/book.csv" : "/book.vcf");
        std::vector<double> exports;
        exports.reserve(reps);
        for (int rep = 0; rep < reps; ++rep)
            exports.push_back(
                elapsedMs([&] { exchange::exportBook(connection, QStringLiteral("bench"), file, format); }));
        report(n, qPrintable("export " + exchange::formatLabel(format)), summarise(exports));
        std::vector<double> imports;
        long peak = 0;
        for (int rep = 0; rep < reps; ++rep) {
            const QString user = QStringLiteral("copy%1%2").arg(int(format)).arg(rep);
            folder.addUser(user, QStringLiteral("pw"));
            QProcess import;
            imports.push_back(elapsedMs([&] {
                import.start(program, {QStringLiteral("import"), QStringLiteral("--user"), user, file});
                import.write("pw\n");
                import.closeWriteChannel();
                import.waitForFinished(-1);
            }));
            // The sample book repeats some name pairs, which an import skips as Save would.
            const QString count =
                QStringLiteral("select count(*) from (select distinct firstName, secondName "
                               "from main where user = ?)");
            if (import.exitCode() != 0 ||
                folder.value(count, {user}).toInt() != folder.value(count, {QStringLiteral("bench")}).toInt())
                return 1;
            rusage children{};
            getrusage(RUSAGE_CHILDREN, &children);
            peak = std::max(peak, children.ru_maxrss);
        }
        report(n, qPrintable("import " + exchange::formatLabel(format) + " (process)"), summarise(imports));
        std::printf("RSS\t%d\t%.1f\t%s\n", n, double(peak) / 1024.0,
                    qPrintable("import " + exchange::formatLabel(format)));
    }
    return 0;
}

int runAll(const QStringList& sizes, int reps, const QString& childMode)
{
    std::printf("%-10s %-24s %10s %10s %8s %8s\n", "N", "action", "median ms", "worst ms", "/floor",
                "flushes");
    for (const QString& size : sizes) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (QFile::exists(QStringLiteral(VANTREL_FILEFAULTS))) { // counts the flushes of every file
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(VANTREL_FILEFAULTS));
            const QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
            environment.insert(QStringLiteral("ASAN_OPTIONS"),
                               (asan.isEmpty() ? QString() : asan + QLatin1Char(':')) +
                                   QStringLiteral("verify_asan_link_order=0"));
            child.setProcessEnvironment(environment);
        }
        child.start(QCoreApplication::applicationFilePath(),
                    {childMode, size, QStringLiteral("--reps"), QString::number(reps)});
        child.waitForFinished(-1);
        double floor = 0;
        const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
        for (const QByteArray& line : lines) {
            const QList<QByteArray> f = line.split('\t');
            if (f.value(0) == "FLOOR") {
                floor = f[2].toDouble();
                std::printf("%-10s %-24s %10.3f %10.3f %8s\n", f[1].constData(), "floor (key query)", floor,
                            f[3].toDouble(), "1.0");
            } else if (f.value(0) == "RESULT") {
                const double flushes = f.value(5).toDouble();
                std::printf("%-10s %-24s %10.3f %10.3f %8.1f %8s\n", f[1].constData(), f[2].constData(),
                            f[3].toDouble(), f[4].toDouble(), floor > 0 ? f[3].toDouble() / floor : 0.0,
                            flushes < 0 ? "" : qPrintable(QString::number(flushes, 'f', 2)));
            } else if (f.value(0) == "RSS") {
                std::printf("%-10s %-24s %10s MB %s\n", f[1].constData(), "peak resident memory",
                            f[2].constData(), f.value(3).constData());
            }
        }
        std::fflush(stdout);
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
            std::fprintf(stderr, "vantrel-bench: the run at %s contacts failed\n", qPrintable(size));
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.value(0) == QLatin1String("--start-probe") && args.size() == 2)
        return startProbe(argc, argv);
    const int reps = args.contains(QLatin1String("--reps"))
                         ? args.value(args.indexOf(QLatin1String("--reps")) + 1).toInt()
                         : 7;
    if (args.value(0) == QLatin1String("--child-exchange"))
        return runExchange(argc, argv, args.value(1).toInt(), std::max(reps, 1));
    if (args.value(0) == QLatin1String("--child"))
        return runSize(argc, argv, args.value(1).toInt(), std::max(reps, 1));
    const QStringList sizes =
        args.contains(QLatin1String("--sizes"))
            ? args.value(args.indexOf(QLatin1String("--sizes")) + 1).split(QLatin1Char(','))
            : QStringList{QStringLiteral("1000"), QStringLiteral("10000"), QStringLiteral("100000"),
                          QStringLiteral("1000000")};
    // A server book: the socket folder of a running server (tests/postgres/pg-cluster.sh start DIR).
    if (args.contains(QLatin1String("--engine")) &&
        args.value(args.indexOf(QLatin1String("--engine")) + 1) == QLatin1String("postgresql")) {
        qputenv("VANTREL_TEST_ENGINE", "postgresql");
        qputenv("VANTREL_TEST_PGHOST", args.value(args.indexOf(QLatin1String("--pghost")) + 1).toLocal8Bit());
    }
    QCoreApplication app(argc, argv);
    const bool exchange = args.contains(QLatin1String("--exchange"));
    return runAll(sizes, std::max(reps, 1),
                  exchange ? QStringLiteral("--child-exchange") : QStringLiteral("--child"));
}
