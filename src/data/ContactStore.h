#pragma once

#include "data/Contact.h"
#include "data/Query.h"
#include "data/Statements.h"

#include <QSqlQuery>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace data {

class Connection;

// Contacts read one at a time from a query the engine streams.
class ContactCursor final
{
public:
    ContactCursor(std::unique_ptr<Query> query, bool withUids)
        : m_query(std::move(query)), m_withUids(withUids)
    {
    }
    // The next contact into `contact`, and its UID into `uid` when asked (empty
    // in a book without UIDs); false after the last.
    bool next(Contact& contact, QString* uid = nullptr);

private:
    std::unique_ptr<Query> m_query;
    bool m_withUids;
};

// The one statement that inserts rows into `main`, prepared once for the
// columns given and run for each row's values (in the same order).
class ContactRowWriter final
{
public:
    ContactRowWriter(Connection& connection, const QStringList& columns);
    // Stores a row; returns its key.
    qint64 write(const QVariantList& values);

private:
    Connection& m_connection;
    QSqlQuery m_insert;
    bool m_returnsKey;
};

// One user's contacts: listed in the contact window's order, read, added
// under the duplicate rule, and staged for the report. The window, the
// exchange and the report all go through it.
class ContactStore final
{
public:
    ContactStore(Connection& connection, const QString& user);
    Q_DISABLE_COPY_MOVE(ContactStore)

    // The duplicate rule: a new contact is refused when a contact of the same
    // user has exactly its first and second names; a Null new name is no text.
    // As tests a record set can find and a select can add.
    static QList<Equality> sameName(const QString& firstName, const QString& secondName);

    // The user's contacts in the window's order, for a record set.
    const Select& select() const { return m_select; }
    qint64 count() const;
    // Every contact, in the window's order.
    ContactCursor inWindowOrder() const;

    // Whether the duplicate rule refuses a contact of these names.
    bool contains(const QString& firstName, const QString& secondName) const;
    // Whether a contact of this user has this UID (never in a book without UIDs).
    bool containsUid(const QString& uid) const;
    // Stores a contact of this user unless a contact of the same UID, or else
    // of the same names, is stored: tested and inserted under the user's
    // insert lock (inside the caller's transaction, else one of its own), so
    // that two clients never both store it. A value left Null is stored as
    // empty text; without a UID (or in a book without UIDs) the engine gives one.
    Added add(const Contact& contact, const QString& uid = {});
    // The contact of this UID, if the user has one.
    std::optional<Contact> byUid(const QString& uid) const;
    // Gives the contact of this UID new values, under the duplicate rule: new
    // names that another contact has are refused. Values are stored as add() stores them.
    Replaced replace(const QString& uid, const Contact& contact);
    // Removes the user's contact of this UID; whether there was one. Nothing in
    // the windows deletes: a card deleted on the person's phone does.
    bool remove(const QString& uid);
    // The same for a row by column names, as a record set adds one; throws
    // AlreadyExists when refused, else returns the new row's key.
    qint64 addRow(const QList<Equality>& row);

    // Replaces what the contact window's Print placed for the report: the
    // contact, or (given none) nothing. Null values stay Null.
    static void stage(Connection& connection, const std::optional<Contact>& contact);
    // The staged contact, or nothing when no row (or no staging table) is there.
    static std::optional<Contact> readStaged(Connection& connection);
    // A contact from a row's values by column name; Null stays a null text.
    static Contact fromValues(const std::function<QVariant(const QString& column)>& valueOf);

private:
    std::pair<Added, qint64> insertGuarded(const QList<Equality>& row, const QString& uid);
    bool found(const QList<Equality>& tests) const;
    // The lookup for these columns' tests, prepared once per connection: an
    // import asks it twice for every contact.
    Query& lookup(const QList<Equality>& tests) const;

    ContactRowWriter& writerFor(const QStringList& columns);

    Connection& m_connection;
    QString m_user;
    Select m_select;
    bool m_hasUids;
    // The last insert statement, while the connection and the columns stay.
    std::unique_ptr<ContactRowWriter> m_writer;
    QStringList m_writerColumns;
    int m_writerGeneration = -1;
    mutable std::map<QString, std::unique_ptr<Query>> m_lookups; // by the columns tested
    mutable int m_lookupGeneration = -1;
};

} // namespace data
