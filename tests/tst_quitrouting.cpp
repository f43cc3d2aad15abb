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
    QString loaded; // one at most
    for (ui::Form* form : std::initializer_list<ui::Form*>{&Forms::frmVantrel(), &Forms::frmDetails(),
                                                           &Forms::frmChangePassword(), &Forms::frmYesNo()})
        loaded += form->isLoaded() ? form->window()->objectName() : "";
    return (program.ended() ? QString("ended %1: ").arg(program.status()) : "running: ") + loaded;
}

// Quits a window by a key: the confirmation then stands alone, and the tag names where "No" leads.
// Then clicks `answer` on the confirmation, if given.
void quit(const Program& program, const ui::Form& form, QKeyCombination key, const char* tag,
          const char* answer = nullptr)
{
    pressKey(form.window(), key.key(), key.keyboardModifiers());
    QCOMPARE(state(program), "running: frmYesNo");
    QCOMPARE(clsConnection::ActiveFormTag, tag);
    if (answer)
        click(control<QWidget>(Forms::frmYesNo(), answer));
}

} // namespace

class QuitRoutingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eachWindowAsksAndNoLeadsBackByTheTag()
    {
        Program program;
        Forms::frmDetails().show();
        quit(program, Forms::frmDetails(), Qt::AltModifier | Qt::Key_Q, "form details", "lblNo");
        QCOMPARE(state(program), "running: frmDetails");
        click(control<QWidget>(Forms::frmDetails(), "lblChangeUser"));
        QCoreApplication::processEvents(); // a deferred end would run here
        QCOMPARE(state(program), "running: frmVantrel");

        control<QLineEdit>(Forms::frmVantrel(), "txtUser")->setText("typed");
        quit(program, Forms::frmVantrel(), Qt::Key_Escape, "form vantrel");
        QCOMPARE(Forms::frmYesNo().window()->windowTitle(), "Form1");
        pressKey(Forms::frmYesNo().window(), Qt::Key_Escape);                            // Esc answers No
        QCOMPARE(control<QLineEdit>(Forms::frmVantrel(), "txtUser")->text(), QString()); // loaded anew
        // Alt+F4 asks too, but not with Ctrl held as well.
        pressKey(Forms::frmVantrel().window(), Qt::Key_F4, Qt::AltModifier | Qt::ControlModifier);
        QCOMPARE(state(program), "running: frmVantrel");
        quit(program, Forms::frmVantrel(), Qt::AltModifier | Qt::Key_F4, "form vantrel", "lblNo");

        click(control<QWidget>(Forms::frmVantrel(), "lblChangePassword"));
        quit(program, Forms::frmChangePassword(), Qt::Key_Escape, "change password", "lblNo");
        const QPointer<QWidget> before = Forms::frmChangePassword().window();
        pressKey(Forms::frmChangePassword().window(), Qt::Key_B, Qt::AltModifier);
        QCOMPARE(state(program), "running: frmChangePassword"); // shown once more, loaded anew
        QTRY_VERIFY(before.isNull());
        // "Yes" ends at once, with no further question.
        quit(program, Forms::frmChangePassword(), Qt::AltModifier | Qt::Key_Q, "change password", "lblYes");
        QCOMPARE(state(program), "ended 0: ");
        QVERIFY(program.messages.isEmpty());
    }

    // Each with a fresh program: Enter answering Yes, No with a tag that differs only in case, the last
    // window closed from its frame, the confirmation's picture missing. (A missing database:
    // tst_reliability.)
    void eachWayTheProgramEnds()
    {
        for (const QString way : {"enter", "tag", "frame", "picture"}) {
            Program program;
            QVERIFY(way != "picture" || QFile::remove(program.folder() + "/images/sunset2.bmp"));
            Forms::frmVantrel().show();
            if (way ==
                "frame") // the login window asks, like Alt+F4, which the window manager turns into this
                Forms::frmVantrel().window()->close();
            else
                click(control<QWidget>(Forms::frmVantrel(), "lblQuit"));
            QCOMPARE(clsConnection::ActiveFormTag, "form vantrel");
            if (way == "frame") { // the confirmation, closed from its frame, leaves no window
                QCOMPARE(state(program), "running: frmYesNo");
                Forms::frmYesNo().window()->close();
            } else if (way == "tag") {
                clsConnection::ActiveFormTag = "Form Vantrel";
                click(control<QWidget>(Forms::frmYesNo(), "lblNo"));
            } else if (way == "enter")
                pressKey(Forms::frmYesNo().window(), Qt::Key_Return);
            if (way == "picture")
                QCOMPARE(program.status(), 1);
            else
                QTRY_COMPARE(state(program), "ended 0: ");
        }
    }
};

VANTREL_TEST_MAIN(QuitRoutingTest)
#include "tst_quitrouting.moc"
