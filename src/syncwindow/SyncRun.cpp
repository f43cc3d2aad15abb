#include "SyncRun.h"

namespace syncrun {

davsync::DavError checkAddress(const QUrl& url)
{
    if (!url.userInfo().isEmpty())
        return {davsync::DavError::Kind::Refused, 0,
                QStringLiteral("Give the address without a user name or password in it.")};
    return davsync::CardDavClient::checkUrl(url);
}

booksync::SyncSummary synchronizeAccount(data::Connection& book, const QString& user,
                                         const davsync::Account& account, const booksync::Progress& progress)
{
    davsync::CardDavClient client(account);
    if (progress)
        progress(QStringLiteral("Looking for the address book at %1").arg(account.url.toDisplayString()));
    const davsync::Result<QUrl> addressBook = booksync::resolveAddressBook(client);
    if (!addressBook.ok()) {
        booksync::SyncSummary failed;
        failed.error = addressBook.error;
        return failed;
    }
    booksync::SyncOptions options;
    options.progress = progress;
    return booksync::synchronize(book, user, client, addressBook.value, options);
}

QString failureText(const davsync::DavError& error)
{
    if (error.kind == davsync::DavError::Kind::Auth)
        return QStringLiteral("The CardDAV server refused the user name or password.");
    return error.message;
}

} // namespace syncrun
