#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <memory>

class QNetworkAccessManager;

// A CardDAV client (RFC 6352 over WebDAV, RFC 4918) for one account: discovery
// (RFC 6764), listing, the sync-collection report (RFC 6578), multiget and
// conditional uploads. Each call waits for its answer in a local event loop, so
// it suits a command-line tool and a worker; it must not be called from a slot
// that the same event loop could enter again.
//
// The URLs it returns have their paths in one form (decoded, then encoded by
// QUrl), whatever the server percent-encodes, so that they compare equal to the
// URL a card was stored at.
//
// Security: only HTTPS, verified against the system's certificates, except plain
// HTTP to this machine (localhost, 127.0.0.0/8, ::1). The password goes only into
// the Authorization header of requests to the account's server, never into a
// message, a URL or a log.
namespace davsync {

struct DavError
{
    enum class Kind
    {
        None,
        Refused,          // a URL this client will not talk to (plain HTTP to another machine, ...)
        Network,          // no connection, TLS failure, timeout, the server went away
        Auth,             // 401: the user name or password was refused
        Precondition,     // 412: the card changed on the server since its ETag was read
        UidConflict,      // another card of the book has this card's UID (RFC 6352 §6.3.2.1)
        SyncTokenInvalid, // the server no longer knows the sync token: list everything again
        Http,             // any other status the request did not expect
        Protocol          // an answer that is not the WebDAV the request asked for
    };
    Kind kind = Kind::None;
    int status = 0; // the HTTP status, when there was one
    QString message;

    explicit operator bool() const { return kind != Kind::None; }
};

template <typename T> struct Result
{
    T value{};
    DavError error;

    bool ok() const { return !error; }
};

struct Account
{
    QUrl url; // the server (discovery starts there) or an address book
    QString user;
    QString password;
};

struct AddressBook
{
    QUrl url;
    QString displayName;
    bool syncCollection = false; // the server offers the sync-collection report on it
    QString syncToken;           // as last listed; empty when the server gives none
};

// How discovery went, step by step: what a server supports, for a summary or a test.
struct Discovery
{
    QUrl contextUrl;            // where the principal was asked for
    bool wellKnownUsed = false; // /.well-known/carddav answered (with a redirect or not)
    QUrl principal;
    QUrl homeSet;
    QList<AddressBook> books;
};

struct CardRef
{
    QUrl url;
    QByteArray etag; // exactly as the server gave it, quotes included
};

struct Card
{
    QUrl url;
    QByteArray etag;
    QByteArray data; // the vCard as stored on the server
};

struct Changes
{
    QList<CardRef> changed; // new or changed since the token
    QList<QUrl> removed;
    QString syncToken; // the token to give next time
};

class CardDavClient
{
public:
    // Without a manager the client makes its own.
    explicit CardDavClient(Account account, QNetworkAccessManager* manager = nullptr);
    ~CardDavClient();
    CardDavClient(const CardDavClient&) = delete;
    CardDavClient& operator=(const CardDavClient&) = delete;

    const Account& account() const { return m_account; }

    // Whether this client talks to `url`; the reason when it does not.
    static DavError checkUrl(const QUrl& url);

    // The account's address books. The account's URL may be one itself; else,
    // from a server's root, /.well-known/carddav, the principal and its home set.
    Result<Discovery> discover();

    // Every card of a book with its ETag (PROPFIND, Depth 1).
    Result<QList<CardRef>> listCards(const QUrl& book);

    // What changed since `syncToken` (all cards when it is empty), by the
    // sync-collection report. Kind::SyncTokenInvalid asks for a full listing.
    Result<Changes> changesSince(const QUrl& book, const QString& syncToken);

    // The cards at `urls` with their ETags (addressbook-multiget, in batches).
    // A card that has gone meanwhile is left out.
    Result<QList<Card>> fetch(const QUrl& book, const QList<QUrl>& urls);

    // Stores a card: a new one (`etag` empty, If-None-Match: *) or a
    // replacement for the version `etag` names (If-Match). A card changed or
    // created meanwhile gives Kind::Precondition, a UID that another card of the
    // book has Kind::UidConflict. The new ETag when the server
    // returns one, else empty (list again to learn it).
    Result<QByteArray> put(const QUrl& card, const QByteArray& vcard, const QByteArray& etag);

    // Creates an address book at `url` (extended MKCOL, RFC 5689).
    DavError createAddressBook(const QUrl& url, const QString& displayName);

    // The longest a request may stay without progress before it fails (Kind::Network).
    // Two minutes by default: Radicale answered its first request about a collection
    // of 10,000 cards it had not yet cached only after about a minute.
    void setTransferTimeout(int milliseconds) { m_transferTimeout = milliseconds; }

private:
    struct Reply;
    Reply send(const QByteArray& verb, const QUrl& target, const QByteArray& body,
               const QList<std::pair<QByteArray, QByteArray>>& headers);
    Reply sendFollowing(const QByteArray& verb, QUrl url, const QByteArray& body,
                        const QList<std::pair<QByteArray, QByteArray>>& headers, bool moveOrigin);
    bool sameOrigin(const QUrl& url) const;
    Result<QList<AddressBook>> booksIn(const QUrl& collection, int depth);

    Account m_account;
    QUrl m_origin; // the server the password goes to
    std::unique_ptr<QNetworkAccessManager> m_ownManager;
    QNetworkAccessManager* m_manager;
    int m_transferTimeout = 120000;
};

} // namespace davsync
