// Browsing the contact window: which contacts it shows, in which order, the
// four move buttons, the drop-down lists, and the ways out and back in.
#include "TestSupport.h"

#include "accounts/frmVantrel.h"
#include "app/Forms.h"
#include "app/clsConnection.h"
#include "app/frmYesNo.h"
#include "contacts/frmDetails.h"
#include "data/RecordSet.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>

using namespace testsupport;

namespace {

using Row = QMap<QString, QVariant>;

// The 22 entry controls in the order the Tab key visits them.
const QStringList entryControls{
    "cbCategory", "cbSubCategory",    "txtFirstName",    "txtLastName",     "cbDOBDate",       "cbDOBMonth",
    "cbDOBYear",  "txtAddress",       "txtPhone1",       "txtPhone2",       "txtMobile",       "txtFax",
    "txtEMailH",  "txtAddressOffice", "txtPhone1Office", "txtPhone2Office", "txtMobileOffice", "txtFaxOffice",
    "txtEMailO",  "cbANIYear",        "cbANIDate",       "cbANIMonth"};

template <typename T = QWidget> T* get(const QString& name)
{
    return control<T>(Forms::frmDetails(), name);
}

// What a control shows, whatever its kind.
QString shownText(const QString& name)
{
    QWidget* widget = get(name);
    if (auto* box = qobject_cast<QLineEdit*>(widget))
        return box->text();
    if (auto* box = qobject_cast<QPlainTextEdit*>(widget))
        return box->toPlainText();
    return static_cast<QComboBox*>(widget)->currentText();
}

// First name, second name, category and home fax of the contact on display.
QString shown()
{
    return QStringList{shownText("txtFirstName"), shownText("txtLastName"), shownText("cbCategory"),
                       shownText("txtFax")}
        .join(QLatin1Char('|'));
}

// "FPNL" for first, previous, next, last enabled; "-" for each disabled one.
QString moves()
{
    QString result;
    for (const char* name : {"cmdFirst", "cmdPrev", "cmdNext", "cmdLast"})
        result += get(QLatin1String(name))->isEnabled() ? QLatin1Char(name[3]) : QLatin1Char('-');
    return result;
}

// The moves that lead to another record, at position `at` of `count`.
QString movesAt(int at, int count)
{
    const bool back = count > 1 && at > 0;
    const bool forward = count > 1 && at < count - 1;
    return QString(back ? "FP" : "--") + QString(forward ? "NL" : "--");
}

QStringList items(const QString& name)
{
    const auto* list = get<QComboBox>(name);
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->itemText(i);
    return result;
}

QStringList numbers(int from, int to)
{
    QStringList result;
    for (int n = from; n <= to; ++n)
        result << QString::number(n);
    return result;
}

void openAs(const QString& user)
{
    clsConnection::CurrentUser = user;
    Forms::frmDetails().show();
    QVERIFY(Forms::frmDetails().isLoaded());
}

void login(const QString& user)
{
    QVERIFY(Forms::frmVantrel().isLoaded());
    control<QLineEdit>(Forms::frmVantrel(), QStringLiteral("txtUser"))->setText(user);
    control<QLineEdit>(Forms::frmVantrel(), QStringLiteral("txtPassword"))->setText(QStringLiteral("pw"));
    click(control<QWidget>(Forms::frmVantrel(), QStringLiteral("lblLogin")));
    QVERIFY(Forms::frmDetails().isLoaded());
}

// A choice from the opened list, confirmed with Enter: what a user does.
void choose(QComboBox* list, const QString& item)
{
    const int row = list->findText(item, Qt::MatchExactly);
    QVERIFY(row >= 0);
    list->showPopup();
    QAbstractItemView* view = list->view();
    QTRY_VERIFY(view->isVisible());
    view->setCurrentIndex(list->model()->index(row, 0));
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_VERIFY(!view->isVisible());
}

Row person(const QVariant& category, const QVariant& first, const QVariant& second, const QVariant& fax = {})
{
    return {{"category", category}, {"firstName", first}, {"secondName", second}, {"fax", fax}};
}

// A contact with the six date parts: day, month and year of birth, then of the anniversary.
Row dated(const QString& firstName, const QStringList& parts)
{
    Row row{{"category", "Friends"}, {"firstName", firstName}};
    const QStringList columns{"dobDate", "dobMonth", "dobYear", "aniDate", "aniMonth", "aniYear"};
    for (int i = 0; i < parts.size(); ++i)
        row.insert(columns[i], parts[i]);
    return row;
}

void fillBooks(Program& program)
{
    // Someone else's contact that would sort before everything below.
    const QVariant null;
    program.addContact("other", person(null, "Aaron", "Other"));
    program.addContact("solo", person("Friends", "Sam", "Solo"));
    program.addContact("pair", person("Friends", "Bo", "P2"));
    program.addContact("pair", person("Friends", "Al", "P1"));
    for (const Row& row : {person("Relatives", "Ben", "Ben", "105"), person("Friends", "Zoe", "Zoe"),
                           person(null, "Nina", "NoCat", "100"), person("Business Partners", "Carl", "Carl"),
                           person("Friends", "Adam", "Adam", "104"), person("", "Eve", "Empty"),
                           person("Friends", null, "NoFirst", "103")})
        program.addContact("many", row);
    program.addContact("O'Brien", person("Relatives", "Ola", "OB2"));
    program.addContact("O'Brien", person("Friends", "Ola", "OB1"));
    program.addContact("x' or '1'='1", person("Friends", "Tim", "Trick"));
}

} // namespace

class ContactBrowsingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void showsOnlyTheUsersContactsInOrder_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QStringList>("expected"); // shown(), in browsing order
        QTest::newRow("no contacts") << "nobody" << QStringList{};
        QTest::newRow("one contact") << "solo" << QStringList{"Sam|Solo|Friends|"};
        QTest::newRow("two contacts") << "pair" << QStringList{"Al|P1|Friends|", "Bo|P2|Friends|"};
        // No category first, then by category and first name; Null faxes never keep the previous one.
        QTest::newRow("many contacts")
            << "many"
            << QStringList{"Nina|NoCat||100",      "Eve|Empty||",           "Carl|Carl|Business Partners|",
                           "|NoFirst|Friends|103", "Adam|Adam|Friends|104", "Zoe|Zoe|Friends|",
                           "Ben|Ben|Relatives|105"};
        QTest::newRow("quote in the name")
            << "O'Brien" << QStringList{"Ola|OB1|Friends|", "Ola|OB2|Relatives|"};
        QTest::newRow("quote trick") << "x' or '1'='1" << QStringList{"Tim|Trick|Friends|"};
    }

    void showsOnlyTheUsersContactsInOrder()
    {
        QFETCH(QString, user);
        QFETCH(QStringList, expected);
        Program program;
        fillBooks(program);
        openAs(user);
        const int count = int(expected.size());
        QCOMPARE(Forms::frmDetails().contacts()->recordCount(), count);

        // Browsing state after loading.
        for (const QString& name : entryControls) {
            QVERIFY2(!get(name)->isEnabled(), qPrintable(name));
            if (count == 0)
                QVERIFY2(shownText(name).isEmpty(), qPrintable(name));
        }
        QVERIFY(!get("lblViewDetails")->isEnabled());
        QVERIFY(!get("lblSave")->isEnabled());
        for (const char* name : {"lblAddNew", "lblModify", "lblCancel", "lblClear", "lblSearch", "lblPrint",
                                 "lblQuit", "lblChangeUser", "cmdAdd", "cmdModify", "cmdSave", "cmdCancel",
                                 "cmdClear", "cmdSearch", "cmdView", "cmdPrint", "cmdQuit", "cmdUser"})
            QVERIFY2(get(QLatin1String(name))->isEnabled(), name);
        QCOMPARE(moves(), movesAt(0, count));

        // Forward to the end (a disabled button does nothing there), then back to the start.
        for (int at = 0; at < count; ++at) {
            QCOMPARE(shown(), expected[at]);
            QCOMPARE(moves(), movesAt(at, count));
            click(get("cmdNext"));
        }
        for (int at = count - 1; at >= 0; --at) {
            QCOMPARE(shown(), expected[at]);
            QCOMPARE(Forms::frmDetails().contacts()->position(), at);
            click(get("cmdPrev"));
        }
        if (count > 1) {
            click(get("cmdLast"));
            QCOMPARE(shown(), expected.last());
            QCOMPARE(moves(), "FP--");
            click(get("cmdFirst"));
            QCOMPARE(shown(), expected.first());
            QCOMPARE(moves(), "--NL");
        }
        QVERIFY(program.messages.isEmpty());
        QVERIFY(!program.ended());
    }

    void movesStopAtTheEndsAfterCancelEnabledThemAll_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("empty book") << 0;
        QTest::newRow("one contact") << 1;
        QTest::newRow("three contacts") << 3;
    }

    void movesStopAtTheEndsAfterCancelEnabledThemAll()
    {
        QFETCH(int, count);
        Program program;
        for (int i = count - 1; i >= 0; --i)
            program.addContact("ann", {{"category", "Friends"}, {"firstName", QString("C%1").arg(i)}});
        openAs("ann");
        int at = 0;
        for (const char* button : {"cmdPrev", "cmdFirst", "cmdNext", "cmdNext", "cmdNext", "cmdLast",
                                   "cmdNext", "cmdPrev", "cmdLast", "cmdFirst"}) {
            click(get("lblCancel")); // no AddNew or Modify yet: empties the controls
            QCOMPARE(moves(), "FPNL");
            QCOMPARE(shownText("txtFirstName"), QString());
            click(get(QLatin1String(button)));
            if (count == 0) {
                QCOMPARE(moves(), "FPNL");
                QCOMPARE(shown(), "|||");
                continue;
            }
            const QString name = QLatin1String(button);
            at = name == "cmdFirst"  ? 0
                 : name == "cmdLast" ? count - 1
                 : name == "cmdPrev" ? qMax(at - 1, 0)
                                     : qMin(at + 1, count - 1);
            QCOMPARE(Forms::frmDetails().contacts()->position(), at);
            QCOMPARE(shownText("txtFirstName"), QString("C%1").arg(at));
            QCOMPARE(moves(), movesAt(at, count));
        }
        QVERIFY(!program.ended());
    }

    void cancelAfterEditingKeepsTypedTextWhereTheContactHasNone()
    {
        Program program;
        program.addContact("ann", {{"category", "Friends"}, {"firstName", "Ann"}, {"phone", "123"}});
        program.addContact(
            "ann", {{"category", "Friends"}, {"firstName", "Bob"}, {"fax", "777"}, {"dobYear", "1999"}});
        openAs("ann");

        click(get("lblModify"));
        get<QLineEdit>("txtFirstName")->selectAll();
        QTest::keyClicks(get("txtFirstName"), "Changed");
        QTest::keyClicks(get("txtFax"), "999");
        click(get("lblCancel"));
        QCOMPARE(shownText("txtFirstName"), "Ann");
        QCOMPARE(shownText("txtPhone1"), "123");
        QCOMPARE(shownText("txtFax"), "999"); // Ann has no fax: the typed one stays
        QVERIFY(!get("txtFax")->isEnabled());

        // A move clears before it shows.
        click(get("cmdNext"));
        QCOMPARE(shown(), "Bob||Friends|777");
        click(get("cmdPrev"));
        QCOMPARE(shown(), "Ann||Friends|");
        QCOMPARE(shownText("cbDOBYear"), QString());

        click(get("lblAddNew"));
        QTest::keyClicks(get("txtFirstName"), "New");
        QTest::keyClicks(get("txtFax"), "555");
        get<QComboBox>("cbDOBYear")->setEditText("1980");
        click(get("lblCancel"));
        QCOMPARE(Forms::frmDetails().contacts()->position(), 0);
        QCOMPARE(shown(), "Ann||Friends|555");
        QCOMPARE(shownText("cbDOBYear"), "1980");
    }

    void storedDatePartsOutsideTheListsAreNotForcedIn()
    {
        Program program;
        program.addContact("ann", dated("A", {"7", "12", "1969", "31", "1", "2024"}));
        program.addContact("ann", dated("B", {"07", "012", "1985", "32", "Jan", "1970"}));
        program.addContact("ann", dated("C", {}));
        openAs("ann");
        const auto dates = [] {
            QStringList result;
            for (const char* name :
                 {"cbDOBDate", "cbDOBMonth", "cbDOBYear", "cbANIDate", "cbANIMonth", "cbANIYear"})
                result << shownText(QLatin1String(name));
            return result.join(QLatin1Char('/'));
        };
        QCOMPARE(dates(), "7/12/1969/31/1/2024"); // editable years show any year
        QCOMPARE(get<QComboBox>("cbDOBDate")->currentIndex(), 7);
        click(get("cmdNext"));
        QCOMPARE(dates(), "//1985///1970"); // "07" is not an item: the cleared blank stays
        for (const char* name : {"cbDOBDate", "cbDOBMonth", "cbANIDate", "cbANIMonth"})
            QCOMPARE(get<QComboBox>(QLatin1String(name))->currentIndex(), 0);
        click(get("cmdNext"));
        QCOMPARE(dates(), "/////");
        click(get("cmdFirst"));
        QCOMPARE(dates(), "7/12/1969/31/1/2024");
    }

    void categoryAndDateLists()
    {
        Program program;
        openAs("nobody");
        QCOMPARE(items("cbCategory"), QStringList({"Friends", "Relatives", "Business Partners"}));
        QCOMPARE(get<QComboBox>("cbSubCategory")->count(), 0);
        for (const QString list : {"cbDOB", "cbANI"}) {
            QCOMPARE(items(list + "Date"), QStringList{""} + numbers(1, 31));
            QCOMPARE(items(list + "Month"), QStringList{""} + numbers(1, 12));
        }
        QCOMPARE(items("cbDOBYear"), QStringList{""} + numbers(1970, 2000));
        QCOMPARE(items("cbANIYear"), numbers(1970, 2000)); // no blank item
        for (const QString& name : entryControls.filter(QRegularExpression("^cb")))
            QCOMPARE(get<QComboBox>(name)->isEditable(), name.endsWith("Year") || name.endsWith("Category"));

        // Choosing a category refills the sub-categories; typing one does not.
        QComboBox* category = get<QComboBox>("cbCategory");
        QComboBox* sub = get<QComboBox>("cbSubCategory");
        click(get("lblAddNew"));
        const QStringList friends{"Home", "Office", "Institute"};
        const QStringList relatives{"Mom Side", "Dad Side"};

        choose(category, "Friends");
        QCOMPARE(items("cbSubCategory"), friends);
        QCOMPARE(sub->currentText(), QString());
        sub->setEditText("Office");
        choose(category, "Friends"); // again: emptied first, never appended to
        QCOMPARE(items("cbSubCategory"), friends);
        QCOMPARE(sub->currentText(), QString());

        sub->setEditText("Office");
        choose(category, "Business Partners");
        QCOMPARE(items("cbSubCategory"), friends);
        QCOMPARE(sub->currentText(), "Office");

        QTest::keyClick(category, Qt::Key_Up); // arrow keys choose too
        QCOMPARE(category->currentText(), "Relatives");
        QCOMPARE(items("cbSubCategory"), relatives);

        category->lineEdit()->selectAll();
        QTest::keyClicks(category->lineEdit(), "Friends"); // typed, not chosen
        QCOMPARE(category->currentText(), "Friends");
        QCOMPARE(items("cbSubCategory"), relatives);
        QTest::keyClick(category->lineEdit(), Qt::Key_Return); // confirming typed text is no choice either
        QCOMPARE(items("cbSubCategory"), relatives);
    }

    void changeUserAndQuitBringTheWindowBackOnTheFirstContact()
    {
        Program program;
        program.addUser("ann", "pw");
        program.addUser("bob", "pw");
        program.addContact("ann", {{"category", "Friends"}, {"firstName", "Ann1"}});
        program.addContact("ann", {{"category", "Friends"}, {"firstName", "Ann2"}});
        program.addContact("bob", {{"category", "Relatives"}, {"firstName", "Bob2"}});
        program.addContact("bob", {{"category", "Relatives"}, {"firstName", "Bob1"}});
        program.addContact("bob", {{"category", "Relatives"}, {"firstName", "Bob3"}});
        Forms::frmVantrel().show();
        login("ann");
        QCOMPARE(shownText("txtFirstName"), "Ann1");

        pressKey(Forms::frmDetails().window(), Qt::Key_U, Qt::AltModifier);
        QVERIFY(!Forms::frmDetails().isLoaded());
        QCOMPARE(clsConnection::ActiveFormTag, "form details");
        login("bob");
        QCOMPARE(Forms::frmDetails().contacts()->recordCount(), 3);
        QCOMPARE(shownText("txtFirstName"), "Bob1");
        click(get("cmdLast"));
        QCOMPARE(shownText("txtFirstName"), "Bob3");

        pressKey(Forms::frmDetails().window(), Qt::Key_Escape);
        QVERIFY(!Forms::frmDetails().isLoaded());
        QVERIFY(Forms::frmYesNo().isLoaded());
        click(control<QWidget>(Forms::frmYesNo(), "lblNo"));
        QVERIFY(Forms::frmDetails().isLoaded());
        QCOMPARE(Forms::frmDetails().contacts()->position(), 0);
        QCOMPARE(shownText("txtFirstName"), "Bob1");
        QCOMPARE(moves(), "--NL");
        QVERIFY(!get("txtFirstName")->isEnabled());
        QVERIFY(!program.ended());
    }

    void tooltipsAndTabOrder()
    {
        Program program;
        for (const char* name : {"A", "B", "C"})
            program.addContact("ann", {{"category", "Friends"}, {"firstName", name}});
        openAs("ann");
        // Four of the action labels really do carry the change-user tooltip.
        for (const char* name : {"lblViewDetails", "lblClear", "lblSearch", "lblPrint", "lblChangeUser"})
            QCOMPARE(get(QLatin1String(name))->toolTip(), "Change Users");
        for (const QString tip :
             {"lblCancel=Brings the Original Data if you don't want to add New Data",
              "lblModify=Modifies the Record", "lblAddNew=Adds a New Record", "lblSave=Saves The Record",
              "lblQuit=Quit", "cmdFirst=Move to the First Record", "cmdPrev=Move to the Previous Record",
              "cmdNext=Move to the Next Record", "cmdLast=Move to the Last Record"})
            QCOMPARE(get(tip.section('=', 0, 0))->toolTip(), tip.section('=', 1));

        QWidget* window = Forms::frmDetails().window();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        const QStringList moveButtons{"cmdLast", "cmdNext", "cmdPrev", "cmdFirst"};
        const auto tabs = [&](const QString& from, int count) {
            get(from)->setFocus();
            QStringList visited{from};
            for (int i = 0; i < count; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                visited << QApplication::focusWidget()->objectName();
            }
            return visited;
        };

        // Browsing on the middle contact: only the four moves take the focus.
        click(get("cmdNext"));
        QCOMPARE(tabs("cmdLast", 4), moveButtons + QStringList{"cmdLast"});

        click(get("lblModify"));
        const QStringList order = entryControls + moveButtons;
        // The designed chain first, then real Tab presses through it.
        QStringList chain;
        QWidget* next = get("cbCategory");
        do {
            if (order.contains(next->objectName()) && next->isEnabled() &&
                (next->focusPolicy() & Qt::TabFocus))
                chain << next->objectName();
            next = next->nextInFocusChain();
        } while (next != get("cbCategory"));
        QCOMPARE(chain, order);
        QCOMPARE(tabs("cbCategory", 26), order + QStringList{"cbCategory"});
    }
};

VANTREL_TEST_MAIN(ContactBrowsingTest)
#include "tst_contactbrowsing.moc"
