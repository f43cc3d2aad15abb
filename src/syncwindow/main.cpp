// vantrel-sync: one user's contacts kept in step with a CardDAV address book.
// With no arguments (Qt's own, such as -reverse, aside) it opens its window; with
// arguments it is a command line, which needs no display.
#include "CommandLine.h"
#include "SyncWindow.h"
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
        std::fprintf(stderr, "vantrel-sync: %s\n", qPrintable(error.description()));
        return 1;
    }
    return runCommandLine(arguments, connection);
}

// An option of the command line's own needs no display; Qt's options
// (-reverse, -style NAME ...) are for the window.
bool wantsNoWindow(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]).startsWith("--"))
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
    app.setDesktopFileName(QStringLiteral("io.github.vantrel.VantrelSync"));
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/apps/vantrel-sync.png").arg(size));
    app.setWindowIcon(icon);
    data::Connection connection;
    try {
        connection.openProgramDatabase(QCoreApplication::applicationDirPath());
    } catch (const data::DataError& error) {
        // No window yet: the book that cannot be opened is said, and the program ends.
        ui::MessageBox::show(error.description(), SyncWindow::title);
        return 1;
    }
    SyncWindow window(connection);
    window.show();
    return app.exec();
}
