#include "app/clsConnection.h"

#include "accounts/frmChangePassword.h"
#include "accounts/frmVantrel.h"
#include "app/Forms.h"
#include "app/frmYesNo.h"
#include "contacts/frmDetails.h"
#include "data/Connection.h"
#include "ui/Program.h"

#include <memory>

namespace clsConnection {

QString ActiveFormTag;
QString CurrentUser;

namespace {
std::unique_ptr<data::Connection>& connection()
{
    static std::unique_ptr<data::Connection> instance;
    return instance;
}
} // namespace

data::Connection& DbConnection()
{
    if (!connection())
        connection() = std::make_unique<data::Connection>();
    return *connection();
}

void OpenConnection()
{
    connection() = std::make_unique<data::Connection>();
    connection()->open(ui::program::folder() + QLatin1String("/data/vantrel.mdb"));
}

void Main()
{
    OpenConnection();
    Forms::frmVantrel().show();
}

void ConfirmQuit()
{
    Forms::frmYesNo().show();
}

void ShowActiveForm()
{
    if (ActiveFormTag == QLatin1String("form vantrel"))
        Forms::frmVantrel().show();
    else if (ActiveFormTag == QLatin1String("form details"))
        Forms::frmDetails().show();
    else if (ActiveFormTag == QLatin1String("change password"))
        Forms::frmChangePassword().show();
}

void Shutdown()
{
    Forms::destroyAll();
    connection().reset();
}

} // namespace clsConnection
