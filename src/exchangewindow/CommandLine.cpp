#include "CommandLine.h"

#include "bookexchange/BookExchange.h"
#include "data/Accounts.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "terminalpassword/TerminalPassword.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>

namespace {

int fail(const QString& reason)
{
    std::fprintf(stderr, "vantrel-exchange: %s\n", qPrintable(reason));
    return 1;
}

} // namespace

int runCommandLine(const QStringList& arguments, data::Connection& connection)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Imports contacts into, or exports them from, one user's "
                                                    "book in the Vantrel database beside this program."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("export or import"));
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("the vCard or CSV file"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("The user whose book it is."),
                                  QStringLiteral("name"));
    const QCommandLineOption format(QStringLiteral("format"),
                                    QStringLiteral("vcard3, vcard4, vcard21, csv (Outlook's columns) or "
                                                   "csv-thunderbird; without it, the file's content or name "
                                                   "decides (vcard3 or csv)."),
                                    QStringLiteral("format"));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("Export over a file that already exists."));
    parser.addOptions({user, format, force});
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::printf("%s", qPrintable(parser.helpText()));
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    const QString command = positional.value(0);
    if (positional.size() != 2 || (command != QLatin1String("export") && command != QLatin1String("import")))
        return fail(QStringLiteral("expected: export|import --user NAME [--format FORMAT] [--force] FILE"));
    if (!parser.isSet(user))
        return fail(QStringLiteral("--user NAME is missing"));
    const QString& path = positional[1];
    exchange::Format chosen = exchange::formatForFile(path);
    if (parser.isSet(format)) {
        const std::optional<exchange::Format> named = exchange::formatNamed(parser.value(format));
        if (!named)
            return fail(
                QStringLiteral("unknown format '%1': use vcard3, vcard4, vcard21, csv or csv-thunderbird")
                    .arg(parser.value(format)));
        chosen = *named;
    }
    // Asked before the password, so that nobody types it for nothing.
    if (command == QLatin1String("export") && QFileInfo::exists(path) && !parser.isSet(force))
        return fail(QStringLiteral("%1 already exists; add --force to replace it").arg(path));

    try {
        data::PersonalBook personal(connection);
        if (!personal.logIn(parser.value(user), readPassword()))
            return fail(QStringLiteral("User or Password does not match"));
        data::Connection& book = personal.book();
        if (command == QLatin1String("export")) {
            const exchange::ExportResult result =
                exchange::exportBook(book, parser.value(user), path, chosen);
            if (result.outcome != exchange::Outcome::Completed)
                return fail(result.error);
            std::printf("Exported %lld contacts to %s.\n", result.written, qPrintable(path));
            return 0;
        }
        exchange::ImportOptions options;
        if (parser.isSet(format))
            options.kind = exchange::isCsv(chosen) ? exchange::FileKind::Csv : exchange::FileKind::VCard;
        const exchange::ImportSummary summary =
            exchange::importIntoBook(book, parser.value(user), path, options);
        if (summary.outcome != exchange::Outcome::Completed)
            return fail(summary.error);
        std::printf("%s", qPrintable(summary.toText()));
        return 0;
    } catch (const data::DataError& error) {
        return fail(error.description());
    }
}
