#include "data/BookFiles.h"

#include "data/Connection.h"
#include "data/DataError.h"
#include "data/OfficeServer.h"
#include "data/Schema.h"
#include "data/ServerSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace data {

namespace {

// A connection of its own for the moment of creation.
template <typename Use> void withDatabase(const QString& driver, const QString& name, Use use)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, name);
        try {
            use(db);
        } catch (const DataError&) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QString exec(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        throw DataError(query.lastError().text());
    return query.next() ? query.value(0).toString() : QString();
}

[[noreturn]] void failed(const char* what, const QString& path)
{
    const int error = errno;
    throw DataError(QStringLiteral("cannot %1 %2: %3")
                        .arg(QLatin1String(what), path, QString::fromLocal8Bit(std::strerror(error))));
}

class Descriptor final
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { ::close(m_fd); }
    Q_DISABLE_COPY_MOVE(Descriptor)
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// A file's or folder's entries and bytes on the disk, so that a power cut keeps them.
void sync(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        failed("open", path);
    const Descriptor opened(fd);
    if (::fsync(fd) != 0)
        failed("sync", path);
}

// The owner's alone from the start; its name is on the disk before a book appears in it.
void makeFolder(const QString& folder)
{
    const QString parent = QFileInfo(folder).absolutePath();
    if (!QDir().mkpath(parent))
        throw DataError(QStringLiteral("cannot create folder %1").arg(parent));
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
        failed("create folder", folder);
    sync(parent);
}

// SQLite's files beside a book: the rollback journal, the write-ahead log and its index.
const char* const companions[] = {"-journal", "-wal", "-shm"};

void removeBuilt(const QString& building)
{
    for (const char* companion : companions)
        QFile::remove(building + QLatin1String(companion));
    QFile::remove(building);
}

// Opens the file a book is built in and locks it, for this creation alone. A
// leftover of a creation that was killed is taken over: no one holds its lock.
int takeBuilding(const QString& building, const QString& book)
{
    const QByteArray name = QFile::encodeName(building);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            failed("create", building);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK)
                throw DataError(
                    QStringLiteral(
                        "%1 is being made by another program at the moment; it is left to that one.")
                        .arg(book));
            errno = error;
            failed("lock", building);
        }
        // Between the open and the lock another creation may have published the
        // file it built (then the name is a book's now) or removed it: only the
        // file still under the name, and under no other, is ours to build in.
        struct stat held = {}, named = {};
        if (::fstat(fd, &held) == 0 && ::lstat(name.constData(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            if (held.st_nlink == 1)
                return fd;
            ::unlink(name.constData());
        }
        ::close(fd);
    }
    throw DataError(QStringLiteral("cannot take %1 over").arg(building));
}

// The tables and the indexes, made in one transaction.
void buildTables(const QString& building)
{
    withDatabase(QStringLiteral("QSQLITE"), QStringLiteral("create-book-file"), [&](QSqlDatabase& db) {
        db.setDatabaseName(building);
        if (!db.open())
            throw DataError(db.lastError().text());
        exec(db, QStringLiteral("pragma journal_mode = delete"));
        exec(db, QStringLiteral("pragma synchronous = full"));
        exec(db, QStringLiteral("begin immediate"));
        schema::create(db);
        exec(db, QStringLiteral("commit"));
    });
}

// Whatever filled the book may have left it in write-ahead-log mode: what the
// log holds goes into the file, and the log goes, since it would not follow the
// file to the book's name.
void settle(const QString& building)
{
    withDatabase(QStringLiteral("QSQLITE"), QStringLiteral("settle-book-file"), [&](QSqlDatabase& db) {
        db.setDatabaseName(building);
        if (!db.open())
            throw DataError(db.lastError().text());
        const QString mode = exec(db, QStringLiteral("pragma journal_mode = delete"));
        if (mode != QLatin1String("delete"))
            throw DataError(QStringLiteral("%1 stays in journal mode %2").arg(building, mode));
    });
    for (const char* companion : companions) {
        if (QFileInfo::exists(building + QLatin1String(companion)))
            throw DataError(QStringLiteral("%1 is still open elsewhere").arg(building));
    }
}

// The built file takes the book's name unless a file has it: that one is never
// replaced. False when one had it.
bool publish(const QString& building, const QString& book)
{
    const QByteArray from = QFile::encodeName(building);
    const QByteArray to = QFile::encodeName(book);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    if (errno != EINVAL && errno != ENOSYS)
        failed("rename to its name", building);
    // A file system without that rename: a hard link is just as safe; the
    // building name it leaves behind for a moment is never taken over (see takeBuilding).
    if (::link(from.constData(), to.constData()) != 0) {
        if (errno == EEXIST)
            return false;
        failed("link to its name", building);
    }
    ::unlink(from.constData());
    return true;
}

} // namespace

bool createBookFile(const QString& path, const BookFiller& fill)
{
    const QFileInfo file(path);
    if (file.exists())
        return false;
    const QString book = file.absoluteFilePath();
    const QString folder = file.absolutePath();
    if (!QFileInfo::exists(folder))
        makeFolder(folder);
    const QString building = folder + QLatin1String("/.") + file.fileName() + QLatin1String(".creating");
    const Descriptor lock(takeBuilding(building, book));
    try {
        if (QFileInfo::exists(book)) { // made by another creation meanwhile
            removeBuilt(building);
            return false;
        }
        for (const char* companion : companions)
            QFile::remove(building + QLatin1String(companion));
        if (::ftruncate(lock.fd(), 0) != 0 || ::fchmod(lock.fd(), 0600) != 0)
            failed("empty", building);
        buildTables(building);
        if (fill)
            fill(building);
        settle(building);
        if (::fsync(lock.fd()) != 0)
            failed("sync", building);
        // A log or journal left beside a book that was removed belongs to no
        // book any more; left there, the engine would read it into the new one.
        for (const char* companion : companions)
            QFile::remove(book + QLatin1String(companion));
        if (!publish(building, book)) {
            removeBuilt(building);
            return false;
        }
    } catch (...) {
        removeBuilt(building);
        throw;
    }
    sync(folder);
    return true;
}

void createServerTables(const QString& settingsPath)
{
    const ServerSettings settings = ServerSettings::read(settingsPath);
    withDatabase(QStringLiteral("QPSQL"), QStringLiteral("create-server-tables"), [&](QSqlDatabase& db) {
        settings.applyTo(db);
        if (!db.open())
            throw DataError(QStringLiteral("cannot reach %1: %2")
                                .arg(settings.describe(), db.lastError().text().trimmed()));
        // The server's DDL is transactional: a tool killed half-way leaves no table.
        exec(db, QStringLiteral("begin"));
        schema::create(db);
        office::secure(db);
        exec(db, QStringLiteral("commit"));
    });
}

void openBook(Connection& connection, const QString& where, bool readOnly)
{
    const auto mode = readOnly ? Connection::OpenMode::ReadOnly : Connection::OpenMode::ReadWrite;
    if (where.endsWith(QLatin1String(".conf")))
        connection.openServer(ServerSettings::read(where), mode);
    else
        connection.open(where, mode);
}

} // namespace data
