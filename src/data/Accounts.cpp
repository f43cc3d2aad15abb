#include "data/Accounts.h"

#include "data/Connection.h"
#include "data/DataError.h"
#include "data/OfficeServer.h"
#include "data/Passwords.h"
#include "data/RecordSet.h"
#include "data/Schema.h"
#include "data/Statements.h"

#include <QSqlQuery>
#include <optional>

namespace data {

namespace {

namespace c = schema::columns;

bool isOnServer(const Connection& book)
{
    return book.engine() == Engine::PostgreSQL;
}

QSqlQuery ask(Connection& book, const QString& sql, const QVariantList& values)
{
    book.reconnectIfLost();
    QSqlQuery query(book.database());
    book.retryingOnce([&] {
        query = QSqlQuery(book.database());
        run(book, query, sql, values);
    });
    return query;
}

struct ServerAccount
{
    QString role;
    QString settings;
};

QList<ServerAccount> serverAccountsOf(Connection& book, const QString& user)
{
    QSqlQuery query = ask(book, office::accountsOfSql(), {user});
    QList<ServerAccount> accounts;
    while (query.next())
        accounts.append({query.value(0).toString(), query.value(1).toString()});
    return accounts;
}

// Opens `person` as the account when the password is its password. A refusal
// while the book's own connection still answers is the password's; anything
// else is the server's and is thrown.
bool openAs(Connection& book, Connection& person, const ServerAccount& account, const QString& password)
{
    const QString key = passwords::keyFor(account.settings, password);
    if (key.isEmpty())
        return false; // no password (Null), or not one the server can check
    try {
        person.openServerAs(book, account.role, key);
        return true;
    } catch (const DataError&) {
        if (person.database().isOpen())
            throw;                                 // let in, but without its password being checked
        ask(book, QStringLiteral("select 1"), {}); // throws when the server is away
        return false;
    }
}

// The key and the server's verifier of a new password.
struct NewPassword
{
    QString settings;
    QString verifier;
};

NewPassword newServerPassword(Connection& book, const QString& typed)
{
    const QString hashed = passwords::hash(typed);
    const QString settings = passwords::settingsOf(hashed);
    return {settings, office::verifierFor(book.database(), hashed.mid(settings.size()))};
}

class FileChange final : public Accounts::Change
{
public:
    FileChange(Connection& book, const QString& user, const QString& oldPassword)
        : m_user(book, statements::userToChangePassword(user))
    {
        if (m_user.recordCount() >= 1)
            m_found = passwords::matches(m_user.value(c::password), oldPassword) ? Found::Proven
                                                                                 : Found::OldDoesNotMatch;
    }

    bool commit(const QString& newPassword) override
    {
        m_user.setValue(c::password, passwords::hash(newPassword));
        try {
            m_user.update();
            return true;
        } catch (const RowChanged&) {
            m_user.cancelUpdate();
            return false;
        }
    }

private:
    RecordSet m_user;
};

class ServerChange final : public Accounts::Change
{
public:
    ServerChange(Connection& book, const QString& user, const QString& oldPassword) : m_book(book)
    {
        const QList<ServerAccount> accounts = serverAccountsOf(book, user);
        if (accounts.isEmpty())
            return;
        m_settings = accounts.first().settings;
        m_found =
            openAs(book, m_person, accounts.first(), oldPassword) ? Found::Proven : Found::OldDoesNotMatch;
    }

    bool commit(const QString& newPassword) override
    {
        const NewPassword made = newServerPassword(m_book, newPassword);
        QSqlQuery changed =
            ask(m_person, office::changePasswordSql(), {m_settings, made.settings, made.verifier});
        return changed.next() && changed.value(0).toBool();
    }

private:
    Connection& m_book;
    Connection m_person;
    QString m_settings;
};

} // namespace

Accounts::Accounts(Connection& book) : m_book(book) {}

bool Accounts::onServer() const
{
    return isOnServer(m_book);
}

QStringList Accounts::userNames()
{
    QStringList names;
    if (onServer()) {
        QSqlQuery query = ask(m_book, office::userNamesSql(), {});
        while (query.next())
            names << query.value(0).toString();
        return names;
    }
    RecordSet users(m_book, statements::allUsers());
    for (; !users.eof(); users.moveNext())
        names << users.value(c::user).toString();
    return names;
}

bool Accounts::nameTaken(const QString& user)
{
    if (onServer()) {
        QSqlQuery query = ask(m_book, office::nameTakenSql(), {user});
        return query.next() && query.value(0).toBool();
    }
    return RecordSet(m_book, statements::userNamed(user)).recordCount() >= 1;
}

bool Accounts::logIn(const QString& user, const QString& password, Connection* person)
{
    if (onServer()) {
        Connection trial;
        for (const ServerAccount& account : serverAccountsOf(m_book, user)) {
            if (openAs(m_book, person ? *person : trial, account, password))
                return true;
        }
        return false;
    }
    RecordSet users(m_book, statements::userNamed(user));
    for (; !users.eof(); users.moveNext()) {
        const QVariant stored = users.value(c::password);
        if (!passwords::matches(stored, password))
            continue;
        if (!passwords::isHashed(stored.toString())) {
            // Stored as typed by a book from before: hashed from now on. A book
            // that cannot be written, or a row changed meanwhile, keeps it so.
            users.setValue(c::password, passwords::hash(password));
            try {
                users.update();
            } catch (const RowChanged&) {
                users.cancelUpdate();
            } catch (const DataError&) {
                users.cancelUpdate();
            }
        }
        return true;
    }
    return false;
}

bool Accounts::signUp(const QString& user, const QString& password)
{
    if (onServer()) {
        const NewPassword made = newServerPassword(m_book, password);
        QSqlQuery query = ask(m_book, office::signUpSql(), {user, made.settings, made.verifier});
        return query.next() && query.value(0).toBool();
    }
    RecordSet users(m_book, statements::userNamed(user));
    users.setUniqueOnInsert({c::user});
    users.addNew();
    users.setValue(c::user, user);
    users.setValue(c::password, passwords::hash(password));
    try {
        users.update();
        return true;
    } catch (const AlreadyExists&) {
        users.cancelUpdate();
        return false;
    }
}

std::unique_ptr<Accounts::Change> Accounts::prove(const QString& user, const QString& oldPassword)
{
    if (onServer())
        return std::make_unique<ServerChange>(m_book, user, oldPassword);
    return std::make_unique<FileChange>(m_book, user, oldPassword);
}

PersonalBook::PersonalBook(Connection& shared) : m_shared(shared) {}

PersonalBook::~PersonalBook() = default;

bool PersonalBook::logIn(const QString& user, const QString& password)
{
    Accounts accounts(m_shared);
    auto person = std::make_unique<Connection>();
    if (!accounts.logIn(user, password, person.get()))
        return false;
    m_person = accounts.onServer() ? std::move(person) : nullptr;
    return true;
}

} // namespace data
