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
    explicit ContactCursor(std::unique_ptr<Query> query) : m_query(std::move(query)) {}
    // The next contact into `contact`; false after the last.
    bool next(Contact& contact);

private:
    std::unique_ptr<Query> m_query;
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
    // Stores a contact of this user; a value left Null is stored as empty text.
    void add(const Contact& contact);

private:
    Connection& m_connection;
    QString m_user;
    mutable QSqlQuery m_contains;
    QSqlQuery m_add;
};

} // namespace data
