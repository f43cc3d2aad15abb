// Login, sign-up and change of password, driven through the real windows.
#include "TestSupport.h"

#include "accounts/frmChangePassword.h"
#include "accounts/frmVantrel.h"
#include "app/Forms.h"
#include "app/clsConnection.h"
#include "contacts/frmDetails.h"
#include "ui/ActionLabel.h"
#include "ui/Calculator.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace testsupport;

namespace {

frmVantrel& login()
{
    return Forms::frmVantrel();
}

QLineEdit* box(const ui::Form& form, const char* name)
{
    return control<QLineEdit>(form, QLatin1String(name));
}

QWidget* action(const ui::Form& form, const char* name)
{
    return control<QWidget>(form, QLatin1String(name));
}

void typeLogin(const QString& user, const QString& password)
{
    box(login(), "txtUser")->setText(user);
    box(login(), "txtPassword")->setText(password);
}

void signUp(const QString& user, const QString& password, const QString& retyped)
{
    click(action(login(), "lblNewUser"));
    typeLogin(user, password);
    box(login(), "txtRetypePassword")->setText(retyped);
    click(action(login(), "lblSave"));
}

} // namespace

class AccountsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loginWindowOpensInLoginMode()
    {
        Program program;
        clsConnection::Main();
        QVERIFY(login().isLoaded());
        QWidget* window = login().window();
        QCOMPARE(window->objectName(), QStringLiteral("frmVantrel"));
        QCOMPARE(window->windowTitle(), QStringLiteral("My Personal Vantrel Dairy"));
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(QApplication::focusWidget(), box(login(), "txtUser"));
        for (const char* hidden : {"lblRetype_0", "txtRetypePassword", "lblSave", "Line1_5"})
            QVERIFY2(action(login(), hidden)->isHidden(), hidden);
        QCOMPARE(action(login(), "lblLogin")->toolTip(), QStringLiteral("Click To Add Details"));
        QCOMPARE(box(login(), "txtPassword")->echoMode(), QLineEdit::Password);
        const QFont font = action(login(), "lblQuit")->font();
        QVERIFY(font.bold() && font.italic());
        QCOMPARE(font.pointSizeF(), 14.25);
        QCOMPARE(action(login(), "lblQuit")->cursor().shape(), Qt::BitmapCursor);
    }

    void loginRefusedKeepsTheNameAndEmptiesThePassword()
    {
        Program program;
        program.addUser(QStringLiteral("ann"), QStringLiteral("Secret"));
        login().show();
        typeLogin(QStringLiteral("ann"), QStringLiteral("secret"));
        click(action(login(), "lblLogin"));
        QCOMPARE(program.messages.size(), 1);
        QCOMPARE(program.messages[0].prompt, QStringLiteral("User or Password does not match"));
        QCOMPARE(program.messages[0].title, QStringLiteral("DEDIV ZODEZO"));
        QCOMPARE(box(login(), "txtUser")->text(), QStringLiteral("ann"));
        QCOMPARE(box(login(), "txtPassword")->text(), QString());
        QVERIFY(login().isLoaded());

        // Both boxes empty look for an empty name with an empty password.
        typeLogin(QString(), QString());
        click(action(login(), "cmdLogin"));
        QCOMPARE(program.messages.size(), 2);
    }

    void loginWithTheKeyboardOpensTheContactWindow()
    {
        Program program;
        program.addUser(QStringLiteral("O'Brien"), QStringLiteral("x' or '1'='1"));
        program.addUser(QStringLiteral("eve"), QStringLiteral("pw"));
        login().show();
        // A crafted password is just a wrong password.
        typeLogin(QStringLiteral("eve"), QStringLiteral("x' or '1'='1"));
        pressKey(login().window(), Qt::Key_Return);
        QCOMPARE(program.prompts(), QStringList{QStringLiteral("User or Password does not match")});

        typeLogin(QStringLiteral("O'Brien"), QStringLiteral("x' or '1'='1"));
        pressKey(login().window(), Qt::Key_Return);
        QVERIFY(!login().isLoaded());
        QVERIFY(Forms::frmDetails().isLoaded());
        QCOMPARE(clsConnection::CurrentUser, QStringLiteral("O'Brien"));
        QCOMPARE(clsConnection::ActiveFormTag, QStringLiteral("form vantrel"));
    }

    void registrationRefusalsInTheirOrder()
    {
        Program program;
        program.addUser(QStringLiteral("ann"), QStringLiteral("pw"));
        login().show();

        signUp(QStringLiteral("ann"), QStringLiteral("a"), QStringLiteral("b"));
        QCOMPARE(program.messages.last().prompt, QStringLiteral("User Name Already Exist"));
        QCOMPARE(program.messages.last().title, QStringLiteral("Kya Karte Ho Yaar"));
        QCOMPARE(box(login(), "txtUser")->text(), QString());
        QCOMPARE(box(login(), "txtPassword")->text(), QStringLiteral("a"));
        QVERIFY(box(login(), "txtUser")->hasFocus() || QApplication::focusWidget() == nullptr);
        QVERIFY(login().isNewUserMode());

        box(login(), "txtUser")->setText(QString());
        click(action(login(), "lblSave"));
        QCOMPARE(program.messages.last().prompt, QStringLiteral("Name or Password Field is Left Blank"));
        QCOMPARE(program.messages.last().title, QStringLiteral("projVantrel"));

        box(login(), "txtUser")->setText(QStringLiteral("bob"));
        box(login(), "txtPassword")->setText(QStringLiteral("Pass"));
        box(login(), "txtRetypePassword")->setText(QStringLiteral("pass"));
        click(action(login(), "lblSave"));
        QCOMPARE(program.messages.last().prompt, QStringLiteral("Password and Retype Password does not match"));
        QCOMPARE(box(login(), "txtRetypePassword")->text(), QStringLiteral("pass"));
        QCOMPARE(program.rows(QStringLiteral("select 1 from userMaster where user = 'bob'")).size(), 0);

        // "Login" is blocked while signing up.
        QVERIFY(!action(login(), "lblLogin")->isEnabled());
        QVERIFY(!action(login(), "cmdLogin")->isEnabled());
    }

    void registrationThenLoginWithEnter()
    {
        Program program;
        login().show();
        signUp(QStringLiteral(" spaced "), QStringLiteral("p'w"), QStringLiteral("p'w"));
        QVERIFY(program.messages.isEmpty());
        QVERIFY(!login().isNewUserMode());
        for (const char* hidden : {"lblRetype_0", "txtRetypePassword", "lblSave", "Line1_5"})
            QVERIFY2(action(login(), hidden)->isHidden(), hidden);
        QVERIFY(action(login(), "lblLogin")->isEnabled());
        QCOMPARE(box(login(), "txtUser")->text(), QString());
        const auto stored = program.rows(QStringLiteral("select user, Password from userMaster"));
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0][0].toString(), QStringLiteral(" spaced "));
        QCOMPARE(stored[0][1].toString(), QStringLiteral("p'w"));

        typeLogin(QStringLiteral(" spaced "), QStringLiteral("p'w"));
        pressKey(login().window(), Qt::Key_Enter);
        QVERIFY(Forms::frmDetails().isLoaded());
    }

    void newUserModeSurvivesAnUnload()
    {
        Program program;
        program.addUser(QStringLiteral("ann"), QStringLiteral("pw"));
        login().show();
        click(action(login(), "lblNewUser"));
        click(action(login(), "lblChangePassword"));
        click(action(Forms::frmChangePassword(), "lblBack"));
        // Back in the login-mode layout, but still signing up.
        QVERIFY(login().isLoaded());
        QVERIFY(action(login(), "lblSave")->isHidden());
        QVERIFY(login().isNewUserMode());
        typeLogin(QStringLiteral("ann"), QStringLiteral("pw"));
        click(action(login(), "lblLogin"));
        QVERIFY(login().isLoaded()); // login does nothing
        QVERIFY(program.messages.isEmpty());
        pressKey(login().window(), Qt::Key_Return); // Enter runs the save
        QCOMPARE(program.prompts(), QStringList{QStringLiteral("User Name Already Exist")});
    }

    void altSIsLiveInLoginMode()
    {
        Program program;
        login().show();
        typeLogin(QStringLiteral("new"), QStringLiteral("pw"));
        pressKey(login().window(), Qt::Key_S, Qt::AltModifier);
        QCOMPARE(program.prompts(), QStringList{QStringLiteral("Name or Password Field is Left Blank")});
        QCOMPARE(program.rows(QStringLiteral("select 1 from userMaster")).size(), 0);
    }

    void userBoxSelectsItsWholeTextOnFocus()
    {
        Program program;
        login().show();
        QVERIFY(QTest::qWaitForWindowActive(login().window()));
        box(login(), "txtUser")->setText(QStringLiteral("someone"));
        box(login(), "txtPassword")->setFocus();
        QTest::keyClick(box(login(), "txtPassword"), Qt::Key_Backtab);
        QTRY_COMPARE(box(login(), "txtUser")->selectedText(), QStringLiteral("someone"));
    }

    void changePasswordRefusals()
    {
        Program program;
        program.addUser(QStringLiteral("ann"), QStringLiteral("old"));
        program.addUser(QStringLiteral("bob"), QStringLiteral("b"));
        Forms::frmChangePassword().show();
        frmChangePassword& window = Forms::frmChangePassword();
        auto* users = control<QComboBox>(window, QStringLiteral("cbUser"));
        QCOMPARE(users->count(), 2);
        QCOMPARE(users->itemText(0), QStringLiteral("ann"));
        QCOMPARE(users->currentIndex(), -1);

        click(action(window, "lblModify"));
        QCOMPARE(program.prompts().last(), QStringLiteral("User Not Selected"));

        users->setCurrentIndex(0);
        box(window, "txtOldPassword")->setText(QStringLiteral("OLD"));
        box(window, "txtNewPassword")->setText(QStringLiteral("n"));
        box(window, "txtRetypePassword")->setText(QStringLiteral("n"));
        click(action(window, "lblModify"));
        QCOMPARE(program.prompts().last(), QStringLiteral("Old Password Does not Match"));
        QCOMPARE(box(window, "txtOldPassword")->text(), QString());
        QCOMPARE(box(window, "txtNewPassword")->text(), QStringLiteral("n"));

        box(window, "txtOldPassword")->setText(QStringLiteral("old"));
        box(window, "txtRetypePassword")->setText(QStringLiteral("N"));
        click(action(window, "lblModify"));
        QCOMPARE(program.prompts().last(), QStringLiteral("New and Confirm Password Does not Match"));
        QCOMPARE(box(window, "txtNewPassword")->text(), QString());
        QCOMPARE(box(window, "txtRetypePassword")->text(), QString());
        QCOMPARE(box(window, "txtOldPassword")->text(), QStringLiteral("old"));

        click(action(window, "lblModify")); // both empty: they match, but are blank
        QCOMPARE(program.prompts().last(), QStringLiteral("Password cannot be left Blank"));
        QCOMPARE(program.messages.last().title, QStringLiteral("projVantrel"));
        QCOMPARE(program.rows(QStringLiteral("select Password from userMaster where user = 'ann'"))[0][0].toString(),
                 QStringLiteral("old"));
    }

    void changedPasswordIsTheOnlyOneAccepted()
    {
        Program program;
        program.addUser(QStringLiteral("x'y"), QStringLiteral("old"));
        program.addUser(QStringLiteral("bob"), QStringLiteral("old"));
        clsConnection::ActiveFormTag = QStringLiteral("form details");
        Forms::frmChangePassword().show();
        frmChangePassword& window = Forms::frmChangePassword();
        control<QComboBox>(window, QStringLiteral("cbUser"))->setCurrentIndex(0);
        box(window, "txtOldPassword")->setText(QStringLiteral("old"));
        box(window, "txtNewPassword")->setText(QStringLiteral("new"));
        box(window, "txtRetypePassword")->setText(QStringLiteral("new"));
        pressKey(window.window(), Qt::Key_Return);
        QCOMPARE(program.prompts(), QStringList{QStringLiteral("Password is Changed")});
        // Whatever the tag held, a change leads to the login window.
        QVERIFY(!window.isLoaded());
        QVERIFY(login().isLoaded());
        QCOMPARE(program.rows(QStringLiteral("select user, Password from userMaster order by user")),
                 (QList<QVariantList>{{QStringLiteral("bob"), QStringLiteral("old")}, {QStringLiteral("x'y"), QStringLiteral("new")}}));

        typeLogin(QStringLiteral("x'y"), QStringLiteral("old"));
        click(action(login(), "lblLogin"));
        QCOMPARE(program.prompts().last(), QStringLiteral("User or Password does not match"));
        typeLogin(QStringLiteral("x'y"), QStringLiteral("new"));
        click(action(login(), "lblLogin"));
        QVERIFY(Forms::frmDetails().isLoaded());
    }

    void calculatorStartsAndTheWindowStays()
    {
        Program program;
        login().show();
        const QStringList saved = ui::Calculator::candidates();
        ui::Calculator::setCandidates({QStringLiteral("no-such-calculator"), QStringLiteral("true")});
        pressKey(login().window(), Qt::Key_C, Qt::AltModifier);
        QVERIFY(login().isLoaded());
        QVERIFY(!program.ended());

        // No calculator at all is a failure the program does not survive.
        ui::Calculator::setCandidates({QStringLiteral("no-such-calculator")});
        click(action(login(), "lblCalc"));
        QVERIFY(program.ended());
        QCOMPARE(program.status(), 1);
        QVERIFY(program.prompts().last().contains(QStringLiteral("calc")));
        ui::Calculator::setCandidates(saved);
    }
};

VANTREL_TEST_MAIN(AccountsTest)
#include "tst_accounts.moc"
