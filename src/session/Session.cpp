#include "session/Session.h"

#include "data/Accounts.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "ui/Form.h"
#include "ui/Program.h"

#include <stdexcept>

namespace app {

Session::Session() = default;

Session::~Session()
{
    reset();
}

void Session::OpenConnection()
{
    if (m_connection)
        throw std::logic_error("the database connection is opened once");
    auto connection = std::make_unique<data::Connection>();
    connection->openProgramDatabase(ui::program::folder());
    m_connection = std::move(connection);
}

data::Connection& Session::DbConnection()
{
    if (m_person)
        return *m_person;
    if (!m_connection)
        throw data::DataError(QStringLiteral("The database is not open."));
    return *m_connection;
}

data::Accounts Session::accounts()
{
    if (!m_connection)
        throw data::DataError(QStringLiteral("The database is not open."));
    return data::Accounts(*m_connection);
}

bool Session::logIn(const QString& user, const QString& password)
{
    const bool server = accounts().onServer();
    auto person = server ? std::make_unique<data::Connection>() : nullptr;
    if (!accounts().logIn(user, password, person.get()))
        return false;
    if (m_person) {
        m_person->close();
        m_loggedOut.push_back(std::move(m_person));
    }
    m_person = std::move(person);
    return true;
}

void Session::registerWindow(Window window, Factory factory)
{
    m_factories[window] = std::move(factory);
}

ui::Form& Session::form(Window window)
{
    std::unique_ptr<ui::Form>& slot = m_forms[window];
    if (!slot) {
        const auto factory = m_factories.find(window);
        if (factory == m_factories.end())
            throw std::logic_error("a window was asked for that the program does not have");
        slot = factory->second();
    }
    return *slot;
}

void Session::show(Window window)
{
    form(window).show();
}

void Session::ConfirmQuit()
{
    show(Window::YesNo);
}

void Session::ShowActiveForm()
{
    if (ActiveFormTag == tags::formVantrel)
        show(Window::Vantrel);
    else if (ActiveFormTag == tags::formDetails)
        show(Window::Details);
    else if (ActiveFormTag == tags::changePassword)
        show(Window::ChangePassword);
}

void Session::unloadAll()
{
    // A window that was never created is not open: nothing to unload.
    for (auto& [window, form] : m_forms) {
        if (form)
            form->unload();
    }
}

void Session::reset()
{
    m_forms.clear(); // the contact window's record set goes before the connections
    m_person.reset();
    m_loggedOut.clear();
    m_connection.reset();
    CurrentUser.clear();
    ActiveFormTag.clear();
    ui::program::reset();
}

Session& session()
{
    static Session instance;
    return instance;
}

} // namespace app
