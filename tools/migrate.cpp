// vantrel-migrate FROM TO [--replace]: copies a whole book (all users, all
// contacts, the staged print row) from FROM to TO, where each is a book file
// (vantrel.mdb) or a settings file naming a server (server.conf). One
// transaction; the counts are checked; a target that holds rows is refused
// unless --replace empties it first, and the refusal says what it holds. A
// book file that does not exist yet is built beside its name and appears,
// whole, once the copy is done: a copy killed at any moment is simply run again.
#include "data/BookFiles.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "migration/Migration.h"

#include <QCoreApplication>
#include <cstdio>
#include <optional>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool replace = args.removeAll(QStringLiteral("--replace")) > 0;
    if (args.size() != 2) {
        std::fprintf(stderr,
                     "usage: vantrel-migrate FROM TO [--replace]   (each a vantrel.mdb or a server.conf)\n");
        return 2;
    }
    try {
        data::Connection from;
        data::openBook(from, args[0], true);
        std::optional<migration::Counts> copied;
        if (!args[1].endsWith(QLatin1String(".conf")))
            copied = migration::copyToNewBookFile(from, args[1]);
        if (!copied) { // a server, or a book file that exists
            data::Connection to;
            data::openBook(to, args[1], false);
            copied = migration::copyBook(from, to, replace);
        }
        std::printf("copied %lld users, %lld contacts and %lld staged rows from %s to %s\n", copied->users,
                    copied->contacts, copied->staged, qPrintable(args[0]), qPrintable(args[1]));
        return 0;
    } catch (const data::DataError& error) {
        std::fprintf(stderr, "vantrel-migrate: %s\n", qPrintable(error.description()));
        return 1;
    }
}
