#pragma once

#include "booksync/BookSync.h"

namespace data {
class Connection;
}

// What the window and the command line share: one sync from an account, and
// what a person reads when the server stops it.
namespace syncrun {

// Whether the address a person gave may be used, before any password is
// looked up for it: the client's own rule (HTTPS, plain HTTP only to this
// computer), and no user name or password inside it, where logs and the
// last set-up would keep them.
davsync::DavError checkAddress(const QUrl& url);

// The account's address book found (or made), then the user's contacts
// synchronised with it. A failure of the server is in the summary, which
// then has not completed; the book's own failures throw data::DataError.
booksync::SyncSummary synchronizeAccount(data::Connection& book, const QString& user,
                                         const davsync::Account& account, const booksync::Progress& progress);

// The failure said to a person: the server's refusal of the login in words of
// our own, anything else with the client's text (which never holds the password).
QString failureText(const davsync::DavError& error);

} // namespace syncrun
