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

frmVantrel& login()
{
    return Forms::frmVantrel();
}

template <typename T = QWidget> T* get(const ui::Form& form, const QString& name)
{
    return control<T>(form, name);
}

// Types into the named boxes in turn, as a person would, so the focus ends in the last one.
void type(const ui::Form& form, const QStringList& names, const QStringList& texts)
{
    for (int i = 0; i < names.size(); ++i) {
        get(form, names[i])->setFocus();
        get<QLineEdit>(form, names[i])->setText(texts[i]);
    }
}

// What the user sees: "title: prompt" of the last message / the boxes' texts / the focused control.
QString outcome(const Program& program, const ui::Form& form, const QStringList& boxes)
{
    const Message last = program.messages.value(program.messages.size() - 1);
    QStringList texts;
    for (const QString& name : boxes)
        texts << get<QLineEdit>(form, name)->text();
    const QWidget* focus = form.window()->focusWidget();
    return last.title + ": " + last.prompt + " / " + texts.join('|') + " / " +
           (focus ? focus->objectName() : "");
}

// How many of the four registration controls are shown.
qsizetype registrationShown()
{
    const QStringList names{"lblRetype_0", "txtRetypePassword", "lblSave", "Line1_5"};
    return std::count_if(names.cbegin(), names.cend(),
                         [](const QString& name) { return !get(login(), name)->isHidden(); });
}

} // namespace

class AccountsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loginWindowOpensInLoginModeAndStartsTheCalculator()
    {
        Program program;
        clsConnection::Main();
        QTRY_COMPARE(QApplication::focusWidget(), get(login(), "txtUser"));
        QCOMPARE(login().window()->windowTitle(), "My Personal Vantrel Dairy");
        QCOMPARE(get<QLineEdit>(login(), "txtPassword")->echoMode(), QLineEdit::Password);
        const QWidget* quit = get(login(), "lblQuit");
        QVERIFY(quit->font().bold() && quit->font().italic() && quit->font().pointSizeF() == 14.25);
        QCOMPARE(quit->cursor().shape(), Qt::BitmapCursor);

        // Focus on the user box by the keyboard selects its whole text.
        get<QLineEdit>(login(), "txtUser")->setText("someone");
        type(login(), {"txtPassword"}, {"pw"});
        QTest::keyClick(get(login(), "txtPassword"), Qt::Key_Backtab);
        QTRY_COMPARE(get<QLineEdit>(login(), "txtUser")->selectedText(), "someone");

        // Alt+S runs the save in login mode too, against the hidden, empty retype box.
        pressKey(login().window(), Qt::Key_S, Qt::AltModifier);
        QCOMPARE(program.prompts(), QStringList{"Name or Password Field is Left Blank"});
        QVERIFY(program.rows("select 1 from userMaster").isEmpty());

        ui::Calculator::setCandidates({"no-such-calculator", "true"});
        pressKey(login().window(), Qt::Key_C, Qt::AltModifier);
        QVERIFY(login().isLoaded() && !program.ended());
        // No calculator at all is a failure the program does not survive.
        ui::Calculator::setCandidates({"no-such-calculator"});
        click(get(login(), "lblCalc"));
        QCOMPARE(program.status(), 1);
    }

    void loginRefusesAnyMismatchThenOpensTheContactWindow()
    {
        Program program;
        program.addUser("ann", "Secret");
        program.addUser("O'Brien", "' or '1'='1");
        login().show();
        // Another case, both boxes empty, a crafted password: each a plain mismatch.
        for (const auto& typed : QList<QStringList>{{"ann", "secret"}, {"", ""}, {"ann", "' or '1'='1"}}) {
            type(login(), {"txtUser", "txtPassword"}, typed);
            click(get(login(), typed[0].isEmpty() ? "cmdLogin" : "lblLogin"));
            QCOMPARE(outcome(program, login(), {"txtUser", "txtPassword"}),
                     "DEDIV ZODEZO: User or Password does not match / " + typed[0] + "| / txtPassword");
        }
        QCOMPARE(program.messages.size(), 3);

        type(login(), {"txtUser", "txtPassword"}, {"O'Brien", "' or '1'='1"});
        pressKey(login().window(), Qt::Key_Return);
        QVERIFY(!login().isLoaded() && Forms::frmDetails().isLoaded());
        QCOMPARE(clsConnection::CurrentUser, "O'Brien");
    }

    void registrationRefusesInOrderSurvivesAnUnloadThenSaves()
    {
        Program program;
        program.addUser("ann", "pw");
        login().show();
        click(get(login(), "lblNewUser"));
        QCOMPARE(registrationShown(), 4);
        QVERIFY(!get(login(), "lblLogin")->isEnabled() && !get(login(), "cmdLogin")->isEnabled());
        // The name test comes before any check of the entries.
        for (const QStringList& step : QList<QStringList>{
                 {"ann", "a", "b", "Kya Karte Ho Yaar: User Name Already Exist / |a|b / txtUser"},
                 {"", "a", "b",
                  "projVantrel: Name or Password Field is Left Blank / |a|b / txtRetypePassword"},
                 {"bob", "Pass", "pass",
                  "projVantrel: Password and Retype Password does not match / bob|Pass|pass / "
                  "txtRetypePassword"}}) {
            type(login(), loginBoxes, step);
            click(get(login(), "lblSave"));
            QCOMPARE(outcome(program, login(), loginBoxes), step[3]);
        }

        // Back in the login-mode layout, but still signing up: Login does nothing, Enter saves.
        click(get(login(), "lblChangePassword"));
        click(get(Forms::frmChangePassword(), "lblBack"));
        QCOMPARE(registrationShown(), 0);
        type(login(), {"txtUser", "txtPassword"}, {"ann", "pw"});
        click(get(login(), "lblLogin"));
        pressKey(login().window(), Qt::Key_Return);
        QCOMPARE(outcome(program, login(), loginBoxes),
                 "Kya Karte Ho Yaar: User Name Already Exist / |pw| / txtUser");

        // Saved as typed, with no message; the boxes emptied, the focus left where it was.
        click(get(login(), "lblNewUser"));
        type(login(), {"txtRetypePassword", "txtPassword", "txtUser"}, {"p'w", "p'w", " spaced "});
        pressKey(login().window(), Qt::Key_Enter);
        QCOMPARE(outcome(program, login(), loginBoxes),
                 "Kya Karte Ho Yaar: User Name Already Exist / || / txtUser");
        QCOMPARE(registrationShown(), 0);
        QVERIFY(get(login(), "lblLogin")->isEnabled() && get(login(), "cmdLogin")->isEnabled());
        QVERIFY(!login().isNewUserMode());
        QCOMPARE(program.rows("select user, Password from userMaster order by rowid"),
                 (Rows{{"ann", "pw"}, {" spaced ", "p'w"}}));
    }

    void changePasswordRefusesInOrderThenChangesOnlyThePickedRow()
    {
        Program program;
        program.addUser("zed", "old");
        program.addUser("x'y", "old"); // listed second, as stored, not sorted
        clsConnection::ActiveFormTag = "form details";
        frmChangePassword& window = Forms::frmChangePassword();
        window.show();
        QCOMPARE(get<QComboBox>(window, "cbUser")->count(), 2);

        const QStringList boxes{"txtOldPassword", "txtNewPassword", "txtRetypePassword"};
        for (const QStringList& step : QList<QStringList>{
                 {"old", "n", "n", "User Not Selected / old|n|n / txtRetypePassword"},
                 {"OLD", "n", "n", "Old Password Does not Match / |n|n / txtOldPassword"},
                 {"old", "n", "N", "New and Confirm Password Does not Match / old|| / txtNewPassword"},
                 {"old", "", "", "Password cannot be left Blank / old|| / txtRetypePassword"}}) {
            type(window, boxes, step);
            click(get(window, "lblModify"));
            QCOMPARE(outcome(program, window, boxes), "projVantrel: " + step[3]);
            get<QComboBox>(window, "cbUser")->setCurrentIndex(1); // nothing is picked for the first try
        }

        type(window, boxes, {"old", "new", "new"});
        pressKey(window.window(), Qt::Key_Return);
        QCOMPARE(program.prompts().mid(4), QStringList{"Password is Changed"});
        // Whatever the tag held, a change leads to the login window.
        QVERIFY(!window.isLoaded() && login().isLoaded());
        QCOMPARE(program.rows("select user, Password from userMaster order by user"),
                 (Rows{{"x'y", "new"}, {"zed", "old"}}));
    }
};

VANTREL_TEST_MAIN(AccountsTest)
#include "tst_accounts.moc"
