// vantrel-screenshots OUTDIR: opens every window of the program over a sample
// book, as a person would see it, and saves each as a PNG. Run it under a real
// display (for instance xvfb-run) to check the look after a change.
#include "ProgramFolder.h"
#include "app/clsConnection.h"
#include "data/Schema.h"
#include "session/Session.h"
#include "ui/ActionLabel.h"
#include "ui/Application.h"
#include "ui/Form.h"
#include "ui/Program.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <cstdio>

namespace {

QWidget* openWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && qobject_cast<ui::FormWindow*>(widget))
            return widget;
    }
    return nullptr;
}

template <typename T> T* child(const char* name)
{
    return openWindow()->findChild<T*>(QLatin1String(name));
}

void save(const QString& path)
{
    QWidget* window = openWindow();
    window->activateWindow();
    QTest::qWait(300); // let the window manager and fonts settle
    window->grab().save(path);
    std::printf("%s\n", qPrintable(path));
}

void fill(const testing::ProgramFolder& folder)
{
    folder.exec(QStringLiteral("insert into userMaster values ('ann', 'pw'), ('bob', 'pw')"));
    folder.exec(QLatin1String("insert into main (") + data::schema::mainColumns().join(QLatin1String(", ")) +
                QLatin1String(") values ('ann', 'Friends', 'Office', 'Margaret', "
                              "'O''Brien', '12 Harbour Road\nKinsale\nCo. Cork', '4771234', '4775678', "
                              "'0871234567', '214771111', '7', '3', '1974', '21', '6', '1998', "
                              "'Unit 4, Quay Street\nCork', '4902222', '4903333', '0869876543', "
                              "'214902244', 'maggie@example.org', 'm.obrien@harbourworks.example')"));
    folder.exec(QStringLiteral("insert into main (user, category, firstName, secondName) values "
                               "('ann', 'Relatives', 'Tom', 'Byrne'), ('ann', 'Friends', 'Zoe', 'Quinn')"));
}

} // namespace

int main(int argc, char* argv[])
{
    ui::Application app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vantrel-screenshots OUTDIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    testing::ProgramFolder folder;
    fill(folder);
    clsConnection::registerWindows();
    ui::program::setFolder(folder.path());
    ui::program::setEndHandler([](int) {});
    clsConnection::Main();
    app::Session& session = app::session();

    child<QLineEdit>("txtUser")->setText(QStringLiteral("ann"));
    child<QLineEdit>("txtPassword")->setText(QStringLiteral("pw"));
    save(out + QLatin1String("/login.png"));
    Q_EMIT child<ActionLabel>("lblNewUser")->clicked();
    child<QLineEdit>("txtUser")->setText(QStringLiteral("newcomer"));
    child<QLineEdit>("txtPassword")->setText(QStringLiteral("secret"));
    child<QLineEdit>("txtRetypePassword")->setText(QStringLiteral("secret"));
    save(out + QLatin1String("/login-signup.png"));

    Q_EMIT child<ActionLabel>("lblChangePassword")->clicked();
    child<QComboBox>("cbUser")->setCurrentIndex(0);
    child<QLineEdit>("txtOldPassword")->setText(QStringLiteral("pw"));
    save(out + QLatin1String("/change-password.png"));
    Q_EMIT child<ActionLabel>("lblQuit")->clicked();
    save(out + QLatin1String("/quit.png"));
    Q_EMIT child<ActionLabel>("lblNo")->clicked();

    session.unloadAll();
    session.CurrentUser = QStringLiteral("ann");
    session.show(app::Window::Details);
    save(out + QLatin1String("/contacts.png"));
    Q_EMIT child<ActionLabel>("lblModify")->clicked();
    save(out + QLatin1String("/contacts-modify.png"));
    session.reset();
    return 0;
}
