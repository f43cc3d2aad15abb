// Quitting from every window, and the routing back by ActiveFormTag.
#include "TestSupport.h"

#include "accounts/frmChangePassword.h"
#include "accounts/frmVantrel.h"
#include "app/Forms.h"
#include "app/clsConnection.h"
#include "app/frmYesNo.h"
#include "contacts/frmDetails.h"

#include <QFile>
#include <QLineEdit>

using namespace testsupport;

namespace {

// "running" or "ended <status>", then the windows loaded, e.g. "running: frmDetails".
QString state(const Program& program)
{
    QStringList loaded;
    for (ui::Form* form : std::initializer_list<ui::Form*>{&Forms::frmVantrel(), &Forms::frmDetails(),
                                                           &Forms::frmChangePassword(), &Forms::frmYesNo()})
        if (form->isLoaded())
            loaded << form->window()->objectName();
    return (program.ended() ? QString("ended %1: ").arg(program.status()) : "running: ") + loaded.join(' ');
}

// Quits a window by a key: the confirmation then stands alone, and the tag names where "No" leads.
void quit(const Program& program, const ui::Form& form, Qt::Key key, Qt::KeyboardModifiers mods,
          const char* tag)
{
    pressKey(form.window(), key, mods);
    QCOMPARE(state(program), "running: frmYesNo");
    QCOMPARE(clsConnection::ActiveFormTag, tag);
}

} // namespace

class QuitRoutingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loginWindowAsksOnEscAndAltF4()
    {
        Program program;
        Forms::frmVantrel().show();
        control<QLineEdit>(Forms::frmVantrel(), "txtUser")->setText("typed");
        quit(program, Forms::frmVantrel(), Qt::Key_Escape, {}, "form vantrel");
        QCOMPARE(Forms::frmYesNo().window()->windowTitle(), "Form1");
        pressKey(Forms::frmYesNo().window(), Qt::Key_Escape); // Esc answers No
        QCOMPARE(state(program), "running: frmVantrel");
        QCOMPARE(control<QLineEdit>(Forms::frmVantrel(), "txtUser")->text(), QString());

        // Alt+F4 asks too, but not with Ctrl held as well.
        pressKey(Forms::frmVantrel().window(), Qt::Key_F4, Qt::AltModifier | Qt::ControlModifier);
        QCOMPARE(state(program), "running: frmVantrel");
        quit(program, Forms::frmVantrel(), Qt::Key_F4, Qt::AltModifier, "form vantrel");
        pressKey(Forms::frmYesNo().window(), Qt::Key_Return); // Enter answers Yes
        QCOMPARE(state(program), "ended 0: ");
    }

    void contactWindowComesBackOnNoAndChangeUserKeepsTheProgramRunning()
    {
        Program program;
        clsConnection::CurrentUser = "ann";
        Forms::frmDetails().show();
        quit(program, Forms::frmDetails(), Qt::Key_Q, Qt::AltModifier, "form details");
        click(control<QWidget>(Forms::frmYesNo(), "lblNo"));
        QCOMPARE(state(program), "running: frmDetails");
        click(control<QWidget>(Forms::frmDetails(), "lblChangeUser"));
        QCoreApplication::processEvents(); // a deferred end would run here
        QCOMPARE(state(program), "running: frmVantrel");
    }

    void changePasswordQuitThenNoMakesBackReturnToItself()
    {
        Program program;
        Forms::frmVantrel().show();
        click(control<QWidget>(Forms::frmVantrel(), "lblChangePassword"));
        quit(program, Forms::frmChangePassword(), Qt::Key_Escape, {}, "change password");
        click(control<QWidget>(Forms::frmYesNo(), "lblNo"));
        QCOMPARE(state(program), "running: frmChangePassword");
        const QPointer<QWidget> before = Forms::frmChangePassword().window();
        pressKey(Forms::frmChangePassword().window(), Qt::Key_B, Qt::AltModifier);
        QCOMPARE(state(program), "running: frmChangePassword"); // shown once more, loaded anew
        QTRY_VERIFY(before.isNull());

        // "Yes" ends at once, with no further question.
        quit(program, Forms::frmChangePassword(), Qt::Key_Q, Qt::AltModifier, "change password");
        click(control<QWidget>(Forms::frmYesNo(), "lblYes"));
        QCOMPARE(state(program), "ended 0: ");
        QVERIFY(program.messages.isEmpty());
    }

    void unknownTagShowsNothingAndTheProgramEnds()
    {
        Program program;
        clsConnection::ActiveFormTag = "Form Vantrel"; // differs only in case
        clsConnection::ConfirmQuit();
        click(control<QWidget>(Forms::frmYesNo(), "lblNo"));
        QTRY_COMPARE(state(program), "ended 0: ");
    }

    void closingTheLastWindowFromItsFrameEndsTheProgram()
    {
        Program program;
        Forms::frmVantrel().show();
        Forms::frmVantrel().window()->close();
        QCOMPARE(clsConnection::ActiveFormTag, "form vantrel");
        QTRY_COMPARE(state(program), "ended 0: ");
    }

    void missingDatabaseEndsBeforeAnyWindow()
    {
        Program program;
        QVERIFY(QFile::remove(program.databasePath()));
        QVERIFY_THROWS_EXCEPTION(std::exception, clsConnection::Main());
        QCOMPARE(state(program), "running: ");
        QVERIFY(!QFile::exists(program.databasePath()));
    }

    void missingPictureEndsTheProgram()
    {
        Program program;
        QVERIFY(QFile::remove(program.folder() + "/images/sunset2.bmp"));
        Forms::frmVantrel().show();
        click(control<QWidget>(Forms::frmVantrel(), "lblQuit"));
        QCOMPARE(program.status(), 1);
    }
};

VANTREL_TEST_MAIN(QuitRoutingTest)
#include "tst_quitrouting.moc"
