// vantrel-exchange: contacts into and out of one user's book, as vCard or CSV.
// With no arguments (Qt's own, such as -reverse, aside) it opens its window; with
// arguments it is a command line, which needs no display.
#include "CommandLine.h"
#include "ExchangeWindow.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>
#include <cstdio>

namespace {

int commandLine(const QStringList& arguments)
{
    data::Connection connection;
    try {
        connection.openProgramDatabase(QCoreApplication::applicationDirPath());
    } catch (const data::DataError& error) {
        std::fprintf(stderr, "vantrel-exchange: %s\n", qPrintable(error.description()));
        return 1;
    }
    return runCommandLine(arguments, connection);
}

// A command or an option of the command line's own needs no display; Qt's
// options (-reverse, -style NAME ...) are for the window.
bool wantsNoWindow(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "export" || argument == "import" || argument.startsWith("--"))
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    if (wantsNoWindow(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // The error stream carries the command's one-line reason: none of Qt's
        // remarks (no XDG_RUNTIME_DIR for a script run as root) in between.
        QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false"));
    }
    QApplication app(argc, argv);
    // What is left once Qt has taken its own options.
    if (app.arguments().size() > 1)
        return commandLine(app.arguments());
    app.setDesktopFileName(QStringLiteral("io.github.vantrel.VantrelExchange"));
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/apps/vantrel-exchange.png").arg(size));
    app.setWindowIcon(icon);
    data::Connection connection;
    try {
        connection.openProgramDatabase(QCoreApplication::applicationDirPath());
    } catch (const data::DataError& error) {
        // No window yet: the book that cannot be opened is said, and the program ends.
        ui::MessageBox::show(error.description(), ExchangeWindow::title);
        return 1;
    }
    ExchangeWindow window(connection);
    window.show();
    return app.exec();
}
