// Login, sign-up and change of password, driven through the real windows.
#include "TestSupport.h"

#include "accounts/frmChangePassword.h"
#include "accounts/frmVantrel.h"
#include "app/Forms.h"
#include "app/clsConnection.h"
#include "contacts/frmDetails.h"
#include "ui/Calculator.h"

#include <QComboBox>
#include <QLineEdit>
#include <algorithm>

using namespace testsupport;

namespace {

using Rows = QList<QVariantList>;
const QStringList loginBoxes{"txtUser", "txtPassword", "txtRetypePassword"};

template <typename T = QWidget> T* get(const QString& name, const ui::Form& form = Forms::frmVantrel())
{
    return control<T>(form, name);
}

// Types into the named boxes in turn, as a person would, so the focus ends in the last one.
void type(const QStringList& names, const QStringList& texts, const ui::Form& form = Forms::frmVantrel())
{
    for (int i = 0; i < names.size(); ++i) {
        get(names[i], form)->setFocus();
        get<QLineEdit>(names[i], form)->setText(texts[i]);
    }
}

// What the user sees: "title: prompt" of the last message / the boxes' texts / the focused control.
QString outcome(const Program& program, const QStringList& boxes = loginBoxes,
                const ui::Form& form = Forms::frmVantrel())
{
    const Message last = program.messages.value(program.messages.size() - 1);
    QStringList texts;
    for (const QString& name : boxes)
        texts << get<QLineEdit>(name, form)->text();
    const QWidget* focus = form.window()->focusWidget();
    return last.title + ": " + last.prompt + " / " + texts.join('|') + " / " +
           (focus ? focus->objectName() : "");
}

// How many of the four registration controls are shown.
qsizetype registrationShown()
{
    const QStringList names{"lblRetype_0", "txtRetypePassword", "lblSave", "Line1_5"};
    return std::count_if(names.cbegin(), names.cend(),
                         [](const QString& name) { return !get(name)->isHidden(); });
}

} // namespace

class AccountsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loginWindowLooksRefusesMismatchesAndStartsTheCalculator()
    {
        Program program;
        program.addUser("ann", "Secret");
        clsConnection::Main();
        QTRY_COMPARE(QApplication::focusWidget(), get("txtUser"));
        QCOMPARE(Forms::frmVantrel().window()->windowTitle(), "My Personal Vantrel Dairy");
        QCOMPARE(get<QLineEdit>("txtPassword")->echoMode(), QLineEdit::Password);
        const QFont quitFont = get("lblQuit")->font();
        QVERIFY(quitFont.bold() && quitFont.italic() && quitFont.pointSizeF() == 14.25 &&
                get("lblQuit")->cursor().shape() == Qt::BitmapCursor);

        // Focus on the user box by the keyboard selects its whole text.
        type({"txtUser", "txtPassword"}, {"someone", "pw"});
        QTest::keyClick(get("txtPassword"), Qt::Key_Backtab);
        QTRY_COMPARE(get<QLineEdit>("txtUser")->selectedText(), "someone");

        // Alt+S runs the save in login mode too, against the hidden, empty retype box.
        pressKey(Forms::frmVantrel().window(), Qt::Key_S, Qt::AltModifier);
        QCOMPARE(program.prompts(), QStringList{"Name or Password Field is Left Blank"});
        QCOMPARE(program.rows("select user from userMaster"), Rows{{"ann"}});

        // Another case or both boxes empty, by the label or the button: each a plain mismatch.
        for (const auto& typed : QList<QStringList>{{"ann", "secret"}, {"", ""}}) {
            type({"txtUser", "txtPassword"}, typed);
            click(get(typed[0].isEmpty() ? "cmdLogin" : "lblLogin"));
            QCOMPARE(outcome(program),
                     "DEDIV ZODEZO: User or Password does not match / " + typed[0] + "|| / txtPassword");
        }
        QCOMPARE(program.messages.size(), 3);

        ui::Calculator::setCandidates({"no-such-calculator", "true"});
        pressKey(Forms::frmVantrel().window(), Qt::Key_C, Qt::AltModifier);
        QVERIFY(Forms::frmVantrel().isLoaded() && !program.ended());
        // No calculator at all is a failure the program does not survive.
        ui::Calculator::setCandidates({"no-such-calculator"});
        click(get("lblCalc"));
        QCOMPARE(program.status(), 1);
    }

    void registrationRefusesInOrderSurvivesAnUnloadThenSavesAndLogsIn()
    {
        Program program;
        program.addUser("ann", "pw");
        Forms::frmVantrel().show();
        click(get("lblNewUser"));
        QCOMPARE(registrationShown(), 4);
        QVERIFY(!get("lblLogin")->isEnabled() && !get("cmdLogin")->isEnabled());
        // The name test comes before any check of the entries.
        for (const QStringList& step : QList<QStringList>{
                 {"ann", "a", "b", "Kya Karte Ho Yaar: User Name Already Exist / |a|b / txtUser"},
                 {"", "a", "b",
                  "projVantrel: Name or Password Field is Left Blank / |a|b / txtRetypePassword"},
                 {"bob", "Pass", "pass",
                  "projVantrel: Password and Retype Password does not match / bob|Pass|pass / "
                  "txtRetypePassword"}}) {
            type(loginBoxes, step);
            click(get("lblSave"));
            QCOMPARE(outcome(program), step[3]);
        }

        // Back in the login-mode layout, but still signing up: Login does nothing, Enter saves.
        click(get("lblChangePassword"));
        click(get("lblBack", Forms::frmChangePassword()));
        QCOMPARE(registrationShown(), 0);
        type({"txtUser", "txtPassword"}, {"ann", "pw"});
        click(get("lblLogin"));
        pressKey(Forms::frmVantrel().window(), Qt::Key_Return);
        QCOMPARE(outcome(program), "Kya Karte Ho Yaar: User Name Already Exist / |pw| / txtUser");

        // Saved as typed, with no message; the boxes emptied, the focus left where it was.
        click(get("lblNewUser"));
        type({"txtRetypePassword", "txtPassword", "txtUser"}, {"p'w", "p'w", " spaced "});
        pressKey(Forms::frmVantrel().window(), Qt::Key_Enter);
        QCOMPARE(outcome(program), "Kya Karte Ho Yaar: User Name Already Exist / || / txtUser");
        QCOMPARE(registrationShown(), 0);
        QVERIFY(get("lblLogin")->isEnabled() && get("cmdLogin")->isEnabled());
        QCOMPARE(program.rows("select user, Password from userMaster order by rowid"),
                 (Rows{{"ann", "pw"}, {" spaced ", "p'w"}}));
        // Signing up is over: Enter now logs in.
        type({"txtUser", "txtPassword"}, {" spaced ", "p'w"});
        pressKey(Forms::frmVantrel().window(), Qt::Key_Return);
        QVERIFY(!Forms::frmVantrel().isLoaded() && Forms::frmDetails().isLoaded());
        QCOMPARE(clsConnection::CurrentUser, " spaced ");
    }

    void changePasswordRefusesInOrderThenChangesOnlyThePickedRow()
    {
        Program program;
        program.addUser("zed", "old");
        program.addUser("x'y", "old"); // listed second, as stored, not sorted
        clsConnection::ActiveFormTag = "form details";
        frmChangePassword& window = Forms::frmChangePassword();
        window.show();
        QCOMPARE(get<QComboBox>("cbUser", window)->count(), 2);

        const QStringList boxes{"txtOldPassword", "txtNewPassword", "txtRetypePassword"};
        for (const QStringList& step : QList<QStringList>{
                 {"old", "n", "n", "User Not Selected / old|n|n / txtRetypePassword"},
                 {"OLD", "n", "n", "Old Password Does not Match / |n|n / txtOldPassword"},
                 {"old", "n", "N", "New and Confirm Password Does not Match / old|| / txtNewPassword"},
                 {"old", "", "", "Password cannot be left Blank / old|| / txtRetypePassword"}}) {
            type(boxes, step, window);
            click(get("lblModify", window));
            QCOMPARE(outcome(program, boxes, window), "projVantrel: " + step[3]);
            get<QComboBox>("cbUser", window)->setCurrentIndex(1); // nothing is picked for the first try
        }

        type(boxes, {"old", "new", "new"}, window);
        pressKey(window.window(), Qt::Key_Return);
        QCOMPARE(program.prompts().mid(4), QStringList{"Password is Changed"});
        // Whatever the tag held, a change leads to the login window.
        QVERIFY(!window.isLoaded() && Forms::frmVantrel().isLoaded());
        QCOMPARE(program.rows("select user, Password from userMaster order by user"),
                 (Rows{{"x'y", "new"}, {"zed", "old"}}));
    }
};

VANTREL_TEST_MAIN(AccountsTest)
#include "tst_accounts.moc"
