// vantrel-exchange: contacts into and out of one user's book, as vCard or CSV.
// With no arguments it opens its window; with arguments it is a command line,
// which needs no display.
#include "CommandLine.h"
#include "ExchangeWindow.h"
#include "data/Connection.h"
#include "data/DataError.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <cstdio>

namespace {

int commandLine(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    data::Connection connection;
    try {
        connection.openProgramDatabase(QCoreApplication::applicationDirPath());
    } catch (const data::DataError& error) {
        std::fprintf(stderr, "vantrel-exchange: %s\n", qPrintable(error.description()));
        return 1;
    }
    return runCommandLine(app.arguments(), connection);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1)
        return commandLine(argc, argv);
    QApplication app(argc, argv);
    app.setDesktopFileName(QStringLiteral("io.github.vantrel.VantrelExchange"));
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/256x256/apps/vantrel.png")));
    data::Connection connection;
    try {
        connection.openProgramDatabase(QCoreApplication::applicationDirPath());
    } catch (const data::DataError& error) {
        QMessageBox::critical(nullptr, ExchangeWindow::title, error.description());
        return 1;
    }
    ExchangeWindow window(connection);
    window.show();
    return app.exec();
}
