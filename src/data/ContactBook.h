#pragma once

#include "data/Contact.h"
#include "data/Query.h"

#include <QSqlQuery>
#include <QString>
#include <QtGlobal>
#include <memory>

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

// One user's contacts for the companion programs: read in the contact
// window's order, tested by Save's duplicate rule, added as Save stores them.
class ContactBook final
{
public:
    ContactBook(Connection& connection, const QString& user);
    Q_DISABLE_COPY_MOVE(ContactBook)

    qint64 count() const;
    // Every contact, in the window's order.
    ContactCursor inWindowOrder() const;
    // Whether a contact has exactly these first and second names (a Null name
    // equals no text), as Save refuses a new one.
    bool contains(const QString& firstName, const QString& secondName) const;
    // Whether a contact of this user has this UID (never in a book without UIDs).
    bool containsUid(const QString& uid) const;
    // Stores a contact of this user; a value left Null is stored as empty text.
    // Without a UID (or in a book without UIDs) the engine gives it a new one.
    void add(const Contact& contact, const QString& uid = {});

private:
    Connection& m_connection;
    QString m_user;
    bool m_hasUids;
    mutable QSqlQuery m_contains, m_containsUid;
    QSqlQuery m_add, m_addWithUid;
};

} // namespace data
