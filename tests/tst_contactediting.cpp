// Editing in the contact window: AddNew, Modify, Cancel, Clear, the entry
// checks and Save, driven through the real window.
#include "Cases.h"
#include "TestSupport.h"

#include "contacts/ContactFields.h"
#include "data/Schema.h"

#include <QComboBox>
#include <QLineEdit>

using namespace testsupport;

class ContactEditingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void editingCommandsSwitchTheWindowStates()
    {
        Program program;
        program.folder.addContact("ann",
                                  {{"category", "Friends"}, {"firstName", "Bea"}, {"phone", "1234567"}});
        program.folder.addContact("ann", {{"category", "Friends"}, {"firstName", "Cid"}, {"fax", "999"}});
        program.folder.addContact("ann", {{"category", "Relatives"}, {"firstName", "Dee"}});
        // AddNew: empty, unlocked, the category focused, nothing added before Save.
        STEPS(openContacts("ann"), alt('a'));
        QCOMPARE(texts({"txtFirstName", "txtPhone1"}), "|");
        QCOMPARE(contactWindow(),
                 (ContactWindow{.position = 0, .editing = true, .moves = "0000", .adding = true}));
        QCOMPARE(openWindow()->focusWidget(), find("cbCategory"));
        // Cancel re-shows the record; a Null column keeps what was typed; all moves are on.
        STEPS(type("txtFirstName", "Zed"), type("txtFax", "555"), alt('n'));
        QCOMPARE(texts({"txtFirstName", "txtPhone1", "txtFax"}), "Bea|1234567|555");
        QCOMPARE(contactWindow(), (ContactWindow{.position = 0, .moves = "1111", .adding = true}));
        // Modify keeps the values, the position and the moves; Clear changes nothing else.
        STEPS(click("cmdFirst"), click("lblModify"));
        QCOMPARE(text("txtFirstName"), "Bea");
        const ContactWindow modifying{.position = 0, .editing = true, .moves = "0011", .modifying = true};
        QCOMPARE(contactWindow(), modifying);
        STEPS(click("lblClear"));
        QCOMPARE(text("txtFirstName"), "");
        QCOMPARE(contactWindow(), modifying);
        // After a Modify, Cancel from searching re-shows the record too, and leaves View, ChangeUser and
        // Clear as Search set them.
        STEPS(click("lblCancel"), click("lblSearch"), type("txtFirstName", "Cid"), click("lblCancel"));
        QCOMPARE(text("txtFirstName"), "Bea");
        const ContactWindow searched{.position = 0,
                                     .moves = "1111",
                                     .view = true,
                                     .changeUser = false,
                                     .clear = false,
                                     .modifying = true};
        QCOMPARE(contactWindow(), searched);
        // Clear while browsing empties the display; the record stays current.
        STEPS(click("cmdNext"), click("cmdClear"));
        QCOMPARE(texts({"txtFirstName", "txtFax"}), "|");
        ContactWindow moved = searched;
        moved.position = 1;
        QCOMPARE(contactWindow(), moved);
        QVERIFY(program.messages.isEmpty());
    }

    void cancelAndTheFlagsOutliveSavesAndReloads()
    {
        Program program;
        program.folder.addContact("ann", {{"category", "Friends"}, {"firstName", "Bea"}});
        program.folder.addContact("ann", {{"category", "Friends"}, {"firstName", "Dan"}});
        // Before any AddNew or Modify of the run, Cancel empties the boxes instead.
        STEPS(openContacts("ann"), click("lblCancel"));
        QCOMPARE(text("txtFirstName"), "");
        QCOMPARE(contactWindow(), (ContactWindow{.position = 0, .moves = "1111"}));
        // With neither flag set, Save after a search stores nothing and shows the last contact.
        STEPS(click("lblSearch"), type("txtFirstName", "Bea"), click("lblViewDetails"), click("lblSave"));
        QCOMPARE(text("txtFirstName"), "Dan");
        QCOMPARE(contactWindow(), (ContactWindow{.position = 1, .moves = "1100"}));

        // An empty book, with neither flag set: a search that finds nothing, then Save by its key.
        STEPS(openContacts("bob"), click("lblSearch"), type("txtFirstName", "Eve"), click("lblViewDetails"),
              alt('s'));
        QCOMPARE(text("txtFirstName"), "");
        QCOMPARE(contactWindow(), (ContactWindow{.position = -1, .moves = "0000"}));
        // Nothing to re-show: what was typed stays, locked.
        STEPS(click("lblAddNew"), type("txtFirstName", "Tmp"), click("lblCancel"));
        QCOMPARE(text("txtFirstName"), "Tmp");
        QCOMPARE(contactWindow(), (ContactWindow{.position = -1, .moves = "1111", .adding = true}));
        // Save while modifying, with no record to take the changes.
        STEPS(click("lblModify"), type("txtFirstName", "Eve"), click("lblSave"));
        QCOMPARE(text("txtFirstName"), "");
        QCOMPARE(contactWindow(), (ContactWindow{.position = -1, .moves = "0000", .modifying = true}));

        // The flags survive an unload of the window and a Save: a later Cancel still re-shows.
        STEPS(openContacts("ann"), click("lblClear"), click("lblCancel"));
        QCOMPARE(text("txtFirstName"), "Bea");
        QCOMPARE(contactWindow(), (ContactWindow{.position = 0, .moves = "1111", .modifying = true}));
        STEPS(click("lblAddNew"), type("cbCategory", "Friends"), type("txtFirstName", "Cy"), click("lblSave"),
              click("lblClear"), click("lblCancel"));
        QCOMPARE(text("txtFirstName"), "Cy");
        QCOMPARE(contactWindow(), (ContactWindow{.position = 2, .moves = "1111", .adding = true}));
        // Leaving while modifying stores nothing and keeps IsModifying; the load leaves cmdSave on.
        STEPS(click("lblModify"), type("txtFirstName", "Lost"), openContacts("ann"));
        QCOMPARE(text("txtFirstName"), "Bea");
        QCOMPARE(
            contactWindow(),
            (ContactWindow{.position = 0, .moves = "0011", .modifying = true, .outOfLine = {"cmdSave"}}));
        // Only Cy was stored: the Null faxes (0 here) of Bea and Dan were not written back.
        QCOMPARE(
            program.folder.value("select group_concat(firstName||ifnull(fax, '0')) from main").toString(),
            "Bea0,Dan0,Cy");
        QCOMPARE(program.prompts(),
                 (QStringList{"No records found relating to this Criteria",
                              "There is no contact to save the changes into.", "Record Saved"}));
    }

    // The first failing box is wiped and focused, with its message; the others stay as typed
    // (contactediting/entries-checked.cases).
    void entriesAreChecked_data() { addCases("contactediting/entries-checked.cases"); }

    void entriesAreChecked()
    {
        QFETCH(Case, sample);
        const QStringList typed = sample.all("typed");
        Program program;
        program.folder.addContact("ann", {{"category", "Friends"}, {"firstName", "Bea"}});
        STEPS(openContacts("ann"), click("lblAddNew"), type("txtFirstName", "Al"));
        for (const QString& entry : typed)
            STEPS(type(entry.section('=', 0, 0), entry.section('=', 1)));
        STEPS(click("lblSave"));
        QCOMPARE(program.prompts(), QStringList{sample["says"]});
        QCOMPARE(contactWindow(),
                 (ContactWindow{.position = 0, .editing = true, .moves = "0000", .adding = true}));
        QCOMPARE(program.folder.value("select count(*) from main").toInt(), 1);
        const QString failing = typed[0].section('=', 0, 0);
        QVERIFY(find(failing)->hasFocus());
        QCOMPARE(text(failing), "");
        for (const QString& entry : typed.mid(1))
            QCOMPARE(text(entry.section('=', 0, 0)), entry.section('=', 1));
    }

    void correctionsAreCheckedAgainAndNumberBoxesTakeOnlyDigits()
    {
        Program program;
        program.folder.addContact("ann",
                                  {{"category", "Friends"}, {"firstName", "Bea"}, {"secondName", "Cole"}});
        // Phone before fax; after each correction Save runs again from the start, duplicate test included.
        STEPS(openContacts("ann"), click("lblAddNew"), type("txtFirstName", "Bea"),
              type("txtLastName", "Cole"), type("txtPhone2", "12345678"), type("txtFax", "12345678901"),
              click("lblSave"), type("txtPhone2", "1234567"), click("lblSave"), type("txtFax", "1234567890"),
              click("lblSave"));
        QCOMPARE(program.prompts(),
                 (QStringList{"Please Enter Phone Number in 7 digits", "Please Enter Fax Number in 10 digits",
                              "Record Already Exist"}));

        // Only digits and backspace get through to the number boxes from the keyboard.
        STEPS(click("lblAddNew"));
        for (const contacts::FieldControl& field : contacts::contactFields) {
            if (!field.isNumberBox())
                continue;
            auto* number = find<QLineEdit>(field.control);
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
            QCOMPARE(QString(field.control) + ' ' + number->text(), QString(field.control) + " (02) 79340");
        }
        // The name, e-mail and address boxes take every key.
        for (const char* box : {"txtFirstName", "txtEMailH", "txtAddress"})
            QTest::keyClicks(find(box), "Jo-Ann 2.x@");
        QCOMPARE(texts({"txtFirstName", "txtEMailH", "txtAddress"}), "Jo-Ann 2.x@|Jo-Ann 2.x@|Jo-Ann 2.x@");
        QCOMPARE(program.messages.size(), 3);
    }

    void savedContactsAreStoredAsTextAndTheLastIsShown()
    {
        Program program;
        // The same names in another user's book are no duplicate.
        program.folder.addContact("bob",
                                  {{"category", "Friends"}, {"firstName", "Amy"}, {"secondName", "Ross"}});
        // Every number box at its longest accepted length.
        const QStringList amy =
            QString("ann|Friends|Home|Amy|Ross|1 Elm St\nFlat 2|1234567|7654321|0123456789|"
                    "0223456789|7|3|1975|||1999|Dock 4|2345678|3456789|0987654321|"
                    "0887654321|amy@home|amy@work")
                .split('|');
        STEPS(openContacts("ann"), click("lblAddNew"));
        for (int i = 0; i < entryControls().size(); ++i)
            STEPS(type(entryControls()[i], amy[i + 1]));
        // The phones on disk at each message ("Record Saved" comes once the row is there); Bob's is Null.
        QStringList stored;
        program.onMessage = [&](const Message&) {
            stored << program.folder
                          .value("select group_concat(firstName||':'||phone) from "
                                 "(select * from main order by rowid) as t")
                          .toString();
        };
        STEPS(click("lblSave"));
        QCOMPARE(texts({"txtFirstName", "cbDOBDate"}), "Amy|7");
        QCOMPARE(contactWindow(), (ContactWindow{.position = 0, .moves = "0000", .adding = true}));
        const QString typed = data::schema::mainColumns().join(", "); // and a UID, which no window shows
        QCOMPARE(program.folder.rows("select " + typed + " from main where user = 'ann'"),
                 Rows{QVariant(amy).toList()});

        // Further adds in the same visit: each one is shown, as the last of the set.
        for (const auto& [category, name, at] :
             {std::tuple{"Business Partners", "Zed", 1}, {"Friends", "Bea", 2}}) {
            STEPS(click("lblAddNew"), type("cbCategory", category), type("txtFirstName", name),
                  click("lblSave"));
            QCOMPARE(text("txtFirstName"), name);
            QCOMPARE(contactWindow(), (ContactWindow{.position = at, .moves = "1100", .adding = true}));
        }
        // Empty boxes and blank date items are stored as empty text, never Null.
        for (const QVariantList& row : program.folder.rows("select * from main where user = 'ann'"))
            QVERIFY(std::none_of(row.begin(), row.end(), [](const QVariant& v) { return v.isNull(); }));

        // Modify a middle record (Zed): stored, then the last record is shown.
        STEPS(click("cmdPrev"), click("lblModify"), type("txtPhone1", "2111111"), click("lblSave"));
        QCOMPARE(text("txtFirstName"), "Bea");
        QCOMPARE(contactWindow(), (ContactWindow{.position = 2, .moves = "1100", .modifying = true}));
        // Then the last record itself; moving while modifying (Save stores into the record now current);
        // another contact's names are no obstacle when modifying.
        STEPS(click("lblModify"), type("txtPhone1", "3111111"), click("lblSave"), click("cmdFirst"),
              click("lblModify"), click("cmdNext"), type("txtPhone1", "2222222"), click("lblSave"),
              click("lblModify"), type("txtFirstName", "Amy"), type("txtLastName", "Ross"),
              type("txtPhone1", "3333333"), click("lblSave"));
        QCOMPARE(stored,
                 QString("Amy:1234567;Amy:1234567,Zed:;Amy:1234567,Zed:,Bea:;Amy:1234567,Zed:2111111,Bea:;"
                         "Amy:1234567,Zed:2111111,Bea:3111111;Amy:1234567,Zed:2222222,Bea:3111111;"
                         "Amy:1234567,Zed:2222222,Amy:3333333")
                     .split(';'));
        QCOMPARE(program.prompts(), QStringList(7, "Record Saved"));
    }

    // Typed into an editable list and left: kept exactly, never completed from an item or matched
    // regardless of case. A cleared list has no item chosen, so Down starts from the first again.
    void editableListsKeepWhatWasTyped_data() { addCases("contactediting/editable-lists.cases"); }

    void editableListsKeepWhatWasTyped()
    {
        QFETCH(Case, sample);
        const QString list = sample["list"], column = sample["column"], typed = sample["typed"];
        Program program;
        program.folder.addContact("ann", {{"category", "Relatives"},
                                          {"subCategory", "Mom Side"},
                                          {"firstName", "Bea"},
                                          {"dobYear", "1990"}});
        STEPS(openContacts("ann"), click("lblAddNew"));
        for (auto* cleared : openWindow()->findChildren<QComboBox*>())
            QVERIFY2(cleared->currentIndex() == (cleared->isEditable() ? -1 : 0),
                     qPrintable(cleared->objectName()));
        auto* box = find<QComboBox>(list);
        box->setFocus();
        QTest::keyClicks(box->lineEdit(), typed);
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Tab);
        STEPS(type("txtFirstName", "Al"), click("lblSave"));
        QCOMPARE(text(list), typed);
        QCOMPARE(program.folder.value("select " + column + " from main where firstName = 'Al'").toString(),
                 typed);
    }

    void duplicatesAreRefusedOnlyOnAnExactMatch()
    {
        Program program;
        program.folder.addContact("ann", {{"firstName", "Ann"}, {"secondName", "Lee"}, {"phone", "1111111"}});
        program.folder.addContact("ann",
                                  {{"category", "Relatives"}, {"firstName", "Bob"}, {"secondName", "Stone"}});
        program.folder.addContact("ann", {{"category", "Friends"}, {"firstName", "Cy"}}); // second name Null
        // The existing contact is shown and current; its Null e-mail leaves the typed one.
        STEPS(openContacts("ann"), click("cmdLast"), click("lblAddNew"), type("txtFirstName", "Ann"),
              type("txtLastName", "Lee"), type("txtPhone1", "2222222"), type("txtEMailH", "x@y"),
              click("lblSave"));
        QCOMPARE(texts({"txtPhone1", "txtEMailH"}), "1111111|x@y");
        QCOMPARE(contactWindow(), (ContactWindow{.position = 0, .moves = "1111", .adding = true}));

        // Other case, spaces around a name, names from two records, "" against Null, quotes.
        for (const QString names : {"ann|Lee", "Ann|Lee ", " Ann |Lee", "Bob|Lee", "Cy|", "O'Hara|D'Arcy"}) {
            STEPS(click("lblAddNew"), type("txtFirstName", names.section('|', 0, 0)),
                  type("txtLastName", names.section('|', 1)), click("lblSave"));
            QCOMPARE(program.folder
                         .value("select firstName||'|'||secondName from main order by rowid desc limit 1")
                         .toString(),
                     names);
        }
        // The duplicate alone was refused, and not stored: the three given and the six just saved.
        QCOMPARE(program.prompts(), QStringList{"Record Already Exist"} + QStringList(6, "Record Saved"));
        QCOMPARE(program.folder.value("select count(*) from main").toInt(), 9);
    }
};

VANTREL_TEST_MAIN(ContactEditingTest)
#include "tst_contactediting.moc"
