// Login, sign-up and change of password, driven through the real windows.
#include "Cases.h"
#include "Files.h"
#include "TestSupport.h"

#include "accounts/frmVantrel.h"
#include "data/Accounts.h"
#include "data/Passwords.h"
#include "ui/Calculator.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>

using namespace testsupport;

namespace {

// What the user sees after a step.
struct Seen
{
    QString message; // "title: prompt" of the last message box
    QStringList boxes;
    QString focus;
    bool operator==(const Seen&) const = default;
};
char* toString(const Seen& seen)
{
    return QTest::toString(seen.message + " / " + seen.boxes.join('|') + " / " + seen.focus);
}

Seen seen(const Program& program, const QStringList& boxes)
{
    return {program.messages.isEmpty() ? QString()
                                       : program.messages.last().title + ": " + program.lastPrompt(),
            texts(boxes).split('|'),
            QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString()};
}

// What a case of a sample file says the user sees.
Seen seenIn(const Case& sample)
{
    return {sample["says"], sample["boxes"].split('|'), sample["focus"]};
}

const QStringList loginBoxes{"txtUser", "txtPassword", "txtRetypePassword"};
const QStringList passwordBoxes{"txtOldPassword", "txtNewPassword", "txtRetypePassword"};

// How many of the four sign-up controls are shown.
int signUpShown()
{
    int shown = 0;
    for (const char* name : {"lblRetype_0", "txtRetypePassword", "lblSave", "Line1_5"})
        shown += find(name) && !find(name)->isHidden();
    return shown;
}

// The account stored last under that name keeps its password only as a hash,
// which the typed password matches and another does not.
bool keptHashed(const Program& program, const QString& user, const QString& password)
{
    if (!app::session().accounts().logIn(user, password) ||
        app::session().accounts().logIn(user, password + "x"))
        return false;
    const QString stored =
        program.folder.value("select Password from userMaster where user = ? order by rowid desc", {user})
            .toString();
    return data::passwords::isHashed(stored) && !stored.contains(password);
}

} // namespace

class AccountsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loginWindowLooksRefusesMismatchesAndStartsTheCalculator()
    {
        Program program;
        program.folder.addUser("ann", "Secret");
        STEPS(open(app::Window::Vantrel));
        QTRY_COMPARE(QApplication::focusWidget(), find("txtUser"));
        QCOMPARE(openWindow()->windowTitle(), "My Personal Vantrel Dairy");
        QCOMPARE(find<QLineEdit>("txtPassword")->echoMode(), QLineEdit::Password);
        const QFont quitFont = find("lblQuit")->font();
        QVERIFY(quitFont.bold() && quitFont.italic() && quitFont.pointSizeF() == 14.25 &&
                find("lblQuit")->cursor().shape() == Qt::BitmapCursor);

        // Focus on the user box by the keyboard selects its whole text.
        STEPS(type("txtUser", "someone"), type("txtPassword", "pw"), key(Qt::Key_Backtab));
        QTRY_COMPARE(find<QLineEdit>("txtUser")->selectedText(), "someone");

        // Alt+S runs the save in login mode too, against the hidden, empty retype box.
        STEPS(alt('s'));
        QCOMPARE(program.prompts(), QStringList{"Name or Password Field is Left Blank"});
        QCOMPARE(program.folder.rows("select user from userMaster"), Rows{{"ann"}});

        // Another case or both boxes empty, by the label or the button: each a plain mismatch.
        for (const auto& typed : QList<QStringList>{{"ann", "secret"}, {"", ""}}) {
            STEPS(type("txtUser", typed[0]), type("txtPassword", typed[1]),
                  click(typed[0].isEmpty() ? "cmdLogin" : "lblLogin"));
            QCOMPARE(
                seen(program, loginBoxes),
                (Seen{"DEDIV ZODEZO: User or Password does not match", {typed[0], "", ""}, "txtPassword"}));
        }
        QCOMPARE(program.messages.size(), 3);

        ui::Calculator::setCandidates({"no-such-calculator", "true"});
        STEPS(alt('c'));
        QVERIFY(openWindowName() == "frmVantrel" && !program.ended());
        // No calculator at all is a failure the program does not survive.
        ui::Calculator::setCandidates({"no-such-calculator"});
        STEPS(click("lblCalc"));
        QCOMPARE(program.status(), 1);
    }

    void signUpRefusesInOrderSurvivesAnUnloadThenSavesAndLogsIn()
    {
        Program program;
        program.folder.addUser("ann", "pw");
        STEPS(open(app::Window::Vantrel));
        STEPS(click("lblNewUser"));
        QCOMPARE(signUpShown(), 4);
        QVERIFY(!enabled("lblLogin") && !enabled("cmdLogin"));
        for (const Case& refusal : casesIn("accounts/sign-up-refusals.cases")) {
            const QStringList typed = refusal["typed"].split('|');
            STEPS(type(loginBoxes[0], typed[0]), type(loginBoxes[1], typed[1]), type(loginBoxes[2], typed[2]),
                  click("lblSave"));
            QCOMPARE(seen(program, loginBoxes), seenIn(refusal));
        }

        // Back in the login-mode layout, but still signing up: Login does nothing, Enter saves.
        STEPS(click("lblChangePassword"), click("lblBack"));
        QCOMPARE(signUpShown(), 0);
        STEPS(type("txtUser", "ann"), type("txtPassword", "pw"), click("lblLogin"), key(Qt::Key_Return));
        QCOMPARE(seen(program, loginBoxes),
                 (Seen{"Kya Karte Ho Yaar: User Name Already Exist", {"", "pw", ""}, "txtUser"}));

        // Saved as typed, with no message; the boxes emptied, the focus left where it was.
        STEPS(click("lblNewUser"), type("txtRetypePassword", "p'w"), type("txtPassword", "p'w"),
              type("txtUser", " spaced "), key(Qt::Key_Enter));
        QCOMPARE(seen(program, loginBoxes),
                 (Seen{"Kya Karte Ho Yaar: User Name Already Exist", {"", "", ""}, "txtUser"}));
        QCOMPARE(signUpShown(), 0);
        QVERIFY(enabled("lblLogin") && enabled("cmdLogin"));
        QCOMPARE(program.folder.rows("select user from userMaster order by rowid"),
                 (Rows{{"ann"}, {" spaced "}}));
        QVERIFY(keptHashed(program, " spaced ", "p'w"));
        // Signing up is over: Enter now logs in.
        STEPS(type("txtUser", " spaced "), type("txtPassword", "p'w"), key(Qt::Key_Return));
        QCOMPARE(openWindowName(), "frmDetails");
        QCOMPARE(program.session.CurrentUser, " spaced ");
    }

    void changePasswordRefusesInOrderThenChangesOnlyThePickedRow()
    {
        Program program;
        program.folder.addUser("zed", "old");
        program.folder.addUser("x'y", "old"); // listed second, as stored, not sorted
        program.session.ActiveFormTag = app::tags::formDetails;
        STEPS(open(app::Window::ChangePassword));
        QCOMPARE(find<QComboBox>("cbUser")->count(), 2);

        for (const Case& refusal : casesIn("accounts/change-password-refusals.cases")) {
            const QStringList typed = refusal["typed"].split('|');
            STEPS(type(passwordBoxes[0], typed[0]), type(passwordBoxes[1], typed[1]),
                  type(passwordBoxes[2], typed[2]), click("lblModify"));
            QCOMPARE(seen(program, passwordBoxes), seenIn(refusal));
            STEPS(type("cbUser", "x'y")); // nothing is picked for the first try
        }

        STEPS(type(passwordBoxes[0], "old"), type(passwordBoxes[1], "new"), type(passwordBoxes[2], "new"),
              key(Qt::Key_Return));
        QCOMPARE(program.prompts().mid(4), QStringList{"Password is Changed"});
        // Whatever the tag held, a change leads to the login window.
        QCOMPARE(openWindowName(), "frmVantrel");
        QVERIFY(keptHashed(program, "x'y", "new"));
        QVERIFY(app::session().accounts().logIn("zed", "old") &&
                !app::session().accounts().logIn("x'y", "old"));
    }

    // No password as typed reaches the book file, its journal or its log: not at sign-up, not at a change,
    // and one stored as typed by a book from before is gone after its first login.
    void noPasswordReachesTheBookFileAsTyped()
    {
        if (testing::ProgramFolder::engineUnderTest() != data::Engine::SQLite)
            QSKIP("The book file's bytes; a server keeps no password of its own (tst_office).");
        Program program;
        program.folder.addUser("before", "Stored-As-Typed-1");
        STEPS(open(app::Window::Vantrel), click("lblNewUser"), type("txtUser", "new"),
              type("txtPassword", "Signed-Up-2"), type("txtRetypePassword", "Signed-Up-2"), click("lblSave"),
              click("lblChangePassword"), type("cbUser", "new"), type("txtOldPassword", "Signed-Up-2"),
              type("txtNewPassword", "Changed-To-3"), type("txtRetypePassword", "Changed-To-3"),
              click("lblModify"));
        QVERIFY(keptHashed(program, "before", "Stored-As-Typed-1"));
        const auto found = [&](const char* typed) {
            QStringList in;
            for (const char* file : {"", "-journal", "-wal"})
                if (testsupport::fileBytes(program.folder.databasePath() + file).value_or("").contains(typed))
                    in << program.folder.databasePath() + file;
            return in;
        };
        QCOMPARE(found("Signed-Up-2") + found("Changed-To-3"), QStringList());
        program.session.reset(); // the log is copied back into the book once no program holds it
        program.folder.exec("pragma wal_checkpoint(truncate)");
        QCOMPARE(found("Stored-As-Typed-1") + found("Signed-Up-2") + found("Changed-To-3"), QStringList());
    }
};

VANTREL_TEST_MAIN(AccountsTest)
#include "tst_accounts.moc"
