#include "Workstation.h"

#include "TestSupport.h"
#include "ui/Application.h"
#include "ui/Failure.h"
#include "ui/MessageBox.h"
#include "ui/Program.h"

#include <cstdio>
#include <unistd.h>

namespace testsupport {

void giveToOrdinaryUser(const QString& path)
{
    if (geteuid() == 0 && ::chown(path.toLocal8Bit().constData(), 65534, 65534) != 0)
        qFatal("cannot give %s away", qPrintable(path));
}

QProcess* startInFolder(const QString& folder, const QString& executable, const QStringList& args)
{
    const QString copy = folder + QLatin1Char('/') + QFileInfo(executable).fileName();
    QFile::copy(executable, copy);
    auto* process = new QProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory("/");
    if (geteuid() != 0) {
        process->start(copy, args);
        return process;
    }
    giveToOrdinaryUser(folder + "/data");
    // The book and its log, which a program of this process may have opened already.
    for (const char* file : {"vantrel.mdb", "vantrel.mdb-wal", "vantrel.mdb-shm"}) {
        if (QFile::exists(folder + "/data/" + file))
            giveToOrdinaryUser(folder + "/data/" + file);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                      QFile::ExeOther);
    process->start("setpriv", QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", copy} + args);
    return process;
}

QProcess* startWorkstation(const Program& program, const QString& mode, int count, const QString& prefix)
{
    return startInFolder(program.folder.path(), QCoreApplication::applicationFilePath(),
                         {"--workstation", mode, program.folder.path(), QString::number(count), prefix});
}

QSet<QString> savedBy(QProcess& workstation)
{
    QSet<QString> names;
    for (const QByteArray& line : workstation.readAllStandardOutput().split('\n'))
        if (line.startsWith("saved "))
            names << QString::fromUtf8(line.mid(6));
    return names;
}

int workstation(int argc, char** argv)
{
    ui::Application app(argc, argv);
    const QStringList args = app.arguments(); // --workstation MODE FOLDER COUNT PREFIX
    const QString mode = args[2];
    const bool retry = mode == QLatin1String("retry");
    const bool modify = mode == QLatin1String("modify");
    QStringList heard; // the messages of the contact at hand
    bool ended = false;
    const auto start = [&] {
        app::session().reset();
        ui::program::setFolder(args[3]);
        ui::program::setEndHandler([&ended](int) { ended = true; });
        ui::MessageBox::setResponder([&heard](const QString&, const QString& prompt) {
            heard << prompt;
            if (prompt != QLatin1String("Record Saved"))
                std::fprintf(stderr, "message: %s\n", qPrintable(prompt));
        });
        ended = false;
        clsConnection::registerWindows();
        ui::runGuarded(clsConnection::Main);
        return !ended &&
               (mode == QLatin1String("signup") || run({open(app::Window::Vantrel), type("txtUser", "ann"),
                                                        type("txtPassword", "pw"), click("cmdLogin")}));
    };
    // A person starts the program again once the server is back.
    const auto startAgain = [&] {
        for (int tries = 0; tries < 1200; ++tries, QTest::qWait(50)) {
            if (start())
                return true;
        }
        return false;
    };
    const auto enter = [&](const QString& name) {
        if (modify)
            return run({click("cmdSearch"), type("txtFirstName", name), click("cmdView"), click("cmdModify"),
                        type("txtPhone1", args[4]), click("cmdSave")});
        return mode == QLatin1String("signup")
                   ? run({click("lblNewUser"), type("txtUser", name), type("txtPassword", "pw"),
                          type("txtRetypePassword", "pw"), click("lblSave")})
                   : run({click("cmdAdd"), type("txtFirstName", name), type("txtLastName", "Twin"),
                          click("cmdSave")});
    };
    const auto settled = [&] {
        return !retry || heard.contains("Record Saved") || heard.contains("Record Already Exist");
    };
    if (!start())
        return 2;
    const int count = modify ? 1 : args[4].toInt();
    for (int i = 0; i < count && !ended; ++i) {
        const QString name = modify ? args[5] : args[5] + QString::number(i);
        heard.clear();
        if (!enter(name))
            return 2;
        for (int tries = 0; !settled(); ++tries) {
            if (tries == 1200) // a minute: the server is not coming back
                return 3;
            QTest::qWait(50);
            if (ended ? !(startAgain() && enter(name)) : !run({click("cmdSave")}))
                return 2;
        }
        if (heard.isEmpty() || heard.contains("Record Saved"))
            std::printf("saved %s\n", qPrintable(name));
        std::fflush(stdout);
        if (retry && ended && !startAgain()) // ended after the save, showing the contact
            return 2;
    }
    const int status = ended ? ui::program::exitStatus() : 0;
    app::session().reset();
    return status;
}

} // namespace testsupport
