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

#include <ranges>

using namespace testsupport;

// The 22 entry controls in the order the Tab key visits them.
static const QStringList entries =
    QString("cbCategory cbSubCategory txtFirstName txtLastName cbDOBDate cbDOBMonth cbDOBYear txtAddress "
            "txtPhone1 txtPhone2 txtMobile txtFax txtEMailH txtAddressOffice txtPhone1Office txtPhone2Office "
            "txtMobileOffice txtFaxOffice txtEMailO cbANIYear cbANIDate cbANIMonth")
        .split(' ');
// The move buttons: first, previous, next, last.
static const QStringList nav{"cmdFirst", "cmdPrev", "cmdNext", "cmdLast"};

class ContactBrowsingTest : public QObject
{
    Q_OBJECT

    static QWidget* get(const QString& name) { return control<QWidget>(Forms::frmDetails(), name); }
    static QComboBox* box(const QString& name) { return control<QComboBox>(Forms::frmDetails(), name); }

    // The named controls' `property` (by default their user property: what they show), joined by '|'.
    static QString texts(const QStringList& names, const char* property = nullptr)
    {
        QStringList result;
        for (QWidget* w : names | std::views::transform(get))
            result << w->property(property ? property : w->metaObject()->userProperty().name()).toString();
        return result.join('|');
    }

    // First, previous, next and last: 1 for enabled, 0 for disabled.
    static QString moves() { return texts(nav, "enabled").replace("true", "1").replace("false", "0"); }

    // The items of a drop-down list, joined by ','.
    static QString items(const QString& name)
    {
        QStringList result;
        for (int i = 0; i < box(name)->count(); ++i)
            result << box(name)->itemText(i);
        return result.join(',');
    }

    // Opens the contact window for `user`, after adding the `contacts`, each "firstName|category|fax|
    // dobDate|..." ("~" for Null).
    static void openAs(Program& program, const QString& user, const QStringList& contacts = {})
    {
        const QStringList columns =
            QString("firstName category fax dobDate dobMonth dobYear aniDate aniMonth aniYear").split(' ');
        for (const QString& contact : contacts) {
            QMap<QString, QVariant> row;
            for (const QString& value : contact.split('|'))
                row.insert(columns[row.size()], value == "~" ? QVariant() : value);
            program.addContact(user, row);
        }
        clsConnection::CurrentUser = user;
        Forms::frmDetails().show();
        QVERIFY(Forms::frmDetails().isLoaded());
    }

private Q_SLOTS:
    void browsingShowsOnlyTheUsersContactsInOrder_data()
    {
        // first|category|fax ("~" for Null) in browsing order; stored the other way round.
        QTest::addColumn<QStringList>("book");
        QTest::newRow("no contacts") << QStringList{};
        // No category first, then by category and first name; Null faxes never keep the previous one.
        QTest::newRow("many") << QStringList{
            "Nina|~|100",       "Eve||~",        "Carl|Business Partners|~", "~|Friends|103",
            "Adam|Friends|104", "Zoe|Friends|~", "Ben|Relatives|105"};
        QTest::newRow("one") << QStringList{"Tim|Friends|~"};
    }

    void browsingShowsOnlyTheUsersContactsInOrder()
    {
        QFETCH(QStringList, book);
        Program program;
        openAs(program, "ann", QList(book.rbegin(), book.rend()));
        const int count = int(book.size());

        // After loading: entries locked, View, Save and the moves that lead nowhere off; the rest on.
        const auto off = entries + QStringList{"lblViewDetails", "lblSave"} + nav.first(count > 1 ? 2 : 4);
        for (auto w :
             get("txtFax")->window()->findChildren<QWidget*>(QRegularExpression("^(cb|txt|lbl|cmd)")))
            QVERIFY2(w->isEnabled() != off.contains(w->objectName()), qPrintable(w->objectName()));
        if (count == 0)
            QCOMPARE(texts(entries), QString(entries.size() - 1, '|'));

        // Every move (0 first, 1 previous, 2 next, 3 last), by the buttons as left enabled (a disabled one
        // does nothing), then each after a Cancel that enabled all four (no AddNew or Modify yet: it
        // empties the controls). On an empty book the moves change nothing.
        for (const bool cancel : {false, true}) {
            for (int at = 0; const int button : {1, 0, 2, 2, 2, 2, 2, 2, 2, 3, 1, 1, 1, 1, 1, 1, 1, 3, 0}) {
                if (cancel)
                    click(get("lblCancel"));
                click(get(nav[button]));
                at = qMax(0, qMin(count - 1, at + QList<int>{-count, -1, 1, count}[button]));
                const QString moved = QString(at > 0 ? "1|1|" : "0|0|") + (at < count - 1 ? "1|1" : "0|0");
                // First name, category and home fax tell the contacts apart.
                QCOMPARE(texts({"txtFirstName", "cbCategory", "txtFax"}) + ' ' + moves(),
                         book.value(at, "||").remove('~') + ' ' + (cancel && count == 0 ? "1|1|1|1" : moved));
            }
        }
        QVERIFY(program.messages.isEmpty() && !program.ended());
    }

    void listsTooltipsDatesTabOrderAndWaysOutAndBackIn()
    {
        Program program;
        program.addUser("bob", "bob");
        openAs(program, "bob", {"A|~|~|7|12|1969|31|1|2024", "B|~|~|07|012|1985|32|Jan|1970", "C"});
        // Day, month and year of birth; year, day and month of the anniversary.
        const QStringList dates = entries.filter("DOB") + entries.filter("ANI");
        QString days, years; // each with a blank item first
        for (int n = 1; n <= 31; ++n)
            days += ',' + QString::number(n), years += ',' + QString::number(1969 + n);
        const auto lists =
            (QStringList{"cbCategory", "cbSubCategory"} + dates) | std::views::transform(items);
        // The anniversary year has no blank item.
        QCOMPARE(QStringList(lists.begin(), lists.end()),
                 QStringList({"Friends,Relatives,Business Partners", "", days, days.section(',', 0, 12),
                              years, years.mid(1), days, days.section(',', 0, 12)}));
        // Five of the action labels really do carry the change-user tooltip.
        const QString labels = "lblViewDetails lblClear lblSearch lblPrint lblChangeUser lblCancel lblModify "
                               "lblAddNew lblSave lblQuit";
        const QString tips = "Brings the Original Data if you don't want to add New Data|Modifies the Record|"
                             "Adds a New Record|Saves The Record|Quit|Move to the First Record|Move to the "
                             "Previous Record|Move to the Next Record|Move to the Last Record";
        QCOMPARE(texts(labels.split(' ') + nav, "toolTip"), QString("Change Users|").repeated(5) + tips);

        // Editable years show any year; "07" is not an item: the cleared blank stays.
        for (const QString shown : {"7|12|1969|2024|31|1", "||1985|1970||", "|||||"}) {
            QCOMPARE(texts(dates), shown);
            click(get("cmdNext"));
        }

        // Modifying the middle contact, so that every control can take the focus.
        QVERIFY(QTest::qWaitForWindowActive(Forms::frmDetails().window()));
        click(get("cmdPrev"));
        click(get("lblModify"));
        auto* list = box("cbCategory");
        QStringList seen;
        for (list->setFocus(); seen.size() < 27; QTest::keyClick(qApp->focusWidget(), Qt::Key_Tab))
            seen << qApp->focusWidget()->objectName();
        QCOMPARE(seen.join(' '), entries.join(' ') + " cmdLast cmdNext cmdPrev cmdFirst cbCategory");

        // Choosing a category from the opened list refills the sub-categories, emptied first (never
        // appended to); other categories leave them alone, and so does typing one.
        for (QString step : {"Friends|:Home,Office,Institute", "Business Partners|X:Home,Office,Institute"}) {
            box("cbSubCategory")->setEditText("X");
            list->showPopup();
            list->view()->setCurrentIndex(list->model()->index(list->findText(step.split('|')[0]), 0));
            QTest::keyClick(list->view(), Qt::Key_Return);
            QCOMPARE(texts({"cbSubCategory"}) + ':' + items("cbSubCategory"), step.split('|')[1]);
        }
        // Arrow keys choose too; typed and confirmed is no choice, nor is leaving the box with the typed
        // text.
        QTest::keyClick(list, Qt::Key_Up);
        list->setEditText("Friends");
        QTest::keyClick(list->lineEdit(), Qt::Key_Return);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Tab);
        QCOMPARE(texts({"cbSubCategory"}) + ':' + items("cbSubCategory"), ":Mom Side,Dad Side");

        // Alt+U unloads the window for the login; Esc, then No, loads it afresh on the first contact.
        pressKey(Forms::frmDetails().window(), Qt::Key_U, Qt::AltModifier);
        QVERIFY(!Forms::frmDetails().isLoaded() && Forms::frmVantrel().isLoaded());
        for (const char* name : {"txtUser", "txtPassword"})
            control<QLineEdit>(Forms::frmVantrel(), name)->setText("bob");
        click(control<QWidget>(Forms::frmVantrel(), "lblLogin"));
        click(get("cmdLast"));
        QCOMPARE(texts({"txtFirstName"}), "C");
        pressKey(Forms::frmDetails().window(), Qt::Key_Escape);
        click(control<QWidget>(Forms::frmYesNo(), "lblNo"));
        QCOMPARE(texts({"txtFirstName"}) + ' ' + moves(), "A 0|0|1|1");
    }
};

VANTREL_TEST_MAIN(ContactBrowsingTest)
#include "tst_contactbrowsing.moc"
