#include "app/clsConnection.h"

#include "accounts/frmChangePassword.h"
#include "accounts/frmVantrel.h"
#include "app/frmCRViewer.h"
#include "app/frmYesNo.h"
#include "contacts/frmDetails.h"
#include "session/Session.h"

namespace clsConnection {

namespace {
template <typename T> app::Session::Factory make()
{
    return [] { return std::make_unique<T>(); };
}
} // namespace

void registerWindows()
{
    app::Session& session = app::session();
    session.registerWindow(app::Window::Vantrel, make<frmVantrel>());
    session.registerWindow(app::Window::ChangePassword, make<frmChangePassword>());
    session.registerWindow(app::Window::CRViewer, make<frmCRViewer>());
    session.registerWindow(app::Window::Details, make<frmDetails>());
    session.registerWindow(app::Window::YesNo, make<frmYesNo>());
}

void Main()
{
    app::session().OpenConnection();
    app::session().show(app::Window::Vantrel);
}

} // namespace clsConnection
