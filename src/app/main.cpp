#include "app/clsConnection.h"
#include "ui/Application.h"
#include "ui/Program.h"

#include <exception>

int main(int argc, char* argv[])
{
    ui::Application application(argc, argv);
    int status = 0;
    try {
        clsConnection::Main();
    } catch (const std::exception& error) {
        ui::program::fail(QString::fromUtf8(error.what()));
    }
    if (!ui::program::hasEnded())
        status = application.exec();
    else
        status = ui::program::exitStatus();
    clsConnection::Shutdown();
    return status;
}
