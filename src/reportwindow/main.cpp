// vantrel-report: the contact that Vantrel's Print staged, as a contact card.
// Without options it opens a print preview; with --pdf it writes the card to a
// PDF file without any window. It reads the program's book (data/vantrel.mdb
// beside the program, or the server of data/server.conf) and never writes to
// it. A server shows each person only their own staged contact, so there the
// person logs in first: in a window, or with --user and the password read as
// vantrel-exchange reads it.
#include "ReportLogin.h"
#include "ReportWindow.h"
#include "terminalpassword/TerminalPassword.h"

#include "data/Accounts.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "report/Card.h"
#include "report/StagedContact.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace {

bool wantsNoWindow(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"--pdf", "-h", "--help", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0 || (std::strncmp(argv[i], "--pdf=", 6) == 0))
                return true;
        }
    }
    return false;
}

int failOnCommandLine(const QString& reason)
{
    std::fprintf(stderr, "vantrel-report: %s\n",
                 qPrintable(QString(reason).replace(QLatin1Char('\n'), QLatin1Char(' '))));
    return 1;
}

std::optional<QPageSize> pageSizeNamed(const QString& name)
{
    if (name.compare(QLatin1String("A4"), Qt::CaseInsensitive) == 0)
        return QPageSize(QPageSize::A4);
    if (name.compare(QLatin1String("Letter"), Qt::CaseInsensitive) == 0)
        return QPageSize(QPageSize::Letter);
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[])
{
    // Writing a PDF needs fonts but no screen: it works over ssh and in scripts too.
    if (wantsNoWindow(argc, argv) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vantrel-report"));
    QApplication::setApplicationVersion(QStringLiteral(VANTREL_VERSION));
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/apps/vantrel-report.png").arg(size));
    QApplication::setWindowIcon(icon);
    QApplication::setDesktopFileName(QStringLiteral("io.github.vantrel.VantrelReport"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Shows the contact staged by Vantrel's Print as a contact card, to print or save as PDF.\n"
        "Reads the program's book (data/vantrel.mdb, or the server of data/server.conf); never writes "
        "to it.\nOn a server book each person sees only their own staged contact: the window asks who "
        "is printing; with --pdf, --user names them and the password is read from the terminal or "
        "standard input."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption pdf(QStringLiteral("pdf"), QStringLiteral("Write the card to FILE; no window."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption pageSizeOption(QStringLiteral("page-size"),
                                            QStringLiteral("A4 (the default for --pdf) or Letter."),
                                            QStringLiteral("SIZE"));
    const QCommandLineOption userOption(
        QStringLiteral("user"), QStringLiteral("With --pdf: who is printing (needed on a server book)."),
        QStringLiteral("NAME"));
    parser.addOption(pdf);
    parser.addOption(pageSizeOption);
    parser.addOption(userOption);
    parser.process(app);
    const bool toPdf = parser.isSet(pdf);
    const auto fail = [toPdf](const QString& reason) {
        if (toPdf)
            return failOnCommandLine(reason);
        ui::MessageBox::show(reason, ReportWindow::title);
        return 1;
    };
    if (!parser.positionalArguments().isEmpty())
        return failOnCommandLine(QStringLiteral("unexpected argument '%1'; see --help.")
                                     .arg(parser.positionalArguments().constFirst()));
    std::optional<QPageSize> pageSize = QPageSize(QPageSize::A4);
    if (parser.isSet(pageSizeOption)) {
        pageSize = pageSizeNamed(parser.value(pageSizeOption));
        if (!pageSize)
            return failOnCommandLine(QStringLiteral("unknown page size '%1'; use A4 or Letter.")
                                         .arg(parser.value(pageSizeOption)));
    }
    const bool userNamed = parser.isSet(userOption);
    if (userNamed && !toPdf)
        return failOnCommandLine(QStringLiteral("--user goes with --pdf; the window asks who is printing."));

    std::optional<data::Contact> contact;
    try {
        data::Connection connection;
        connection.openProgramDatabase(QCoreApplication::applicationDirPath(),
                                       data::Connection::OpenMode::ReadOnly);
        data::Accounts accounts(connection);
        // On a server only the person's own connection reaches their staged row.
        std::unique_ptr<data::Connection> person;
        if (toPdf && (accounts.onServer() || userNamed)) {
            if (!userNamed)
                return failOnCommandLine(
                    QStringLiteral("--user NAME is missing: the book is on a server, which "
                                   "shows each person only their own staged contact"));
            // The file has one staged row for everyone, yet a named user is
            // checked there too: a script fails alike on either book.
            auto own = std::make_unique<data::Connection>();
            if (!accounts.logIn(parser.value(userOption), readPassword(), own.get()))
                return failOnCommandLine(QStringLiteral("User or Password does not match"));
            if (accounts.onServer())
                person = std::move(own);
        } else if (accounts.onServer()) {
            ReportLogin login(connection);
            if (login.exec() != QDialog::Accepted)
                return 1;
            person = login.takePerson();
        }
        contact = report::readStagedContact(person ? *person : connection);
    } catch (const data::DataError& error) {
        return fail(error.description());
    }
    if (!contact)
        return fail(report::nothingStagedMessage());

    if (toPdf) {
        try {
            report::writeCardPdf(*contact, parser.value(pdf), *pageSize);
        } catch (const report::WriteError& error) {
            return failOnCommandLine(error.text());
        }
        return 0;
    }
    ReportWindow window(*contact);
    if (parser.isSet(pageSizeOption))
        window.printer().setPageSize(*pageSize);
    window.show();
    return app.exec();
}
