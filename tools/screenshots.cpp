// vantrel-screenshots OUTDIR: opens every window of the program over a sample
// book, as a person would see it, and saves each as a PNG. Run it under a real
// display (for instance xvfb-run) to check the look after a change.
#include "accounts/frmChangePassword.h"
#include "accounts/frmVantrel.h"
#include "app/Forms.h"
#include "app/clsConnection.h"
#include "app/frmYesNo.h"
#include "contacts/frmDetails.h"
#include "data/Connection.h"
#include "data/Schema.h"
#include "ui/ActionLabel.h"
#include "ui/Application.h"
#include "ui/Program.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace {

void save(ui::Form& form, const QString& path)
{
    QWidget* window = form.window();
    window->activateWindow();
    QTest::qWait(300); // let the window manager and fonts settle
    window->grab().save(path);
    std::printf("%s\n", qPrintable(path));
}

template <typename T> T* child(ui::Form& form, const char* name)
{
    return form.window()->findChild<T*>(QLatin1String(name));
}

void makeSampleBook(const QString& folder, const QString& imagesSource)
{
    QDir(folder).mkpath(QStringLiteral("data"));
    QDir(folder).mkpath(QStringLiteral("images"));
    for (const char* name : {"vantrel.bmp", "details.bmp", "change.bmp", "sunset2.bmp"})
        QFile::copy(imagesSource + QLatin1Char('/') + QLatin1String(name),
                    folder + QLatin1String("/images/") + QLatin1String(name));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("sample"));
    db.setDatabaseName(folder + QLatin1String("/data/vantrel.mdb"));
    db.open();
    data::schema::create(db);
    QSqlQuery query(db);
    query.exec(QStringLiteral("insert into userMaster values ('ann', 'pw'), ('bob', 'pw')"));
    query.prepare(QStringLiteral("insert into main values ('ann', 'Friends', 'Office', 'Margaret', "
                                 "'O''Brien', '12 Harbour Road\nKinsale\nCo. Cork', '4771234', '4775678', "
                                 "'0871234567', '214771111', '7', '3', '1974', '21', '6', '1998', "
                                 "'Unit 4, Quay Street\nCork', '4902222', '4903333', '0869876543', "
                                 "'214902244', 'maggie@example.org', 'm.obrien@harbourworks.example')"));
    query.exec();
    query.exec(QStringLiteral("insert into main (user, category, firstName, secondName) values "
                              "('ann', 'Relatives', 'Tom', 'Byrne'), ('ann', 'Friends', 'Zoe', 'Quinn')"));
    db.close();
}

} // namespace

int main(int argc, char* argv[])
{
    ui::Application app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: vantrel-screenshots IMAGES_DIR OUTDIR\n");
        return 2;
    }
    const QString images = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    QTemporaryDir folder;
    {
        makeSampleBook(folder.path(), images);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("sample"));
    ui::program::setFolder(folder.path());
    ui::program::setEndHandler([](int) {});
    clsConnection::Main();

    frmVantrel& login = Forms::frmVantrel();
    child<QLineEdit>(login, "txtUser")->setText(QStringLiteral("ann"));
    child<QLineEdit>(login, "txtPassword")->setText(QStringLiteral("pw"));
    save(login, out + QLatin1String("/login.png"));
    child<ActionLabel>(login, "lblNewUser")->clicked();
    child<QLineEdit>(login, "txtUser")->setText(QStringLiteral("newcomer"));
    child<QLineEdit>(login, "txtPassword")->setText(QStringLiteral("secret"));
    child<QLineEdit>(login, "txtRetypePassword")->setText(QStringLiteral("secret"));
    save(login, out + QLatin1String("/login-signup.png"));

    child<ActionLabel>(login, "lblChangePassword")->clicked();
    frmChangePassword& change = Forms::frmChangePassword();
    child<QComboBox>(change, "cbUser")->setCurrentIndex(0);
    child<QLineEdit>(change, "txtOldPassword")->setText(QStringLiteral("pw"));
    save(change, out + QLatin1String("/change-password.png"));
    child<ActionLabel>(change, "lblQuit")->clicked();
    save(Forms::frmYesNo(), out + QLatin1String("/quit.png"));
    child<ActionLabel>(Forms::frmYesNo(), "lblNo")->clicked();

    clsConnection::CurrentUser = QStringLiteral("ann");
    Forms::Forms::frmChangePassword().unload();
    Forms::frmDetails().show();
    save(Forms::frmDetails(), out + QLatin1String("/contacts.png"));
    child<ActionLabel>(Forms::frmDetails(), "lblModify")->clicked();
    save(Forms::frmDetails(), out + QLatin1String("/contacts-modify.png"));
    clsConnection::Shutdown();
    return 0;
}
