#include "CommandLine.h"

#include "StoredPassword.h"
#include "SyncRun.h"
#include "data/Accounts.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "terminalpassword/TerminalPassword.h"

#include <QCommandLineParser>
#include <cstdio>

namespace {

int fail(const QString& reason)
{
    std::fprintf(stderr, "vantrel-sync: %s\n", qPrintable(reason));
    return 1;
}

struct Options
{
    QString user;
    QUrl address;
    QString davUser;
    bool forget = false;
};

// The CardDAV password: the keyring's, unless told to forget it; else asked
// (`asked`). A keyring that cannot be used is said, and the password asked.
QString davPassword(const Options& options, const StoredPassword& stored, bool& asked, bool& keyringUsable)
{
    keyringUsable = true;
    try {
        if (options.forget)
            stored.remove();
        else if (const std::optional<QString> kept = stored.read())
            return *kept;
    } catch (const KeyringError& error) {
        keyringUsable = false;
        std::fprintf(stderr, "vantrel-sync: %s\n", qPrintable(error.text()));
    }
    asked = true;
    return readPassword(QStringLiteral("CardDAV password for %1: ").arg(stored.key()));
}

int synchronize(const Options& options, data::Connection& connection)
{
    data::PersonalBook personal(connection);
    if (!personal.logIn(options.user, readPassword()))
        return fail(QStringLiteral("User or Password does not match"));
    data::Connection& book = personal.book();

    const std::optional<booksync::SyncSetup> last = booksync::lastSetup(book, options.user);
    const QUrl address = !options.address.isEmpty() ? options.address : last ? last->addressBook : QUrl();
    const QString davUser = !options.davUser.isEmpty() ? options.davUser : last ? last->davUser : QString();
    if (address.isEmpty())
        return fail(QStringLiteral("--url URL is missing: there is no earlier sync to take it from"));
    if (davUser.isEmpty())
        return fail(QStringLiteral("--dav-user NAME is missing: there is no earlier sync to take it from"));
    if (const davsync::DavError refused = syncrun::checkAddress(address))
        return fail(syncrun::failureText(refused));

    const StoredPassword stored(davUser, address);
    bool asked = false, keyringUsable = true;
    const QString password = davPassword(options, stored, asked, keyringUsable);
    const booksync::SyncSummary summary =
        syncrun::synchronizeAccount(book, options.user, {address, davUser, password}, {});
    if (!summary.completed) {
        QString reason = syncrun::failureText(summary.error);
        if (!asked && summary.error.kind == davsync::DavError::Kind::Auth)
            reason += QStringLiteral(" The password kept in the keyring may be out of date: run again with "
                                     "--forget-password to type the new one.");
        return fail(reason);
    }
    std::printf("%s", qPrintable(summary.toText()));
    if (asked && keyringUsable && !options.forget) {
        try {
            stored.write(password);
        } catch (const KeyringError& error) {
            std::fprintf(stderr, "vantrel-sync: %s\n", qPrintable(error.text()));
        }
    }
    return 0;
}

} // namespace

int runCommandLine(const QStringList& arguments, data::Connection& connection)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Keeps one user's book in the Vantrel database beside this program in step with a "
                       "CardDAV address book. The CardDAV password is kept in the desktop's keyring."));
    parser.addHelpOption();
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("The user whose book it is."),
                                  QStringLiteral("name"));
    const QCommandLineOption url(QStringLiteral("url"),
                                 QStringLiteral("The address book, or the server to find it on; the last "
                                                "sync's when left out."),
                                 QStringLiteral("url"));
    const QCommandLineOption davUser(QStringLiteral("dav-user"),
                                     QStringLiteral("The CardDAV user name; the last sync's when left out."),
                                     QStringLiteral("name"));
    const QCommandLineOption forget(
        QStringLiteral("forget-password"),
        QStringLiteral("Remove the CardDAV password from the keyring, ask for it and do not keep it."));
    parser.addOptions({user, url, davUser, forget});
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::printf("%s", qPrintable(parser.helpText()));
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(
            QStringLiteral("expected: --user NAME [--url URL] [--dav-user NAME] [--forget-password]"));
    if (!parser.isSet(user))
        return fail(QStringLiteral("--user NAME is missing"));
    const Options options{parser.value(user), QUrl(parser.value(url)), parser.value(davUser),
                          parser.isSet(forget)};
    try {
        return synchronize(options, connection);
    } catch (const data::DataError& error) {
        return fail(error.description());
    }
}
