// Editing in the contact window: AddNew, Modify, Cancel, Clear, the entry
// checks and Save, driven through the real window.
#include "TestSupport.h"

#include "app/Forms.h"
#include "app/clsConnection.h"
#include "contacts/frmDetails.h"
#include "data/RecordSet.h"

#include <QComboBox>
#include <QLineEdit>

using namespace testsupport;

// The entry controls, in the order of the columns of a contact after `user`.
const QStringList entries = QString("cbCategory cbSubCategory txtFirstName txtLastName txtAddress txtPhone1 "
                                    "txtPhone2 txtMobile txtFax cbDOBDate cbDOBMonth cbDOBYear cbANIDate "
                                    "cbANIMonth cbANIYear txtAddressOffice txtPhone1Office txtPhone2Office "
                                    "txtMobileOffice txtFaxOffice txtEMailH txtEMailO")
                                .split(' ');
// Off while adding or modifying, on while browsing.
const QStringList editActions{"lblAddNew", "lblModify", "lblSearch", "lblPrint",
                              "cmdAdd",    "cmdModify", "cmdSearch", "cmdPrint"};

const auto widget = [](const QString& name) { return control<QWidget>(Forms::frmDetails(), name); };

// The texts of the controls named (separated by spaces), joined by '|'.
static QString shown(const QString& names)
{
    QStringList texts;
    for (const QString& name : names.split(' ', Qt::SkipEmptyParts))
        texts << widget(name)->metaObject()->userProperty().read(widget(name)).toString();
    return texts.join('|');
}

// Steps separated by ", ": "@user" opens the window for that user, "name=value" types into a box (a
// fixed list picks the item), "Alt+X" presses the access key, anything else clicks that control.
static void act(const QString& steps)
{
    for (const QString& step : steps.split(", ", Qt::SkipEmptyParts)) {
        if (step.startsWith('@')) {
            clsConnection::CurrentUser = step.mid(1);
            Forms::frmDetails().show();
            QVERIFY(QTest::qWaitForWindowActive(Forms::frmDetails().window()));
        } else if (step.startsWith("Alt+"))
            pressKey(Forms::frmDetails().window(), Qt::Key(step.at(4).unicode()), Qt::AltModifier);
        else if (const QString name = step.section('=', 0, 0); name != step)
            widget(name)->metaObject()->userProperty().write(widget(name), step.section('=', 1));
        else
            click(widget(step));
    }
}

// After `steps`: the texts of `names` (by default the first name); the record position; "editing" (entries
// and Save on, editActions off) or "browsing" (the reverse); the navigation buttons, then View, ChangeUser,
// Clear and Cancel, as 1 and 0; IsAdding and IsModifying as A and M; last, any control out of line with
// "editing" or "browsing".
static QString look(const QString& steps, const QString& names = "txtFirstName")
{
    act(steps);
    const frmDetails& window = Forms::frmDetails();
    const bool editing = widget("lblSave")->isEnabled();
    QString result = shown(names) + QString(" @%1 ").arg(window.contacts()->position()) +
                     (editing ? "editing " : "browsing ");
    for (const char* name : {"cmdFirst", "cmdPrev", "cmdNext", "cmdLast", " ", "lblViewDetails",
                             "lblChangeUser", "lblClear", "lblCancel", " "})
        result += *name == ' ' ? ' ' : widget(name)->isEnabled() ? '1' : '0';
    result += QString(window.isAdding() ? "A" : "-") + (window.isModifying() ? "M" : "-");
    for (const QString& name : entries + editActions + QStringList{"cmdSave"})
        if (widget(name)->isEnabled() != (editing != editActions.contains(name)))
            result += ' ' + name;
    return result;
}

// The first value of the first row of a query on the database file.
const auto value = [](Program& p, const QString& sql) { return p.rows(sql).value(0).value(0).toString(); };

class ContactEditingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void editingCommandsSwitchTheWindowStates()
    {
        Program program;
        program.addContact("ann", {{"category", "Friends"}, {"firstName", "Bea"}, {"phone", "1234567"}});
        program.addContact("ann", {{"category", "Friends"}, {"firstName", "Cid"}, {"fax", "999"}});
        program.addContact("ann", {{"category", "Relatives"}, {"firstName", "Dee"}});
        // AddNew: empty, unlocked, the category focused, nothing added before Save.
        QCOMPARE(look("@ann, Alt+A", "txtPhone1"), " @0 editing 0000 0111 A-");
        QCOMPARE(Forms::frmDetails().window()->focusWidget(), widget("cbCategory"));
        // Cancel re-shows the record; a Null column keeps what was typed; all moves are on.
        QCOMPARE(look("txtFirstName=Zed, txtFax=555, Alt+N", "txtFirstName txtPhone1 txtFax"),
                 "Bea|1234567|555 @0 browsing 1111 0111 A-");
        // Modify keeps the values, the position and the moves; Clear changes nothing else.
        QCOMPARE(look("cmdFirst, lblModify"), "Bea @0 editing 0011 0111 -M");
        QCOMPARE(look("lblClear"), " @0 editing 0011 0111 -M");
        // After a Modify, Cancel from searching re-shows the record too, and leaves View,
        // ChangeUser and Clear as Search set them.
        QCOMPARE(look("lblCancel, lblSearch, txtFirstName=Cid, lblCancel"), "Bea @0 browsing 1111 1001 -M");
        // Clear while browsing empties the display; the record stays current.
        QCOMPARE(look("cmdNext, cmdClear", "txtFirstName txtFax"), "| @1 browsing 1111 1001 -M");
        QVERIFY(program.messages.isEmpty());
    }

    void cancelAndTheFlagsOutliveSavesAndReloads()
    {
        Program program;
        program.addContact("ann", {{"category", "Friends"}, {"firstName", "Bea"}});
        program.addContact("ann", {{"category", "Friends"}, {"firstName", "Dan"}});
        // Before any AddNew or Modify of the run, Cancel empties the boxes instead.
        QCOMPARE(look("@ann, lblCancel"), " @0 browsing 1111 0111 --");
        // With neither flag set, Save after a search stores nothing and shows the last contact.
        QCOMPARE(look("lblSearch, txtFirstName=Bea, lblViewDetails, lblSave"),
                 "Dan @1 browsing 1100 0111 --");

        // An empty book, with neither flag set: a search that finds nothing, then Save by its key.
        QCOMPARE(look("lblChangeUser, @bob, lblSearch, txtFirstName=Eve, lblViewDetails, Alt+S"),
                 " @-1 browsing 0000 0111 --");
        // Nothing to re-show: what was typed stays, locked.
        QCOMPARE(look("lblAddNew, txtFirstName=Tmp, lblCancel"), "Tmp @-1 browsing 1111 0111 A-");
        // Save while modifying, with no record to take the changes.
        QCOMPARE(look("lblModify, txtFirstName=Eve, lblSave"), " @-1 browsing 0000 0111 -M");

        // The flags survive an unload of the window and a Save: a later Cancel still re-shows.
        QCOMPARE(look("lblChangeUser, @ann, lblClear, lblCancel"), "Bea @0 browsing 1111 0111 -M");
        QCOMPARE(look("lblAddNew, cbCategory=Friends, txtFirstName=Cy, lblSave, lblClear, lblCancel"),
                 "Cy @2 browsing 1111 0111 A-");
        // Leaving while modifying stores nothing and keeps IsModifying; the load leaves cmdSave on.
        QCOMPARE(look("lblModify, txtFirstName=Lost, lblChangeUser, @ann"),
                 "Bea @0 browsing 0011 0111 -M cmdSave");
        // Only Cy was stored: the Null faxes (0 here) of Bea and Dan were not written back.
        QCOMPARE(value(program, "select group_concat(firstName||ifnull(fax, 0)) from main"), "Bea0,Dan0,Cy");
        QCOMPARE(program.prompts().join('|'), "No records found relating to this Criteria|"
                                              "There is no contact to save the changes into.|Record Saved");
    }

    void entriesAreCheckedAndNumberBoxesTakeOnlyDigits()
    {
        // The message for a failing box is the one holding the three letters after "txt".
        const QStringList messages{"Please Enter the First Name", "Please Enter Phone Number in 7 digits",
                                   "Please Enter Mobile Number in 10 digits",
                                   "Please Enter Fax Number in 10 digits"};
        // The first box fails: it is wiped and focused; the others must stay as typed.
        const QStringList cases =
            QString(
                "txtFirstName=   ;txtFirstName=, txtPhone1=123456789;txtPhone1=12345678, txtPhone2=1234567;"
                "txtPhone2=12345678, txtFax=12345678901;txtPhone1Office=12345678;"
                "txtPhone2Office=12345678, txtMobile=12345678901;txtMobile=12345678901, txtFax=12345678901;"
                "txtMobileOffice=12345678901;txtFax=12345678901, "
                "txtMobile=1234567890;txtFaxOffice=12345678901")
                .split(';');
        Program program;
        program.addContact("ann", {{"category", "Friends"}, {"firstName", "Bea"}, {"secondName", "Cole"}});
        act("@ann");
        for (const QString& typed : cases) {
            const QString first = typed.section('=', 0, 0);
            QStringList seen{look("lblAddNew, txtFirstName=Al, " + typed + ", lblSave", ""),
                             value(program, "select count(*) from main"), program.prompts().constLast(),
                             QString::number(widget(first)->hasFocus())};
            for (const QString& step : typed.split(", "))
                seen << step.section('=', 0, 0) + '=' + shown(step.section('=', 0, 0));
            QCOMPARE(seen, QStringList({" @0 editing 0000 0111 A-", "1",
                                        messages.filter(first.mid(3, 3)).value(0), "1", first + '='}) +
                               typed.split(", ").mid(1));
        }

        // Phone before fax; after each correction Save runs again from the start, duplicate test included.
        act("lblAddNew, txtFirstName=Bea, txtLastName=Cole, txtPhone2=12345678, txtFax=12345678901, lblSave, "
            "txtPhone2=1234567, lblSave, txtFax=1234567890, lblSave");
        QCOMPARE(program.prompts().last(3), (QStringList{messages[1], messages[3], "Record Already Exist"}));

        // Only digits and backspace get through to the number boxes from the keyboard.
        act("lblAddNew");
        for (const QString& box : entries.filter(QRegularExpression("Phone|Mobile|Fax"))) {
            auto* number = qobject_cast<QLineEdit*>(widget(box));
            QTest::keyClicks(number, "12-3 4a+5.(X");
            // Keys without a character still work; Enter is dropped.
            for (Qt::Key key : {Qt::Key_Backspace, Qt::Key_Home, Qt::Key_Delete, Qt::Key_Right, Qt::Key_9,
                                Qt::Key_End, Qt::Key_Return, Qt::Key_0})
                QTest::keyClick(number, key);
            // Delete as the keyboard layer of a Linux desktop (xkb) delivers it: with DEL as its text.
            number->setCursorPosition(0);
            QTest::sendKeyEvent(QTest::Click, number, Qt::Key_Delete, QString(QChar(0x7f)), {});
            // Text that arrives without typing (as a paste) is taken as it is.
            number->insert("(02) 7");
            QCOMPARE(box + ' ' + number->text(), box + " (02) 79340");
        }
        // The name, e-mail and address boxes take every key.
        for (const QString& box : QStringList{"txtFirstName", "txtEMailH", "txtAddress"})
            QTest::keyClicks(widget(box), "Jo-Ann 2.x@");
        QCOMPARE(shown("txtFirstName txtEMailH txtAddress"), "Jo-Ann 2.x@|Jo-Ann 2.x@|Jo-Ann 2.x@");
        QCOMPARE(program.messages.size(), 13); // one for each case, then three
    }

    void savedContactsAreStoredAsTextAndTheLastIsShown()
    {
        Program program;
        // The same names in another user's book are no duplicate.
        program.addContact("bob", {{"category", "Friends"}, {"firstName", "Amy"}, {"secondName", "Ross"}});
        // Every number box at its longest accepted length.
        const QString amy =
            "ann|Friends|Home|Amy|Ross|1 Elm St\nFlat 2|1234567|7654321|0123456789|0223456789|7|3|"
            "1975|||1999|Dock 4|2345678|3456789|0987654321|0887654321|amy@home|amy@work";
        act("@ann, lblAddNew");
        for (int i = 0; i < entries.size(); ++i)
            act(entries[i] + '=' + amy.section('|', i + 1, i + 1));
        // The names and phones on disk when a message is shown ("Record Saved" comes once the row is
        // there); Bob's phone is Null.
        const QString phones =
            "select group_concat(firstName||':'||phone) from (select * from main order by rowid)";
        // The phones on disk at each message.
        QStringList stored;
        program.onMessage = [&](const Message&) { stored << value(program, phones); };
        QCOMPARE(look("lblSave", "txtFirstName cbDOBDate"), "Amy|7 @0 browsing 0000 0111 A-");
        QCOMPARE(program.rows("select * from main where user = 'ann'"),
                 QList<QVariantList>{QVariant(amy.split('|')).toList()});

        // Further adds in the same visit: each one is shown, as the last of the set.
        QCOMPARE(look("lblAddNew, cbCategory=Business Partners, txtFirstName=Zed, lblSave"),
                 "Zed @1 browsing 1100 0111 A-");
        QCOMPARE(look("lblAddNew, cbCategory=Friends, txtFirstName=Bea, lblSave"),
                 "Bea @2 browsing 1100 0111 A-");
        // Empty boxes and blank date items are stored as empty text, never Null.
        for (const QVariantList& row : program.rows("select * from main where user = 'ann'"))
            QCOMPARE(std::count_if(row.begin(), row.end(), [](const QVariant& v) { return v.isNull(); }), 0);

        // Modify a middle record (Zed): stored, then the last record is shown.
        QCOMPARE(look("cmdPrev, lblModify, txtPhone1=2111111, lblSave"), "Bea @2 browsing 1100 0111 -M");
        // Then the last record itself; moving while modifying (Save stores into the record now current);
        // another contact's names are no obstacle when modifying.
        act("lblModify, txtPhone1=3111111, lblSave, cmdFirst, lblModify, cmdNext, txtPhone1=2222222, "
            "lblSave, "
            "lblModify, txtFirstName=Amy, txtLastName=Ross, txtPhone1=3333333, lblSave");
        QCOMPARE(stored.join(' '),
                 "Amy:1234567 Amy:1234567,Zed: Amy:1234567,Zed:,Bea: Amy:1234567,Zed:2111111,Bea: "
                 "Amy:1234567,Zed:2111111,Bea:3111111 Amy:1234567,Zed:2222222,Bea:3111111 "
                 "Amy:1234567,Zed:2222222,Amy:3333333");
        QCOMPARE(program.prompts(), QStringList(7, "Record Saved"));
    }

    // Typed into an editable list and left: kept exactly, never completed from an item or matched
    // regardless of case. A cleared list has no item chosen, so Down starts from the first again.
    void editableListsKeepWhatWasTyped_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("typed");
        QTest::newRow("a start of an item") << "cbCategory"
                                            << "category"
                                            << "Business";
        QTest::newRow("an item in another case") << "cbCategory"
                                                 << "category"
                                                 << "friends";
        QTest::newRow("a start of a year") << "cbDOBYear"
                                           << "dobYear"
                                           << "199";
        QTest::newRow("a start of a sub-category") << "cbSubCategory"
                                                   << "subCategory"
                                                   << "Mom";
    }

    void editableListsKeepWhatWasTyped()
    {
        QFETCH(QString, list);
        QFETCH(QString, column);
        QFETCH(QString, typed);
        Program program;
        program.addContact("ann", {{"category", "Relatives"},
                                   {"subCategory", "Mom Side"},
                                   {"firstName", "Bea"},
                                   {"dobYear", "1990"}});
        act("@ann, lblAddNew");
        auto* box = control<QComboBox>(Forms::frmDetails(), list);
        for (auto* cleared : Forms::frmDetails().window()->findChildren<QComboBox*>())
            QVERIFY2(cleared->currentIndex() == (cleared->isEditable() ? -1 : 0),
                     qPrintable(cleared->objectName()));
        box->setFocus();
        QTest::keyClicks(box->lineEdit(), typed);
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Tab);
        QCOMPARE(look("txtFirstName=Al, lblSave", list), typed + " @1 browsing 1100 0111 A-");
        QCOMPARE(value(program, "select " + column + " from main where firstName = 'Al'"), typed);
    }

    void duplicatesAreRefusedOnlyOnAnExactMatch()
    {
        Program program;
        program.addContact("ann", {{"firstName", "Ann"}, {"secondName", "Lee"}, {"phone", "1111111"}});
        program.addContact("ann", {{"category", "Relatives"}, {"firstName", "Bob"}, {"secondName", "Stone"}});
        program.addContact("ann", {{"category", "Friends"}, {"firstName", "Cy"}}); // second name Null
        // The existing contact is shown and current; its Null e-mail leaves the typed one.
        act("@ann, cmdLast, lblAddNew, txtFirstName=Ann, txtLastName=Lee, txtPhone1=2222222, txtEMailH=x@y");
        QCOMPARE(look("lblSave", "txtPhone1 txtEMailH"), "1111111|x@y @0 browsing 1111 0111 A-");

        const QString last = "select firstName||'|'||secondName from main order by rowid desc limit 1";
        // Other case, spaces around a name, names from two records, "" against Null, quotes.
        for (const QString names : {"ann|Lee", "Ann|Lee ", " Ann |Lee", "Bob|Lee", "Cy|", "O'Hara|D'Arcy"}) {
            act("lblAddNew, txtFirstName=" + QString(names).replace('|', ", txtLastName=") + ", lblSave");
            QCOMPARE(value(program, last), names);
        }
        // The duplicate alone was refused, and not stored: the three given and the six just saved.
        QCOMPARE(program.prompts(), QStringList{"Record Already Exist"} + QStringList(6, "Record Saved"));
        QCOMPARE(value(program, "select count(*) from main"), "9");
    }
};

VANTREL_TEST_MAIN(ContactEditingTest)
#include "tst_contactediting.moc"
