// Browsing the contact window: which contacts it shows, in which order, the
// four move buttons, the drop-down lists, and the ways out and back in.
#include "Cases.h"
#include "TestSupport.h"

#include <QComboBox>
#include <QLineEdit>

using namespace testsupport;

namespace {

// The 22 entry controls in the order the Tab key visits them.
const QStringList tabOrder =
    QString::fromUtf8(fileBytes(VANTREL_SAMPLES "/contactbrowsing/tab-order").value_or(""))
        .split('\n', Qt::SkipEmptyParts);
const QStringList moveButtons{"cmdFirst", "cmdPrev", "cmdNext", "cmdLast"};

QString items(const QString& list)
{
    QStringList result;
    for (int i = 0; i < find<QComboBox>(list)->count(); ++i)
        result << find<QComboBox>(list)->itemText(i);
    return result.join(',');
}

// Adds the contacts of `user`, each "firstName|category|fax|dobDate|..." ("~" for Null), then opens the
// contact window for that user.
void openAs(Program& program, const QString& user, QStringList contacts = {})
{
    for (QString& contact : contacts)
        contact.prepend(user + '|');
    program.folder.addContacts(
        "user firstName category fax dobDate dobMonth dobYear aniDate aniMonth aniYear", contacts);
    QVERIFY(run({openContacts(user)}));
}

} // namespace

class ContactBrowsingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void browsingShowsOnlyTheUsersContactsInOrder_data() { addCases("contactbrowsing/books.cases"); }

    void browsingShowsOnlyTheUsersContactsInOrder()
    {
        QFETCH(Case, sample);
        const QStringList book = sample.all("contact");
        Program program;
        program.folder.addContact("bob", {{"firstName", "Not ann's"}});
        openAs(program, "ann", QList(book.rbegin(), book.rend()));
        const int count = int(book.size());

        // After loading: entries locked, View and Save off, only the moves that lead somewhere on; the
        // keyboard twins as designed, so Save's too.
        QCOMPARE(contactWindow(), (ContactWindow{.position = count ? 0 : -1,
                                                 .moves = count > 1 ? "0011" : "0000",
                                                 .outOfLine = {"cmdSave"}}));
        const QStringList off =
            tabOrder + QStringList{"lblViewDetails", "lblSave"} + moveButtons.first(count > 1 ? 2 : 4);
        for (auto w : openWindow()->findChildren<QWidget*>(QRegularExpression("^(cb|txt|lbl|cmd)")))
            QVERIFY2(w->isEnabled() != off.contains(w->objectName()), qPrintable(w->objectName()));
        if (count == 0)
            QCOMPARE(texts(tabOrder), QString(tabOrder.size() - 1, '|'));

        // Every move (0 first, 1 previous, 2 next, 3 last), by the buttons as left enabled (a disabled one
        // does nothing), then each after a Cancel that enabled all four (no AddNew or Modify yet: it
        // empties the controls). On an empty book the moves change nothing.
        for (const bool cancel : {false, true}) {
            for (int at = 0; const int button : {1, 0, 2, 2, 2, 2, 2, 2, 2, 3, 1, 1, 1, 1, 1, 1, 1, 3, 0}) {
                if (cancel)
                    STEPS(click("lblCancel"));
                STEPS(click(moveButtons[button]));
                at = qMax(0, qMin(count - 1, at + QList<int>{-count, -1, 1, count}[button]));
                const QString moved = QString(at > 0 ? "11" : "00") + (at < count - 1 ? "11" : "00");
                // First name, category and home fax tell the contacts apart.
                QCOMPARE(texts({"txtFirstName", "cbCategory", "txtFax"}), book.value(at, "||").remove('~'));
                for (const QLineEdit* box : openWindow()->findChildren<QLineEdit*>()) // shown from its start
                    QVERIFY2(box->cursorPosition() == 0,
                             qPrintable(box->objectName() + box->parent()->objectName()));
                QCOMPARE(contactWindow().moves, cancel && count == 0 ? "1111" : moved);
            }
        }
        QVERIFY(program.messages.isEmpty() && !program.ended());
    }

    void listsTooltipsDatesTabOrderAndWaysOutAndBackIn()
    {
        Program program;
        program.folder.addUser("bob", "pw");
        openAs(program, "bob", {"A|~|~|7|12|1969|31|1|2024", "B|~|~|07|012|1985|32|Jan|1970", "C"});
        // Day, month and year of birth; year, day and month of the anniversary.
        const QStringList dates = tabOrder.filter("DOB") + tabOrder.filter("ANI");
        QString days, years; // each with a blank item first
        for (int n = 1; n <= 31; ++n)
            days += ',' + QString::number(n), years += ',' + QString::number(1969 + n);
        QStringList lists;
        for (const QString& list : QStringList{"cbCategory", "cbSubCategory"} + dates)
            lists << items(list);
        // The anniversary year has no blank item.
        QCOMPARE(lists,
                 QStringList({"Friends,Relatives,Business Partners", "", days, days.section(',', 0, 12),
                              years, years.mid(1), days, days.section(',', 0, 12)}));
        for (const Case& control : casesIn("contactbrowsing/tooltips.cases"))
            QCOMPARE(control.name + ": " + texts({control.name}, "toolTip"),
                     control.name + ": " + control["tip"]);

        // Editable years show any year; "07" is not an item: the cleared blank stays.
        for (const QString shown : {"7|12|1969|2024|31|1", "||1985|1970||", "|||||"}) {
            QCOMPARE(texts(dates), shown);
            STEPS(click("cmdNext"));
        }
        QVERIFY(QTest::qWaitForWindowActive(openWindow()));
        STEPS(click("cmdPrev"), click("lblModify"));
        QStringList seen;
        for (find("cbCategory")->setFocus(); seen.size() < 27;
             QTest::keyClick(qApp->focusWidget(), Qt::Key_Tab))
            seen << qApp->focusWidget()->objectName();
        const QStringList expected =
            tabOrder + QStringList{"cmdLast", "cmdNext", "cmdPrev", "cmdFirst", "cbCategory"};
        QCOMPARE(seen, expected);

        // Choosing a category from the opened list refills the sub-categories, emptied first (never
        // appended to); other categories leave them alone, and so does typing one.
        for (const auto& [category, after] : QList<std::pair<QString, QString>>{
                 {"Friends", ":Home,Office,Institute"}, {"Business Partners", "X:Home,Office,Institute"}}) {
            STEPS(type("cbSubCategory", "X"), choose("cbCategory", category));
            QCOMPARE(text("cbSubCategory") + ':' + items("cbSubCategory"), after);
        }
        // Arrow keys choose too; typed and confirmed is no choice, nor is leaving the box with the typed
        // text.
        auto* category = find<QComboBox>("cbCategory");
        QTest::keyClick(category, Qt::Key_Up);
        category->setEditText("Friends");
        QTest::keyClick(category->lineEdit(), Qt::Key_Return);
        category->setFocus();
        QTest::keyClick(category, Qt::Key_Tab);
        QCOMPARE(text("cbSubCategory") + ':' + items("cbSubCategory"), ":Mom Side,Dad Side");

        // Alt+U unloads the window for the login; Esc, then No, loads it afresh on the first contact.
        STEPS(alt('u'), type("txtUser", "bob"), type("txtPassword", "pw"), click("lblLogin"),
              click("cmdLast"));
        QCOMPARE(text("txtFirstName"), "C");
        STEPS(key(Qt::Key_Escape), click("lblNo"));
        QCOMPARE(text("txtFirstName"), "A");
        QCOMPARE(contactWindow().moves, "0011");
    }
};

VANTREL_TEST_MAIN(ContactBrowsingTest)
#include "tst_contactbrowsing.moc"
