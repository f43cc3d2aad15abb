#include "app/clsConnection.h"
#include "session/Session.h"
#include "ui/Application.h"
#include "ui/Failure.h"
#include "ui/Program.h"

int main(int argc, char* argv[])
{
    ui::Application application(argc, argv);
    clsConnection::registerWindows();
    // A database that cannot be opened ends the program before any window.
    ui::runGuarded(clsConnection::Main);
    const int status = ui::program::hasEnded() ? ui::program::exitStatus() : application.exec();
    app::session().reset(); // windows and connection go before the application object
    return status;
}
