// Browsing the contact window: which contacts it shows, in which order, the
// four move buttons, the drop-down lists, and the ways out and back in.
#include "TestSupport.h"

#include "accounts/frmVantrel.h"
#include "app/Forms.h"
#include "app/clsConnection.h"
#include "app/frmYesNo.h"
#include "contacts/frmDetails.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>

using namespace testsupport;

// The 22 entry controls in the order the Tab key visits them.
static const QStringList entryControls =
    QString("cbCategory cbSubCategory txtFirstName txtLastName cbDOBDate cbDOBMonth cbDOBYear txtAddress "
            "txtPhone1 txtPhone2 txtMobile txtFax txtEMailH txtAddressOffice txtPhone1Office txtPhone2Office "
            "txtMobileOffice txtFaxOffice txtEMailO cbANIYear cbANIDate cbANIMonth")
        .split(' ');
static const QStringList navigation{"cmdFirst", "cmdPrev", "cmdNext", "cmdLast"};
// First name, category and home fax: enough to tell the contacts apart.
static const QStringList card{"txtFirstName", "cbCategory", "txtFax"};

template <typename T = QWidget> static T* get(const QString& name)
{
    return control<T>(Forms::frmDetails(), name);
}

// What the named controls show (their user property), joined by '|'.
static QString texts(const QStringList& names)
{
    QStringList result;
    for (const QString& name : names)
        result << get(name)->metaObject()->userProperty().read(get(name)).toString();
    return result.join('|');
}

// "FPNL" for first, previous, next, last enabled; "-" for each disabled one.
static QString moves()
{
    QString result;
    for (int i = 0; i < 4; ++i)
        result += get(navigation[i])->isEnabled() ? QString("FPNL")[i] : QChar('-');
    return result;
}

static QStringList items(const QString& name)
{
    QStringList result;
    for (int i = 0; i < get<QComboBox>(name)->count(); ++i)
        result << get<QComboBox>(name)->itemText(i);
    return result;
}

// Adds `user`'s contacts, each "firstName|category|fax|dobDate|..."; "~" stands for Null.
static void addContacts(Program& program, const QString& user, const QStringList& contacts)
{
    const QStringList columns =
        QString("firstName category fax dobDate dobMonth dobYear aniDate aniMonth aniYear").split(' ');
    for (const QString& contact : contacts) {
        QMap<QString, QVariant> row;
        for (const QString& value : contact.split('|'))
            row.insert(columns[row.size()], value == "~" ? QVariant() : value);
        program.addContact(user, row);
    }
}

// Opens the contact window for `user`, who has the `contacts` given.
static void openAs(Program& program, const QString& user, const QStringList& contacts = {})
{
    addContacts(program, user, contacts);
    clsConnection::CurrentUser = user;
    Forms::frmDetails().show();
    QVERIFY(Forms::frmDetails().isLoaded());
}

class ContactBrowsingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void browsingShowsOnlyTheUsersContactsInOrder_data()
    {
        QTest::addColumn<QString>("user");
        // first|category|fax ("~" for Null) in browsing order; stored the other way round.
        QTest::addColumn<QStringList>("book");
        QTest::newRow("no contacts") << "nobody" << QStringList{};
        // No category first, then by category and first name; Null faxes never keep the previous one.
        const QString many = "Nina|~|100,Eve||~,Carl|Business Partners|~,~|Friends|103,"
                             "Adam|Friends|104,Zoe|Friends|~,Ben|Relatives|105";
        QTest::newRow("many") << "many" << many.split(',');
        QTest::newRow("two, quote") << "O'Brien" << QStringList{"Ola|Friends|1", "Ola|Relatives|2"};
        QTest::newRow("one, quote trick") << "x' or '1'='1" << QStringList{"Tim|Friends|~"};
    }

    void browsingShowsOnlyTheUsersContactsInOrder()
    {
        QFETCH(QString, user);
        QFETCH(QStringList, book);
        Program program;
        addContacts(program, "other", {"Aaron|~|~"}); // would sort before all others
        openAs(program, user, QList(book.rbegin(), book.rend()));
        const int count = int(book.size());

        // After loading: entries locked, View, Save and the moves that lead nowhere off; the rest on.
        const QStringList off =
            entryControls + QStringList{"lblViewDetails", "lblSave"} + navigation.mid(0, count > 1 ? 2 : 4);
        for (const QWidget* w :
             Forms::frmDetails().window()->findChildren<QWidget*>(QRegularExpression("^(cb|txt|lbl|cmd)")))
            QVERIFY2(w->isEnabled() != off.contains(w->objectName()), qPrintable(w->objectName()));
        if (count == 0)
            QCOMPARE(texts(entryControls), QString(entryControls.size() - 1, '|'));

        // Every move, by the buttons as left enabled (a disabled one does nothing), then each after a
        // Cancel that enabled all four (no AddNew or Modify yet: it empties the controls).
        for (const bool cancel : {false, true}) {
            int at = 0;
            for (const QChar move : QString("PFNNNNNNNLPPPPPPPLF")) {
                if (cancel)
                    click(get("lblCancel"));
                const int button = int(QString("FPNL").indexOf(move));
                click(get(navigation[button]));
                at = qMax(0, qMin(count - 1, at + QList<int>{-count, -1, 1, count}[button]));
                QCOMPARE(texts(card), book.value(at, "||").remove('~'));
                // On an empty book the moves change nothing.
                const QString moved = QString(at > 0 ? "FP" : "--") + (at < count - 1 ? "NL" : "--");
                QCOMPARE(moves(), cancel && count == 0 ? "FPNL" : moved);
            }
        }
        QVERIFY(program.messages.isEmpty() && !program.ended());
    }

    void storedDatePartsAndTabOrder()
    {
        Program program;
        openAs(program, "ann", {"A|~|~|7|12|1969|31|1|2024", "B|~|~|07|012|1985|32|Jan|1970", "C"});
        // Day, month and year of birth; year, day and month of the anniversary.
        const QStringList dates = entryControls.filter("DOB") + entryControls.filter("ANI");
        QCOMPARE(texts(dates), "7|12|1969|2024|31|1"); // editable years show any year
        click(get("cmdNext"));
        QCOMPARE(texts(dates), "||1985|1970||"); // "07" is not an item: the cleared blank stays
        click(get("cmdNext"));
        QCOMPARE(texts(dates), "|||||");

        // Modifying the middle contact, so that every control can take the focus.
        QVERIFY(QTest::qWaitForWindowActive(Forms::frmDetails().window()));
        click(get("cmdPrev"));
        click(get("lblModify"));
        QStringList visited;
        for (get("cbCategory")->setFocus(); visited.size() < 27;
             QTest::keyClick(qApp->focusWidget(), Qt::Key_Tab))
            visited << qApp->focusWidget()->objectName();
        QCOMPARE(visited.join(' '), entryControls.join(' ') + " cmdLast cmdNext cmdPrev cmdFirst cbCategory");
    }

    void listsAndTooltips()
    {
        Program program;
        openAs(program, "nobody");
        QCOMPARE(items("cbCategory"), QStringList({"Friends", "Relatives", "Business Partners"}));
        QCOMPARE(items("cbSubCategory"), QStringList());
        QStringList days{""}, years;
        for (int n = 1; n <= 31; ++n)
            days << QString::number(n);
        for (int n = 1970; n <= 2000; ++n)
            years << QString::number(n);
        for (const QString list : {"cbDOB", "cbANI"}) {
            QCOMPARE(items(list + "Date"), days);
            QCOMPARE(items(list + "Month"), days.mid(0, 13));
        }
        QCOMPARE(items("cbDOBYear"), QStringList{""} + years);
        QCOMPARE(items("cbANIYear"), years); // no blank item

        // Four of the action labels really do carry the change-user tooltip.
        for (const QString tip :
             {"lblViewDetails=Change Users", "lblClear=Change Users", "lblSearch=Change Users",
              "lblPrint=Change Users", "lblChangeUser=Change Users",
              "lblCancel=Brings the Original Data if you don't want to add New Data",
              "lblModify=Modifies the Record", "lblAddNew=Adds a New Record", "lblSave=Saves The Record",
              "lblQuit=Quit", "cmdFirst=Move to the First Record", "cmdPrev=Move to the Previous Record",
              "cmdNext=Move to the Next Record", "cmdLast=Move to the Last Record"})
            QCOMPARE(get(tip.section('=', 0, 0))->toolTip(), tip.section('=', 1));

        // Choosing a category from the opened list refills the sub-categories, emptied first (never
        // appended to); other categories leave them alone, and so does typing one.
        auto* list = get<QComboBox>("cbCategory");
        const auto subs = [] { return texts({"cbSubCategory"}) + ':' + items("cbSubCategory").join(','); };
        click(get("lblAddNew"));
        for (const QString step : {"Friends|:Home,Office,Institute", "Friends|:Home,Office,Institute",
                                   "Business Partners|Office:Home,Office,Institute"}) {
            get<QComboBox>("cbSubCategory")->setEditText("Office");
            list->showPopup();
            list->view()->setCurrentIndex(list->model()->index(list->findText(step.split('|')[0]), 0));
            QTest::keyClick(list->view(), Qt::Key_Return);
            QCOMPARE(subs(), step.split('|')[1]);
        }
        QTest::keyClick(list, Qt::Key_Up); // arrow keys choose too
        QCOMPARE(subs(), ":Mom Side,Dad Side");
        list->setEditText("Friends");
        QTest::keyClick(list->lineEdit(), Qt::Key_Return); // typed and confirmed is no choice
        QCOMPARE(subs(), ":Mom Side,Dad Side");
        QVERIFY(QTest::qWaitForWindowActive(Forms::frmDetails().window()));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Tab); // nor is leaving the box with the typed text
        QCOMPARE(subs(), ":Mom Side,Dad Side");
    }

    void changeUserAndQuitBringTheWindowBackOnTheFirstContact()
    {
        Program program;
        program.addUser("bob", "pw");
        addContacts(program, "bob", {"Bob2", "Bob1", "Bob3"});
        openAs(program, "ann", {"Ann1"});
        pressKey(Forms::frmDetails().window(), Qt::Key_U, Qt::AltModifier);
        QVERIFY(!Forms::frmDetails().isLoaded() && Forms::frmVantrel().isLoaded());
        control<QLineEdit>(Forms::frmVantrel(), "txtUser")->setText("bob");
        control<QLineEdit>(Forms::frmVantrel(), "txtPassword")->setText("pw");
        click(control<QWidget>(Forms::frmVantrel(), "lblLogin"));
        click(get("cmdLast"));
        QCOMPARE(texts({"txtFirstName"}), "Bob3");

        // Esc, then No: loaded afresh on the first contact, Ann's contact gone.
        pressKey(Forms::frmDetails().window(), Qt::Key_Escape);
        QVERIFY(!Forms::frmDetails().isLoaded());
        click(control<QWidget>(Forms::frmYesNo(), "lblNo"));
        QCOMPARE(texts({"txtFirstName"}) + moves(), "Bob1--NL");
    }
};

VANTREL_TEST_MAIN(ContactBrowsingTest)
#include "tst_contactbrowsing.moc"
