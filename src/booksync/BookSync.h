#pragma once

#include "sync/CardDavClient.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

namespace data {
class Connection;
}

// Keeps one person's contacts and one CardDAV address book in step.
//
// A contact is the same on both sides by its UID. What changed on the server
// is known from its sync token (else from its ETags); what changed in the book
// from a digest of the contact's values at the last sync, kept in the book with
// the card's address and ETag. Per contact, against that last sync:
// - changed on the server only: the book takes the server's values;
// - changed in the book only: the book's values are merged into the server's
//   card (everything the book does not keep stays on it) and uploaded with
//   If-Match, a new contact with If-None-Match;
// - changed on both, differently: a conflict. The server's version wins in the
//   book; the book's is written, as a vCard, into a conflicts file of the
//   person's own (and named in the summary), so neither is lost;
// - deleted on the server: the contact leaves the book (a changed one is also
//   kept in the conflicts file). Nothing is deleted on the server: the windows
//   delete nothing.
// Everything the server sent is applied to the book in one transaction, with
// the new sync token: a sync that fails on the way in leaves the book as it was.
// Uploads follow; each one that the server confirmed is recorded, so a sync that
// fails on the way out is completed by the next one. An upload refused because
// the card changed meanwhile (412) is never forced: the card is read again and
// the round repeated.
namespace booksync {

struct Skipped
{
    enum class Reason
    {
        NoFirstName,  // a server card whose name gives the book no first name
        SameNames,    // the book's duplicate rule: another contact has these names
        NoUid,        // a server card without a UID
        UidTaken,     // the server holds another card with this contact's UID
        Unreadable,   // a server card that is not one vCard
        ServerRefused // the server would not store the card (its reason in `detail`)
    };
    QString name; // as the person knows the contact
    Reason reason = Reason::NoFirstName;
    QString detail;
};

struct Conflict
{
    QString name;
    QString uid;
    bool deletedOnServer = false; // else changed on both sides
};

struct SyncSummary
{
    bool completed = false;
    davsync::DavError error; // when not completed: the step that failed
    int received = 0;        // contacts new from the server
    int updated = 0;         // contacts of the book changed to the server's version
    int sent = 0;            // contacts new or changed in the book, uploaded
    QStringList removed;     // names of contacts removed because their cards were deleted
    QList<Conflict> conflicts;
    QString conflictFile; // where the book's versions of the conflicts are kept
    QList<Skipped> skipped;

    // What a person reads: the counts first, then each removal, conflict and skip.
    QString toText() const;
};

// The address book and account a person synchronises with, as last used.
struct SyncSetup
{
    QUrl addressBook;
    QString davUser;
};

// Told what is being done ("Sending 120 of 10,000 contacts") as it goes.
using Progress = std::function<void(const QString& step)>;

struct SyncOptions
{
    // Where the conflicts file is written; by default the person's own data
    // folder (QStandardPaths::AppDataLocation)/conflicts, private to them.
    QString conflictFolder;
    Progress progress;
};

// The set-up of the person's last sync, if any.
std::optional<SyncSetup> lastSetup(data::Connection& connection, const QString& user);

// Synchronises `user`'s contacts with the address book at `addressBook`, through
// `client` (whose account is the CardDAV user's). Throws data::DataError when the
// book cannot be read or written; a failure of the server is in the summary.
SyncSummary synchronize(data::Connection& connection, const QString& user, davsync::CardDavClient& client,
                        const QUrl& addressBook, const SyncOptions& options = {});

// The address book an account's URL leads to: the URL itself when it is an
// address book; else the one discovered (RFC 6764) when there is one, or the
// one named "Vantrel" among several; else, when the account has none, a new one
// named "Vantrel" in its home set. Several, none named "Vantrel": an error that
// lists their URLs, so that a person can give one.
davsync::Result<QUrl> resolveAddressBook(davsync::CardDavClient& client);

} // namespace booksync
