#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>

namespace data {

class Connection;

// The people who may use a book, and their passwords. Passwords are kept as
// Argon2id hashes (Passwords.h), never as typed and never in a statement.
//
// On the book file the hashes are in `userMaster`. On a server the server
// itself checks them: each account is a server role whose password is the
// key the typed password gives (see OfficeServer.h), so a person's contacts
// are reached only through that person's own connection; the shared
// connection may only list names, look up an account's public settings and
// sign up.
class Accounts final
{
public:
    // Over the connection every program of the installation opens at start.
    explicit Accounts(Connection& book);

    // Whether the server checks the passwords (a server book), so that a
    // login gives the person a connection of their own.
    bool onServer() const;

    // The names of all accounts, in the order they were made.
    QStringList userNames();
    // Whether an account of that name exists.
    bool nameTaken(const QString& user);

    // Whether some account of that name has this password. On the file, a
    // password still stored as typed is stored hashed from this login on. On a
    // server, `person` is opened as the matching account (it must be closed):
    // the person's contacts are reached through it.
    bool logIn(const QString& user, const QString& password, Connection* person = nullptr);

    // Adds an account; false when the name was taken, also by another
    // workstation at the same moment.
    bool signUp(const QString& user, const QString& password);

    // A change of password: the first account of a name, and whether the old
    // password typed is its password.
    class Change
    {
    public:
        virtual ~Change() = default;
        enum class Found
        {
            NoAccount,
            OldDoesNotMatch,
            Proven
        };
        Found found() const { return m_found; }
        // Stores the new password; false when the password was changed
        // meanwhile (by another workstation), so the old one no longer matches.
        virtual bool commit(const QString& newPassword) = 0;

    protected:
        Found m_found = Found::NoAccount;
    };
    std::unique_ptr<Change> prove(const QString& user, const QString& oldPassword);

private:
    Connection& m_book;
};

// The book as one person reaches it once logged in: the connection every
// program opens at start on the file, the person's own on a server (opened by
// the login). The companions' windows and command lines log in through it.
class PersonalBook final
{
public:
    explicit PersonalBook(Connection& shared);
    ~PersonalBook();
    Q_DISABLE_COPY_MOVE(PersonalBook)

    // Whether the name and password match (Accounts::logIn); throws DataError
    // when the book or the server cannot answer.
    bool logIn(const QString& user, const QString& password);
    Connection& book() { return m_person ? *m_person : m_shared; }

private:
    Connection& m_shared;
    std::unique_ptr<Connection> m_person;
};

} // namespace data
