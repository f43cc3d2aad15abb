// Quitting from every window, and the routing back by ActiveFormTag.
#include "TestSupport.h"

#include "accounts/frmChangePassword.h"
#include "accounts/frmVantrel.h"
#include "app/Forms.h"
#include "app/clsConnection.h"
#include "app/frmYesNo.h"
#include "contacts/frmDetails.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>

using namespace testsupport;

namespace {

QWidget* widget(const ui::Form& form, const char* name)
{
    return control<QWidget>(form, QLatin1String(name));
}

void answer(const char* labelName)
{
    QVERIFY(Forms::frmYesNo().isLoaded());
    click(widget(Forms::frmYesNo(), labelName));
}

void loginAs(Program& program, const QString& user)
{
    program.addUser(user, QStringLiteral("pw"));
    Forms::frmVantrel().show();
    control<QLineEdit>(Forms::frmVantrel(), QStringLiteral("txtUser"))->setText(user);
    control<QLineEdit>(Forms::frmVantrel(), QStringLiteral("txtPassword"))->setText(QStringLiteral("pw"));
    click(widget(Forms::frmVantrel(), "lblLogin"));
    QVERIFY(Forms::frmDetails().isLoaded());
}

int openForms()
{
    int count = 0;
    for (ui::Form* form : std::initializer_list<ui::Form*>{&Forms::frmVantrel(), &Forms::frmDetails(),
                                                           &Forms::frmChangePassword(), &Forms::frmYesNo()})
        count += form->isLoaded() ? 1 : 0;
    return count;
}

} // namespace

class QuitRoutingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void confirmationLooksAsDesigned()
    {
        Program program;
        clsConnection::ConfirmQuit();
        QWidget* window = Forms::frmYesNo().window();
        QCOMPARE(window->windowTitle(), QStringLiteral("Form1"));
        QCOMPARE(widget(Forms::frmYesNo(), "lblYes")->toolTip(), QStringLiteral("Quits the Program"));
        QCOMPARE(widget(Forms::frmYesNo(), "lblNo")->toolTip(), QStringLiteral("Take to Previous Screen"));
    }

    void noFromTheLoginWindowBringsItBackEmpty()
    {
        Program program;
        Forms::frmVantrel().show();
        control<QLineEdit>(Forms::frmVantrel(), QStringLiteral("txtUser"))->setText(QStringLiteral("typed"));
        pressKey(Forms::frmVantrel().window(), Qt::Key_Escape);
        QVERIFY(!Forms::frmVantrel().isLoaded());
        QCOMPARE(clsConnection::ActiveFormTag, QStringLiteral("form vantrel"));
        QCOMPARE(openForms(), 1);
        pressKey(Forms::frmYesNo().window(), Qt::Key_Escape); // Esc answers No
        QVERIFY(Forms::frmVantrel().isLoaded());
        QCOMPARE(control<QLineEdit>(Forms::frmVantrel(), QStringLiteral("txtUser"))->text(), QString());
        QVERIFY(!program.ended());
    }

    void altF4InTheLoginWindowAsksToo()
    {
        Program program;
        Forms::frmVantrel().show();
        pressKey(Forms::frmVantrel().window(), Qt::Key_F4, Qt::AltModifier | Qt::ControlModifier);
        QVERIFY(Forms::frmVantrel().isLoaded());
        pressKey(Forms::frmVantrel().window(), Qt::Key_F4, Qt::AltModifier);
        QVERIFY(!Forms::frmVantrel().isLoaded());
        QVERIFY(Forms::frmYesNo().isLoaded());
        pressKey(Forms::frmYesNo().window(), Qt::Key_Return); // Enter answers Yes
        QVERIFY(program.ended());
        QCOMPARE(program.status(), 0);
        QCOMPARE(openForms(), 0);
    }

    void noFromTheContactWindowReloadsIt()
    {
        Program program;
        loginAs(program, QStringLiteral("ann"));
        pressKey(Forms::frmDetails().window(), Qt::Key_Q, Qt::AltModifier);
        QCOMPARE(clsConnection::ActiveFormTag, QStringLiteral("form details"));
        answer("lblNo");
        QVERIFY(Forms::frmDetails().isLoaded());
        QCOMPARE(openForms(), 1);
    }

    void changePasswordQuitThenNoMakesBackReturnToItself()
    {
        Program program;
        Forms::frmVantrel().show();
        click(widget(Forms::frmVantrel(), "lblChangePassword"));
        QVERIFY(Forms::frmChangePassword().isLoaded());
        pressKey(Forms::frmChangePassword().window(), Qt::Key_Escape);
        QCOMPARE(clsConnection::ActiveFormTag, QStringLiteral("change password"));
        answer("lblNo");
        QVERIFY(Forms::frmChangePassword().isLoaded());
        const QPointer<QWidget> before = Forms::frmChangePassword().window();
        pressKey(Forms::frmChangePassword().window(), Qt::Key_B, Qt::AltModifier);
        QVERIFY(Forms::frmChangePassword().isLoaded()); // shown once more, loaded anew
        QTRY_VERIFY(before.isNull()); // the earlier controls are gone
        QVERIFY(!Forms::frmVantrel().isLoaded());
    }

    void unknownTagShowsNothingAndTheProgramEnds()
    {
        Program program;
        clsConnection::ActiveFormTag = QStringLiteral("Form Vantrel"); // differs only in case
        clsConnection::ConfirmQuit();
        answer("lblNo");
        QCOMPARE(openForms(), 0);
        QTRY_VERIFY(program.ended());
        QCOMPARE(program.status(), 0);
    }

    void closingTheLastWindowFromItsFrameEndsTheProgram()
    {
        Program program;
        Forms::frmVantrel().show();
        Forms::frmVantrel().window()->close();
        QVERIFY(!Forms::frmVantrel().isLoaded());
        QCOMPARE(clsConnection::ActiveFormTag, QStringLiteral("form vantrel"));
        QTRY_VERIFY(program.ended());
    }

    void movingBetweenWindowsKeepsTheProgramRunning()
    {
        Program program;
        loginAs(program, QStringLiteral("ann"));
        click(widget(Forms::frmDetails(), "lblChangeUser"));
        QVERIFY(Forms::frmVantrel().isLoaded());
        QTest::qWait(20);
        QVERIFY(!program.ended());
        QCOMPARE(openForms(), 1);
    }

    void yesFromAnyWindowEndsAtOnce()
    {
        Program program;
        loginAs(program, QStringLiteral("ann"));
        click(widget(Forms::frmDetails(), "lblQuit"));
        answer("lblYes");
        QVERIFY(program.ended());
        QCOMPARE(program.status(), 0);
        QCOMPARE(openForms(), 0);
        QVERIFY(program.messages.isEmpty());
    }

    void missingDatabaseEndsBeforeAnyWindow()
    {
        Program program;
        QVERIFY(QFile::remove(program.databasePath()));
        try {
            clsConnection::Main();
            QFAIL("started without a database");
        } catch (const std::exception& error) {
            QVERIFY(QString::fromUtf8(error.what()).contains(QStringLiteral("vantrel.mdb")));
        }
        QCOMPARE(openForms(), 0);
        QVERIFY(!QFile::exists(program.databasePath()));
    }

    void missingPictureIsReportedAndEndsTheProgram()
    {
        Program program;
        QVERIFY(QFile::remove(program.folder() + QStringLiteral("/images/sunset2.bmp")));
        Forms::frmVantrel().show();
        click(widget(Forms::frmVantrel(), "lblQuit"));
        QVERIFY(program.ended());
        QCOMPARE(program.status(), 1);
        QVERIFY(program.prompts().last().contains(QStringLiteral("sunset2.bmp")));
    }
};

VANTREL_TEST_MAIN(QuitRoutingTest)
#include "tst_quitrouting.moc"
