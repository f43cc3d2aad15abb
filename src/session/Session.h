#pragma once

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace data {
class Accounts;
class Connection;
} // namespace data
namespace ui {
class Form;
}

namespace app {

// The program's windows, in the order "Yes" in the quit confirmation unloads them.
enum class Window
{
    Vantrel, // login, with sign-up
    ChangePassword,
    CRViewer, // never shown
    Details,  // the contacts
    YesNo     // the quit confirmation
};

// The values of ActiveFormTag, compared as exact, case-sensitive text.
namespace tags {
inline const QString formVantrel = QStringLiteral("form vantrel");
inline const QString formDetails = QStringLiteral("form details");
inline const QString changePassword = QStringLiteral("change password");
} // namespace tags

// One run of the program: the database connection, who is logged in, where a
// window returns to, and the window objects. Windows reach each other only
// through it, by name.
class Session final
{
public:
    Session();
    ~Session();
    Q_DISABLE_COPY_MOVE(Session)

    // The user name exactly as typed at the last successful login.
    QString CurrentUser;
    // Names the window to return to (one of `tags`); nothing ever clears it.
    QString ActiveFormTag;

    // Opens the program's book (a server named by data/server.conf, else
    // data/vantrel.mdb), once; throws on failure.
    void OpenConnection();
    // The connection a person's contacts are reached through: on a server book
    // the person's own since the last login, else the one opened at start;
    // throws when there is none.
    data::Connection& DbConnection();
    // The accounts of the book, over the connection opened at start.
    data::Accounts accounts();
    // Whether some account of that name has this password; on a server book
    // the person's own connection is DbConnection() from then on.
    bool logIn(const QString& user, const QString& password);

    using Factory = std::function<std::unique_ptr<ui::Form>()>;
    void registerWindow(Window window, Factory factory);
    // The window object, created on first use.
    ui::Form& form(Window window);
    template <typename T> T& form(Window window) { return static_cast<T&>(form(window)); }
    void show(Window window);

    // Shows the quit confirmation and returns at once.
    void ConfirmQuit();
    // Shows the window that ActiveFormTag names; with any other value, none.
    void ShowActiveForm();
    // Unloads every window that is loaded, in the order of `Window`.
    void unloadAll();

    // Back to a fresh run with the same window factories: windows destroyed
    // first, then the connection; the user and the tag emptied; the
    // toolkit's end, folder and message-box responder forgotten.
    void reset();

private:
    std::unique_ptr<data::Connection> m_connection;
    std::unique_ptr<data::Connection> m_person;
    // Persons' connections of earlier logins, closed; a window's record set
    // may still refer to one until it is opened again.
    std::vector<std::unique_ptr<data::Connection>> m_loggedOut;
    std::map<Window, Factory> m_factories;
    std::map<Window, std::unique_ptr<ui::Form>> m_forms;
};

// The one session of the program.
Session& session();

} // namespace app
