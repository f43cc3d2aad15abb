#include "booksync/BookSync.h"

#include "data/Connection.h"
#include "data/ContactStore.h"
#include "data/DataError.h"
#include "data/Statements.h"
#include "data/SyncState.h"
#include "exchange/ByteSource.h"
#include "exchange/VCardReader.h"
#include "exchange/VCardWriter.h"
#include "sync/CardMerge.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

namespace booksync {

namespace {

using davsync::DavError;
using State = data::SyncState;

// A digest of a contact's 22 values as the book stores them, to tell whether
// a side changed it since the last sync.
QByteArray digestOf(const data::Contact& contact)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const data::ContactColumn& column : data::contactColumns) {
        hash.addData(data::storedValue(contact.*column.member).toString().toUtf8());
        hash.addData(QByteArrayView("\x1f", 1));
    }
    return hash.result().toHex();
}

QString nameOf(const data::Contact& contact)
{
    return (contact.firstName + QLatin1Char(' ') + contact.secondName).trimmed();
}

// Card URLs compare in one form (the client gives them so).
QString keyOf(const QUrl& url)
{
    return url.toString(QUrl::FullyEncoded);
}

// Where a contact's new card goes: its UID as a file name, when the UID is a
// plain one (a UUID, with or without "urn:uuid:"); else a digest of it.
QUrl newCardUrl(const QUrl& book, const QString& uid)
{
    QString name = uid;
    if (name.startsWith(QLatin1String("urn:uuid:")))
        name = name.mid(9);
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9._-]{0,99}$"));
    if (!plain.match(name).hasMatch())
        name = QString::fromLatin1(QCryptographicHash::hash(uid.toUtf8(), QCryptographicHash::Sha1).toHex());
    QUrl url = book;
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    url.setPath(path + name + QLatin1String(".vcf"));
    return url;
}

QByteArray cardOf(const data::Contact& contact, const QString& uid, exchange::Format version)
{
    QByteArray card;
    exchange::vcard::appendCard(card, contact, version, uid);
    return card;
}

exchange::Format formatOf(QByteArrayView card)
{
    const QByteArray version = davsync::cardmerge::versionOf(card);
    if (version == "4.0")
        return exchange::Format::VCard40;
    if (version == "2.1")
        return exchange::Format::VCard21;
    return exchange::Format::VCard30;
}

// A server's card read into the book's fields, as an import reads one.
struct ReadCard
{
    bool readable = false;
    QString uid;
    exchange::FittedContact fitted;
    QString name;
};

ReadCard readCard(const QByteArray& data)
{
    ReadCard read;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    exchange::ByteSource source(buffer);
    exchange::VCardReader reader(source);
    exchange::Entry entry;
    if (!reader.next(entry))
        return read;
    read.readable = true;
    read.uid = entry.uid.trimmed();
    read.fitted = exchange::fitContact(entry);
    read.name = read.fitted.hasFirstName ? nameOf(read.fitted.contact) : entry.formatted.trimmed();
    return read;
}

// How a summary names a server's card: by its name, else by its file.
QString shownName(const ReadCard& read, const QUrl& url)
{
    return read.name.isEmpty() ? url.fileName() : read.name;
}

// The book's contacts as the sync needs them: a digest for each, the values
// only of those changed since the last sync (the ones that may be sent).
struct BookContact
{
    QByteArray digest;
    std::optional<data::Contact> contact;
    QString name;
};

// What a round does to the book, decided before anything is written.
struct Incoming
{
    enum class Kind
    {
        Insert,
        Update,
        Record // the book has these values already: only the card is remembered
    };
    Kind kind = Kind::Record;
    QString uid;
    davsync::Card card;
    ReadCard read;
};

struct Upload
{
    QString uid;
    data::Contact contact;
    QByteArray digest;
    QUrl url; // the card's, or where a new one goes
    bool isNew = false;
};

class Round
{
public:
    Round(data::Connection& connection, const QString& user, davsync::CardDavClient& client, const QUrl& book,
          SyncSummary& summary, const SyncOptions& options, QString& conflictFile)
        : m_connection(connection), m_user(user), m_client(client), m_book(book), m_summary(summary),
          m_options(options), m_conflictFile(conflictFile), m_state(connection, user, keyOf(book)),
          m_store(connection, user)
    {
    }

    // One pass both ways. False when the server failed (the summary says how);
    // `again` when a card changed on the server while this round sent it.
    bool run(bool& again);

private:
    void progress(const QString& step) const
    {
        if (m_options.progress)
            m_options.progress(step);
    }
    bool fail(const DavError& error)
    {
        m_summary.error = error;
        return false;
    }
    // Two syncs of one person at once (two workstations) write one at a time:
    // the lock their saves and imports take.
    void lockThePerson() { m_connection.lockForInsert(data::statements::contactsOf(m_user).insertLockKey()); }
    bool listServerChanges(QList<davsync::CardRef>& changed, QStringList& removed, QString& token);
    void readBook();
    void decide(const QList<davsync::Card>& cards, const QStringList& removedHrefs);
    void keepConflict(const QString& uid, const data::Contact& ours, bool deletedOnServer);
    void applyIncoming(const QString& token);
    bool send(bool& again);
    void skip(const QString& name, Skipped::Reason reason, const QString& detail = {})
    {
        m_summary.skipped.append({name, reason, detail});
    }

    data::Connection& m_connection;
    QString m_user;
    davsync::CardDavClient& m_client;
    QUrl m_book;
    SyncSummary& m_summary;
    const SyncOptions& m_options;
    QString& m_conflictFile;
    State m_state;
    data::ContactStore m_store;

    QHash<QString, State::Card> m_known;    // by UID, as of the last sync
    QHash<QString, QString> m_uidOfHref;    // the same, by card URL
    QHash<QString, BookContact> m_contacts; // by UID
    QList<Incoming> m_incoming;
    QStringList m_removals; // UIDs
    QByteArray m_conflicts; // the book's versions, as vCards
    QList<Upload> m_uploads;
    QHash<QString, davsync::Card> m_fetched; // the server's cards that uploads go into, by UID
};

bool Round::listServerChanges(QList<davsync::CardRef>& changed, QStringList& removed, QString& token)
{
    const QString known = m_state.syncToken();
    if (!known.isEmpty()) {
        progress(QStringLiteral("Asking the server what changed"));
        davsync::Result<davsync::Changes> changes = m_client.changesSince(m_book, known);
        if (changes.ok()) {
            token = changes.value.syncToken;
            for (const davsync::CardRef& ref : std::as_const(changes.value.changed)) {
                const QString uid = m_uidOfHref.value(keyOf(ref.url));
                // Unchanged since this book last read or sent it (its own uploads come back so).
                if (uid.isEmpty() || m_known.value(uid).etag != ref.etag)
                    changed.append(ref);
            }
            for (const QUrl& url : std::as_const(changes.value.removed))
                removed.append(keyOf(url));
            return true;
        }
        if (changes.error.kind != DavError::Kind::SyncTokenInvalid)
            return fail(changes.error);
    }
    // Everything, with the ETags: from the sync report where the server has
    // it (which also gives a token), else by listing the book.
    progress(QStringLiteral("Listing the address book"));
    QList<davsync::CardRef> all;
    davsync::Result<davsync::Changes> everything = m_client.changesSince(m_book, {});
    if (everything.ok()) {
        token = everything.value.syncToken;
        all = everything.value.changed;
    } else if (everything.error.kind == DavError::Kind::Http ||
               everything.error.kind == DavError::Kind::Protocol) {
        davsync::Result<QList<davsync::CardRef>> listed = m_client.listCards(m_book);
        if (!listed.ok())
            return fail(listed.error);
        token.clear();
        all = listed.value;
    } else {
        return fail(everything.error);
    }
    QSet<QString> present;
    for (const davsync::CardRef& ref : std::as_const(all)) {
        present.insert(keyOf(ref.url));
        const QString uid = m_uidOfHref.value(keyOf(ref.url));
        if (uid.isEmpty() || m_known.value(uid).etag != ref.etag)
            changed.append(ref);
    }
    for (auto it = m_uidOfHref.cbegin(); it != m_uidOfHref.cend(); ++it) {
        if (!present.contains(it.key()))
            removed.append(it.key());
    }
    return true;
}

void Round::readBook()
{
    progress(QStringLiteral("Reading the book"));
    data::ContactCursor cursor = m_store.inWindowOrder();
    data::Contact contact;
    QString uid;
    while (cursor.next(contact, &uid)) {
        BookContact& entry = m_contacts[uid];
        entry.digest = digestOf(contact);
        entry.name = nameOf(contact);
        const auto known = m_known.constFind(uid);
        if (known == m_known.cend() || known->digest != entry.digest)
            entry.contact = contact;
    }
}

void Round::keepConflict(const QString& uid, const data::Contact& ours, bool deletedOnServer)
{
    m_summary.conflicts.append({nameOf(ours), uid, deletedOnServer});
    m_conflicts += cardOf(ours, uid, exchange::Format::VCard30);
}

// Per card the server sent, and per card it deleted, what the book does; and
// per contact the book changed, what is sent.
void Round::decide(const QList<davsync::Card>& cards, const QStringList& removedHrefs)
{
    QSet<QString> decided;
    for (const davsync::Card& card : cards) {
        ReadCard read = readCard(card.data);
        if (!read.readable) {
            skip(card.url.fileName(), Skipped::Reason::Unreadable);
            continue;
        }
        if (read.uid.isEmpty()) {
            skip(shownName(read, card.url), Skipped::Reason::NoUid);
            continue;
        }
        const QString& uid = read.uid;
        decided.insert(uid);
        const QByteArray server = digestOf(read.fitted.contact);
        const auto known = m_known.constFind(uid);
        const auto here = m_contacts.constFind(uid);
        Incoming incoming{Incoming::Kind::Record, uid, card, read};
        if (here == m_contacts.cend()) {
            if (!read.fitted.hasFirstName) {
                skip(shownName(read, card.url), Skipped::Reason::NoFirstName);
                continue;
            }
            incoming.kind = Incoming::Kind::Insert;
        } else if (here->digest == server) {
            incoming.kind = Incoming::Kind::Record;
        } else if (known != m_known.cend() && here->digest == known->digest) {
            incoming.kind = Incoming::Kind::Update; // changed on the server only
        } else if (known != m_known.cend() && server == known->digest) {
            // The server's change is to what the book does not keep (a photo):
            // the book's change goes into this very card.
            m_uploads.append({uid, *here->contact, here->digest, card.url, false});
            m_fetched.insert(uid, card);
            continue;
        } else {
            if (!read.fitted.hasFirstName) {
                skip(shownName(read, card.url), Skipped::Reason::NoFirstName);
                continue;
            }
            keepConflict(uid, *here->contact, false);
            incoming.kind = Incoming::Kind::Update;
        }
        m_incoming.append(incoming);
    }
    for (const QString& href : removedHrefs) {
        const QString uid = m_uidOfHref.value(href);
        if (uid.isEmpty() || decided.contains(uid))
            continue;
        decided.insert(uid);
        const auto here = m_contacts.constFind(uid);
        if (here != m_contacts.cend() && here->contact) // changed here since: kept
            keepConflict(uid, *here->contact, true);
        m_removals.append(uid);
    }
    for (auto it = m_contacts.cbegin(); it != m_contacts.cend(); ++it) {
        if (!it->contact || decided.contains(it.key()) || it.key().isEmpty())
            continue;
        const auto known = m_known.constFind(it.key());
        if (known == m_known.cend())
            m_uploads.append({it.key(), *it->contact, it->digest, newCardUrl(m_book, it.key()), true});
        else
            m_uploads.append({it.key(), *it->contact, it->digest, QUrl(known->href), false});
    }
}

void Round::applyIncoming(const QString& token)
{
    progress(QStringLiteral("Writing what came in"));
    data::Transaction transaction(m_connection);
    lockThePerson();
    QHash<QString, State::Card> recorded = m_state.cards(); // as of now, under the lock
    for (const Incoming& in : std::as_const(m_incoming)) {
        const data::Contact& contact = in.read.fitted.contact;
        if (in.kind == Incoming::Kind::Update) {
            const data::Replaced replaced = m_store.replace(in.uid, contact);
            if (replaced == data::Replaced::SameName) {
                skip(in.read.name, Skipped::Reason::SameNames);
                continue;
            }
            if (replaced == data::Replaced::Done)
                ++m_summary.updated;
        }
        if (in.kind == Incoming::Kind::Insert) {
            const data::Added added = m_store.add(contact, in.uid);
            if (added == data::Added::SameName) {
                skip(in.read.name, Skipped::Reason::SameNames);
                continue;
            }
            if (added == data::Added::Inserted)
                ++m_summary.received;
        }
        const State::Card card{keyOf(in.card.url), in.card.etag, digestOf(contact)};
        m_state.setCard(in.uid, card, recorded.contains(in.uid));
        recorded.insert(in.uid, card); // a server that holds two cards of one UID
    }
    for (const QString& uid : std::as_const(m_removals)) {
        const auto here = m_contacts.constFind(uid);
        if (m_store.remove(uid))
            m_summary.removed.append(here == m_contacts.cend() ? uid : here->name);
        m_state.forgetCard(uid);
    }
    if (!m_conflicts.isEmpty()) {
        // Written before the book changes: a file that cannot be written leaves
        // the book as it was, so that no version is lost.
        if (m_conflictFile.isEmpty()) {
            QString folder = m_options.conflictFolder;
            if (folder.isEmpty())
                folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                         QLatin1String("/conflicts");
            QDir().mkpath(folder);
            QFile::setPermissions(folder,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            m_conflictFile = folder + QLatin1Char('/') + m_user + QLatin1Char('-') +
                             QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                             QLatin1String(".vcf");
        }
        QFile file(m_conflictFile);
        if (!file.open(QIODevice::Append) || file.write(m_conflicts) != m_conflicts.size() || !file.flush())
            throw data::DataError(
                QStringLiteral("The book's versions of contacts changed on both sides could "
                               "not be written to %1: %2")
                    .arg(m_conflictFile, file.errorString()));
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    m_state.setSyncToken(token, m_client.account().user);
    transaction.commit();
}

bool Round::send(bool& again)
{
    // The server's cards that the book's changes go into, read once for all.
    QList<QUrl> toRead;
    for (const Upload& upload : std::as_const(m_uploads)) {
        if (!upload.isNew && !m_fetched.contains(upload.uid))
            toRead.append(upload.url);
    }
    if (!toRead.isEmpty()) {
        progress(QStringLiteral("Reading %1 cards to update").arg(toRead.size()));
        davsync::Result<QList<davsync::Card>> read = m_client.fetch(m_book, toRead);
        if (!read.ok())
            return fail(read.error);
        QHash<QString, QString> uidOf;
        for (const Upload& upload : std::as_const(m_uploads))
            uidOf.insert(keyOf(upload.url), upload.uid);
        for (const davsync::Card& card : std::as_const(read.value))
            m_fetched.insert(uidOf.value(keyOf(card.url)), card);
    }

    QList<std::pair<QString, State::Card>> sent;
    bool ok = true;
    int done = 0;
    for (const Upload& upload : std::as_const(m_uploads)) {
        progress(QStringLiteral("Sending %1 of %2 contacts").arg(++done).arg(m_uploads.size()));
        QByteArray body;
        QByteArray etag;
        if (upload.isNew) {
            body = cardOf(upload.contact, upload.uid, exchange::Format::VCard30);
        } else {
            const auto stored = m_fetched.constFind(upload.uid);
            if (stored == m_fetched.cend()) { // deleted on the server meanwhile
                again = true;
                continue;
            }
            QString why;
            const auto merged = davsync::cardmerge::merge(
                stored->data, cardOf(upload.contact, upload.uid, formatOf(stored->data)), &why);
            if (!merged) {
                skip(nameOf(upload.contact), Skipped::Reason::ServerRefused, why);
                continue;
            }
            if (!merged->changed) { // nothing of the book's is new to the card
                sent.append({upload.uid, {keyOf(upload.url), stored->etag, upload.digest}});
                continue;
            }
            body = merged->card;
            etag = stored->etag;
        }
        davsync::Result<QByteArray> put = m_client.put(upload.url, body, upload.isNew ? QByteArray() : etag);
        if (put.ok()) {
            ++m_summary.sent;
            sent.append({upload.uid, {keyOf(upload.url), put.value, upload.digest}});
            continue;
        }
        switch (put.error.kind) {
        case DavError::Kind::Precondition: // changed or created meanwhile: read again, never forced
            again = true;
            continue;
        case DavError::Kind::UidConflict:
            skip(nameOf(upload.contact), Skipped::Reason::UidTaken);
            continue;
        case DavError::Kind::Http:
            if (put.error.status >= 400 && put.error.status < 500) {
                skip(nameOf(upload.contact), Skipped::Reason::ServerRefused, put.error.message);
                continue;
            }
            [[fallthrough]];
        default:
            ok = fail(put.error);
        }
        break;
    }
    // What the server confirmed is remembered, also when it then failed.
    if (!sent.isEmpty()) {
        data::Transaction transaction(m_connection);
        lockThePerson();
        const QHash<QString, State::Card> recorded = m_state.cards();
        for (const auto& [uid, card] : std::as_const(sent))
            m_state.setCard(uid, card, recorded.contains(uid));
        transaction.commit();
    }
    return ok;
}

bool Round::run(bool& again)
{
    m_known = m_state.cards();
    for (auto it = m_known.cbegin(); it != m_known.cend(); ++it)
        m_uidOfHref.insert(it->href, it.key());

    QList<davsync::CardRef> changed;
    QStringList removed;
    QString token;
    if (!listServerChanges(changed, removed, token))
        return false;
    QList<QUrl> urls;
    for (const davsync::CardRef& ref : std::as_const(changed))
        urls.append(ref.url);
    QList<davsync::Card> cards;
    if (!urls.isEmpty()) {
        progress(QStringLiteral("Reading %1 changed cards").arg(urls.size()));
        davsync::Result<QList<davsync::Card>> fetched = m_client.fetch(m_book, urls);
        if (!fetched.ok())
            return fail(fetched.error);
        cards = fetched.value;
    }
    readBook();
    decide(cards, removed);
    applyIncoming(token);
    return send(again);
}

QString reasonText(const Skipped& skipped)
{
    switch (skipped.reason) {
    case Skipped::Reason::NoFirstName:
        return QStringLiteral("no first name (no given name, full name or company)");
    case Skipped::Reason::SameNames:
        return QStringLiteral("a contact with the same first and second name is already in the book");
    case Skipped::Reason::NoUid:
        return QStringLiteral("the card has no UID");
    case Skipped::Reason::UidTaken:
        return QStringLiteral("another card of the address book has its UID");
    case Skipped::Reason::Unreadable:
        return QStringLiteral("not a vCard");
    case Skipped::Reason::ServerRefused:
        return QStringLiteral("refused by the server: %1").arg(skipped.detail);
    }
    return {};
}

} // namespace

QString SyncSummary::toText() const
{
    const QLocale locale;
    QString text;
    if (!completed)
        text += QStringLiteral("The sync did not complete: %1\n").arg(error.message);
    text += QStringLiteral("%1 new from the address book, %2 changed here, %3 sent, %4 removed, %5 %6.\n")
                .arg(locale.toString(received), locale.toString(updated), locale.toString(sent),
                     locale.toString(removed.size()), locale.toString(conflicts.size()),
                     conflicts.size() == 1 ? QStringLiteral("conflict") : QStringLiteral("conflicts"));
    if (!removed.isEmpty()) {
        text += QStringLiteral("\nRemoved (deleted from the address book):\n");
        for (const QString& name : removed)
            text += QStringLiteral("  %1\n").arg(name);
    }
    if (!conflicts.isEmpty()) {
        text += QStringLiteral("\nChanged on both sides: the address book's version was kept, this book's "
                               "is saved in %1:\n")
                    .arg(conflictFile);
        for (const Conflict& conflict : conflicts)
            text += conflict.deletedOnServer
                        ? QStringLiteral("  %1 (deleted from the address book)\n").arg(conflict.name)
                        : QStringLiteral("  %1\n").arg(conflict.name);
    }
    if (!skipped.isEmpty()) {
        text += QStringLiteral("\nSkipped:\n");
        for (const Skipped& s : skipped)
            text += QStringLiteral("  %1: %2\n").arg(s.name, reasonText(s));
    }
    return text;
}

std::optional<SyncSetup> lastSetup(data::Connection& connection, const QString& user)
{
    const auto last = data::SyncState::lastBook(connection, user);
    if (!last)
        return std::nullopt;
    return SyncSetup{QUrl(last->addressBook), last->davUser};
}

SyncSummary synchronize(data::Connection& connection, const QString& user, davsync::CardDavClient& client,
                        const QUrl& addressBook, const SyncOptions& options)
{
    data::SyncState::ensureTables(connection);
    SyncSummary summary;
    QString conflictFile;
    // A card changed on the server while it was being sent is read again by
    // another round; a server that keeps changing one gets three.
    bool again = true;
    for (int round = 0; again && round < 3; ++round) {
        again = false;
        Round pass(connection, user, client, addressBook, summary, options, conflictFile);
        if (!pass.run(again)) {
            summary.conflictFile = conflictFile;
            return summary;
        }
    }
    summary.conflictFile = conflictFile;
    summary.completed = true;
    return summary;
}

davsync::Result<QUrl> resolveAddressBook(davsync::CardDavClient& client)
{
    davsync::Result<QUrl> out;
    const davsync::Result<davsync::Discovery> found = client.discover();
    if (!found.ok()) {
        out.error = found.error;
        return out;
    }
    const QList<davsync::AddressBook>& books = found.value.books;
    if (books.size() == 1) {
        out.value = books.first().url;
        return out;
    }
    for (const davsync::AddressBook& book : books) {
        if (book.displayName == QLatin1String("Vantrel")) {
            out.value = book.url;
            return out;
        }
    }
    if (!books.isEmpty()) {
        QStringList urls;
        for (const davsync::AddressBook& book : books)
            urls << book.url.toString();
        out.error = {DavError::Kind::Refused, 0,
                     QStringLiteral("The account has several address books; give the URL of one: %1")
                         .arg(urls.join(QLatin1String(", ")))};
        return out;
    }
    if (found.value.homeSet.isEmpty()) {
        out.error = {DavError::Kind::Protocol, 0,
                     QStringLiteral("The server shows no address books and no place to make one.")};
        return out;
    }
    QUrl made = found.value.homeSet;
    QString path = made.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    made.setPath(path + QLatin1String("vantrel/"));
    out.error = client.createAddressBook(made, QStringLiteral("Vantrel"));
    out.value = made;
    return out;
}

} // namespace booksync
