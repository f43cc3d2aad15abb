// vantrel-createdb [FILE]: creates an empty Vantrel database (default:
// data/vantrel.mdb beside the program) with its three tables and indexes.
// An existing file is left exactly as it is. The book appears whole or not at
// all: killed at any moment, the tool is simply run again.
// vantrel-createdb --server SETTINGS: creates the three tables and indexes in
// the (empty) server database that a settings file such as data/server.conf
// names, in one transaction; tables that exist are left as they are.
#include "data/BookFiles.h"
#include "data/DataError.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "vantrel-createdb: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        if (args.size() == 3 && args[1] == QLatin1String("--server")) {
            data::createServerTables(args[2]);
            std::printf("the tables named by %s are ready\n", qPrintable(args[2]));
            return 0;
        }
        if (args.size() > 2 || (args.size() == 2 && args[1].startsWith(QLatin1Char('-'))))
            return fail(QStringLiteral("usage: vantrel-createdb [FILE] | --server SETTINGS"));
        const QString path = QDir::cleanPath(args.size() == 2 ? args[1]
                                                              : QCoreApplication::applicationDirPath() +
                                                                    QLatin1String("/../data/vantrel.mdb"));
        if (data::createBookFile(path))
            std::printf("created %s\n", qPrintable(path));
        else
            std::printf("%s exists; left as it is.\n", qPrintable(path));
        return 0;
    } catch (const data::DataError& error) {
        return fail(error.description());
    }
}
