#pragma once

#include <QByteArray>
#include <QHash>
#include <QSqlQuery>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace data {

class Connection;

// What a person's book remembers of one CardDAV address book since the last
// sync with it: the server's sync token, and for each contact the card's
// address, its ETag and a digest of the contact's values as they were then.
// Kept in the book beside the contacts, on either engine; on a server each
// person reaches only their own rows.
class SyncState final
{
public:
    struct Card
    {
        QString href; // the card's URL
        QByteArray etag;
        QByteArray digest;
    };

    SyncState(Connection& connection, const QString& user, const QString& addressBook);
    Q_DISABLE_COPY_MOVE(SyncState)

    // Makes the two tables where missing (a book from before): on the file
    // only; a server book gets them from its administrator's set-up, and
    // without them the sync says so (DataError).
    static void ensureTables(Connection& connection);

    // The address book and CardDAV user this person synchronised with last.
    struct LastBook
    {
        QString addressBook, davUser;
    };
    static std::optional<LastBook> lastBook(Connection& connection, const QString& user);

    // The token, empty before the first sync or after the server forgot it.
    QString syncToken() const;
    // The cards by the UIDs of their contacts.
    QHash<QString, Card> cards() const;

    // Records the token and the CardDAV user, and makes this the person's last address book.
    void setSyncToken(const QString& token, const QString& davUser);
    // Records a card: an update when `recorded` (as cards() said within the
    // same transaction, holding the person's insert lock, so that two syncs of
    // theirs at once record it once), else an insert.
    void setCard(const QString& uid, const Card& card, bool recorded);
    void forgetCard(const QString& uid);

private:
    void prepare(QSqlQuery& query, const QString& sql);

    Connection& m_connection;
    QString m_user, m_addressBook;
    QSqlQuery m_insertCard, m_updateCard;
    int m_preparedGeneration = -1;
};

} // namespace data
