// Editing in the contact window: AddNew, Modify, Cancel, Clear, the entry
// checks and Save, driven through the real window.
#include "TestSupport.h"

#include "accounts/frmVantrel.h"
#include "app/Forms.h"
#include "app/clsConnection.h"
#include "contacts/frmDetails.h"
#include "data/RecordSet.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace testsupport;

namespace {

// The entry controls, in the order of the columns of a contact after `user`.
const QStringList entries = QString("cbCategory cbSubCategory txtFirstName txtLastName txtAddress txtPhone1 "
                                    "txtPhone2 txtMobile txtFax cbDOBDate cbDOBMonth cbDOBYear cbANIDate "
                                    "cbANIMonth cbANIYear txtAddressOffice txtPhone1Office txtPhone2Office "
                                    "txtMobileOffice txtFaxOffice txtEMailH txtEMailO")
                                .split(' ');
const QStringList numberBoxes{"txtPhone1", "txtPhone2",       "txtPhone1Office", "txtPhone2Office",
                              "txtMobile", "txtMobileOffice", "txtFax",          "txtFaxOffice"};
const QStringList navigation{"cmdFirst", "cmdPrev", "cmdNext", "cmdLast"};
// Off while adding or modifying, on while browsing; Save and its twin the other way round.
const QStringList editActions{"lblAddNew", "lblModify", "lblSearch", "lblPrint",
                              "cmdAdd",    "cmdModify", "cmdSearch", "cmdPrint"};
const QStringList saveActions{"lblSave", "cmdSave"};
const QString allColumns = QStringLiteral(
    "user, category, subCategory, firstName, secondName, address, phone, phone2, mobile, fax, dobDate, "
    "dobMonth, dobYear, aniDate, aniMonth, aniYear, addressOff, phoneOff, phone2Off, mobileOff, faxOff, "
    "EMailH, EMailO");

frmDetails& details()
{
    return Forms::frmDetails();
}

QWidget* widget(const QString& name)
{
    QWidget* found = control<QWidget>(details(), name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

void press(const QString& name)
{
    click(widget(name));
}

QString text(const QString& name)
{
    QWidget* w = widget(name);
    if (auto* line = qobject_cast<QLineEdit*>(w))
        return line->text();
    if (auto* note = qobject_cast<QPlainTextEdit*>(w))
        return note->toPlainText();
    return qobject_cast<QComboBox*>(w)->currentText();
}

void type(const QString& name, const QString& value)
{
    QWidget* w = widget(name);
    if (auto* line = qobject_cast<QLineEdit*>(w))
        line->setText(value);
    else if (auto* note = qobject_cast<QPlainTextEdit*>(w))
        note->setPlainText(value);
    else if (auto* list = qobject_cast<QComboBox*>(w); list->isEditable())
        list->setEditText(value);
    else
        list->setCurrentIndex(list->findText(value));
}

// The controls among `names` whose enabled state is not `on`.
QStringList notSwitched(const QStringList& names, bool on)
{
    QStringList wrong;
    for (const QString& name : names) {
        if (widget(name)->isEnabled() != on)
            wrong << name;
    }
    return wrong;
}

// The controls that do not fit editing (adding, modifying) or browsing.
QStringList notInState(bool editing)
{
    return notSwitched(entries + saveActions, editing) + notSwitched(editActions, !editing);
}

void openFor(const QString& user)
{
    clsConnection::CurrentUser = user;
    details().show();
    QVERIFY(QTest::qWaitForWindowActive(details().window()));
}

// ChangeUser, then log in again through the login window (password "pw").
void changeUserTo(const QString& user)
{
    press("lblChangeUser");
    QVERIFY(!details().isLoaded());
    control<QLineEdit>(Forms::frmVantrel(), "txtUser")->setText(user);
    control<QLineEdit>(Forms::frmVantrel(), "txtPassword")->setText("pw");
    click(control<QWidget>(Forms::frmVantrel(), "lblLogin"));
    QVERIFY(details().isLoaded());
    QVERIFY(QTest::qWaitForWindowActive(details().window()));
}

int position()
{
    return int(details().contacts()->position());
}

int count(Program& program, const QString& where = {})
{
    return program.rows("select count(*) from main " + where).value(0).value(0).toInt();
}

} // namespace

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
        openFor("ann");

        // AddNew by its access key: empty, unlocked, the category focused; View,
        // ChangeUser and Clear stay as the load left them.
        pressKey(details().window(), Qt::Key_A, Qt::AltModifier);
        QCOMPARE(text("txtPhone1"), QString());
        QCOMPARE(notInState(true), QStringList());
        QCOMPARE(notSwitched(navigation, false), QStringList());
        QCOMPARE(notSwitched({"lblViewDetails"}, false), QStringList());
        QCOMPARE(notSwitched({"lblChangeUser", "lblClear", "lblCancel", "cmdCancel"}, true), QStringList());
        auto* category = qobject_cast<QComboBox*>(widget("cbCategory"));
        QWidget* focus = details().window()->focusWidget();
        QVERIFY(focus == category || focus == category->lineEdit());
        QVERIFY(details().isAdding() && !details().isModifying());
        QCOMPARE(position(), 0); // nothing is added before Save

        // Cancel by its access key re-shows the record; a Null column keeps what was typed.
        type("txtFirstName", "Zed");
        type("txtFax", "555");
        pressKey(details().window(), Qt::Key_N, Qt::AltModifier);
        QCOMPARE(text("txtPhone1"), QStringLiteral("1234567"));
        QCOMPARE(text("txtFax"), QStringLiteral("555"));
        QCOMPARE(position(), 0);
        QCOMPARE(notInState(false), QStringList());
        QCOMPARE(notSwitched(navigation, true), QStringList()); // all on, even on the first record
        QCOMPARE(notSwitched({"lblViewDetails"}, false), QStringList());
        QVERIFY(details().isAdding() && !details().isModifying());

        // Modify keeps the values, the position and the navigation buttons.
        press("cmdFirst");
        press("lblModify");
        QCOMPARE(text("txtFirstName"), QStringLiteral("Bea"));
        QCOMPARE(notInState(true), QStringList());
        QCOMPARE(notSwitched({"cmdFirst", "cmdPrev"}, false), QStringList());
        QCOMPARE(notSwitched({"cmdNext", "cmdLast"}, true), QStringList());
        QVERIFY(!details().isAdding() && details().isModifying());

        // Clear while modifying empties the boxes and changes nothing else.
        press("lblClear");
        QCOMPARE(text("txtFirstName"), QString());
        QCOMPARE(notInState(true), QStringList());

        // Cancel from searching: View, ChangeUser and Clear stay as Search left them.
        press("lblCancel");
        press("lblSearch");
        type("txtFirstName", "Cid");
        press("lblCancel");
        QCOMPARE(text("txtFirstName"), QStringLiteral("Bea"));
        QCOMPARE(notInState(false), QStringList());
        QCOMPARE(notSwitched({"lblViewDetails"}, true), QStringList());
        QCOMPARE(notSwitched({"lblChangeUser", "lblClear"}, false), QStringList());

        // Clear while browsing empties the display; the record stays current.
        press("cmdNext");
        QCOMPARE(text("txtFax"), QStringLiteral("999"));
        press("cmdClear");
        QCOMPARE(text("txtFax"), QString());
        QCOMPARE(position(), 1);
        QCOMPARE(notSwitched(entries, false), QStringList());
        QVERIFY(program.messages.isEmpty());
    }

    void cancelAndTheFlagsOutliveSavesAndReloads()
    {
        Program program;
        program.addUser("ann", "pw");
        program.addUser("bob", "pw");
        program.addContact("ann", {{"category", "Friends"}, {"firstName", "Bea"}});
        openFor("ann");

        // Before any AddNew or Modify of the run, Cancel empties the boxes instead.
        press("lblCancel");
        QCOMPARE(text("txtFirstName"), QString());
        QCOMPARE(notSwitched(navigation, true), QStringList()); // even with one record

        press("lblModify");
        type("txtFirstName", "Typed");
        press("lblCancel");
        QCOMPARE(text("txtFirstName"), QStringLiteral("Bea"));

        // The flags survive a Save ...
        press("lblAddNew");
        type("cbCategory", "Friends");
        type("txtFirstName", "Cy");
        press("lblSave");
        QCOMPARE(program.prompts(), QStringList{"Record Saved"});
        QVERIFY(details().isAdding() && !details().isModifying());
        press("lblClear");
        press("lblCancel");
        QCOMPARE(text("txtFirstName"), QStringLiteral("Cy"));

        // ... and an unload of the window: a later Cancel still re-shows.
        changeUserTo("ann");
        QVERIFY(details().isAdding() && !details().isModifying());
        press("lblClear");
        press("lblCancel");
        QCOMPARE(text("txtFirstName"), QStringLiteral("Bea"));

        // Leaving while modifying stores nothing and keeps IsModifying.
        press("lblModify");
        type("txtFirstName", "Lost");
        changeUserTo("ann");
        QVERIFY(!details().isAdding() && details().isModifying());
        QCOMPARE(text("txtFirstName"), QStringLiteral("Bea"));
        QCOMPARE(count(program, "where firstName = 'Lost'"), 0);

        // An empty book has nothing to re-show: what was typed stays, locked.
        changeUserTo("bob");
        press("lblAddNew");
        type("txtFirstName", "Tmp");
        press("lblCancel");
        QCOMPARE(text("txtFirstName"), QStringLiteral("Tmp"));
        QCOMPARE(notInState(false), QStringList());
        QCOMPARE(program.messages.size(), 1);
    }

    void entriesAreCheckedInOrderBeforeAnythingIsStored()
    {
        const QString name = "Please Enter the First Name";
        const QString phone = "Please Enter Phone Number in 7 digits";
        const QString mobile = "Please Enter Mobile Number in 10 digits";
        const QString fax = "Please Enter Fax Number in 10 digits";
        const QString d8 = "12345678", d9 = "123456789", d11 = "12345678901";
        struct Case
        {
            QList<QPair<QString, QString>> typed; // the first failing box comes first
            QString message;
        };
        const QList<Case> cases{
            {{{"txtFirstName", "   "}}, name},
            // Only the name is reported; the long phone stays for the next Save.
            {{{"txtFirstName", ""}, {"txtPhone1", d9}}, name},
            {{{"txtPhone1", d8}, {"txtPhone2", "1234567"}}, phone},
            {{{"txtPhone2", d8}, {"txtFax", d11}}, phone},
            {{{"txtPhone1Office", d8}}, phone},
            {{{"txtPhone2Office", d8}, {"txtMobile", d11}}, phone},
            {{{"txtMobile", d11}, {"txtFax", d11}}, mobile},
            {{{"txtMobileOffice", d11}}, mobile},
            {{{"txtFax", d11}, {"txtMobile", "1234567890"}}, fax},
            {{{"txtFaxOffice", d11}}, fax},
        };
        Program program;
        program.addContact("ann", {{"category", "Friends"}, {"firstName", "Bea"}, {"secondName", "Cole"}});
        openFor("ann");
        for (const Case& c : cases) {
            press("lblAddNew");
            type("txtFirstName", "Al");
            for (const auto& [control, value] : c.typed)
                type(control, value);
            program.messages.clear();
            press("lblSave");
            const QString wiped = c.typed.first().first;
            const QByteArray what = (wiped + ": " + c.typed.first().second).toUtf8();
            QVERIFY2(program.prompts() == QStringList{c.message}, what);
            QVERIFY2(text(wiped).isEmpty(), what);
            QVERIFY2(details().window()->focusWidget() == widget(wiped), what);
            for (const auto& [control, value] : c.typed.mid(1))
                QVERIFY2(text(control) == value, qPrintable(control));
            QCOMPARE(notInState(true), QStringList()); // still adding
            QCOMPARE(count(program), 1);
        }

        // Phone before fax; after each correction Save runs again from the start,
        // duplicate test included.
        press("lblAddNew");
        type("txtFirstName", "Bea");
        type("txtLastName", "Cole");
        type("txtPhone2", d8);
        type("txtFax", d11);
        program.messages.clear();
        press("lblSave");
        type("txtPhone2", "1234567");
        press("lblSave");
        type("txtFax", "1234567890");
        press("lblSave");
        QCOMPARE(program.prompts(), (QStringList{phone, fax, "Record Already Exist"}));
        QCOMPARE(count(program), 1);

        // The longest accepted numbers, and a name padded with spaces, are stored as typed.
        press("lblAddNew");
        type("txtFirstName", " Al ");
        for (const QString& number : numberBoxes)
            type(number, number.contains("Phone") ? "1234567" : "1234567890");
        program.messages.clear();
        press("lblSave");
        QCOMPARE(program.prompts(), QStringList{"Record Saved"});
        QCOMPARE(program.rows("select phone, phone2, phoneOff, phone2Off, mobile, mobileOff, fax, faxOff "
                              "from main where firstName = ' Al '"),
                 (QList<QVariantList>{{"1234567", "1234567", "1234567", "1234567", "1234567890", "1234567890",
                                       "1234567890", "1234567890"}}));
    }

    void numberBoxesTakeOnlyDigitsFromTheKeyboard()
    {
        Program program;
        openFor("ann");
        press("lblAddNew");
        for (const QString& name : numberBoxes) {
            auto* number = qobject_cast<QLineEdit*>(widget(name));
            number->setFocus();
            QTest::keyClicks(number, "12-3 4a+5.(X");
            QVERIFY2(number->text() == "12345", qPrintable(name + ": " + number->text()));
            QTest::keyClick(number, Qt::Key_Backspace);
            QTest::keyClick(number, Qt::Key_Home);
            QTest::keyClick(number, Qt::Key_Delete);
            QTest::keyClick(number, Qt::Key_Right);
            QTest::keyClick(number, Qt::Key_9);
            QTest::keyClick(number, Qt::Key_End);
            QTest::keyClick(number, Qt::Key_Return);
            QTest::keyClick(number, Qt::Key_0);
            QCOMPARE(number->text(), QStringLiteral("29340"));
            // Text that arrives without typing is taken as it is.
            number->setText("555-12ab");
            QCOMPARE(number->text(), QStringLiteral("555-12ab"));
            QGuiApplication::clipboard()->setText("(02) 77");
            number->selectAll();
            number->paste();
            QCOMPARE(number->text(), QStringLiteral("(02) 77"));
        }
        // The name, e-mail and address boxes take every key.
        for (const QString& name : QStringList{"txtFirstName", "txtEMailH", "txtAddress"}) {
            QTest::keyClicks(widget(name), "Jo-Ann 2.x@");
            QCOMPARE(text(name), QStringLiteral("Jo-Ann 2.x@"));
        }
        QVERIFY(program.messages.isEmpty());

        // Delete as the keyboard layer of a Linux desktop (xkb) delivers it: with DEL as its text.
        for (const QString& name : numberBoxes) {
            auto* number = qobject_cast<QLineEdit*>(widget(name));
            number->setText("1234");
            number->setCursorPosition(0);
            QTest::sendKeyEvent(QTest::Press, number, Qt::Key_Delete, QString(QChar(0x7f)), {});
            QTest::sendKeyEvent(QTest::Release, number, Qt::Key_Delete, QString(QChar(0x7f)), {});
            QVERIFY2(number->text() == "234", qPrintable(name + ": Delete left " + number->text()));
        }
    }

    void aNewContactIsStoredAsTextAndShownLast()
    {
        Program program;
        program.addUser("ann", "pw");
        // The same names in another user's book are no duplicate.
        program.addContact("bob", {{"category", "Friends"}, {"firstName", "Amy"}, {"secondName", "Ross"}});
        openFor("ann");

        press("lblAddNew");
        const QStringList values =
            QString("Friends|Home|Amy|Ross|1 Elm St\nFlat 2|1234567|7654321|0123456789|"
                    "0223456789|7|3|1975|||1999|Dock 4|2345678|3456789|0987654321|"
                    "0887654321|amy@home|amy@work")
                .split('|');
        QVariantList expected{"ann"};
        for (int i = 0; i < entries.size(); ++i) {
            type(entries[i], values[i]);
            expected << values[i];
        }
        // "Record Saved" comes once the row is on disk.
        int storedAtMessage = -1;
        program.onMessage = [&](const Message&) { storedAtMessage = count(program, "where user = 'ann'"); };
        press("lblSave");
        QCOMPARE(program.prompts(), QStringList{"Record Saved"});
        QCOMPARE(storedAtMessage, 1);
        QCOMPARE(program.rows("select " + allColumns + " from main where user = 'ann'"),
                 QList<QVariantList>{expected});
        QCOMPARE(details().contacts()->recordCount(), 1);
        QCOMPARE(text("txtFirstName"), QStringLiteral("Amy"));
        QCOMPARE(text("cbDOBDate"), QStringLiteral("7"));
        QCOMPARE(notInState(false), QStringList());
        QCOMPARE(notSwitched(navigation, false), QStringList());

        // Further adds in the same visit: each one is shown, as the last of the set.
        for (const auto& [category, first] :
             QList<QPair<QString, QString>>{{"Business Partners", "Zed"}, {"Friends", "Bea"}}) {
            press("lblAddNew");
            type("cbCategory", category);
            type("txtFirstName", first);
            press("lblSave");
            QCOMPARE(text("txtFirstName"), first);
            QCOMPARE(position(), details().contacts()->recordCount() - 1);
        }
        QCOMPARE(program.prompts(), (QStringList{"Record Saved", "Record Saved", "Record Saved"}));
        QCOMPARE(notSwitched({"cmdFirst", "cmdPrev"}, true), QStringList());
        QCOMPARE(notSwitched({"cmdNext", "cmdLast"}, false), QStringList());

        // Empty boxes and blank date items are stored as empty text, never Null.
        QString kinds = allColumns;
        kinds.replace(QRegularExpression("(\\w+)"), "typeof(\\1)");
        for (const QVariantList& row : program.rows("select " + kinds + " from main where user = 'ann'")) {
            for (const QVariant& kind : row)
                QCOMPARE(kind.toString(), QStringLiteral("text"));
        }
        QCOMPARE(count(program, "where firstName = 'Zed' and address = '' and aniDate = '' and EMailO = ''"),
                 1);

        // Opened again, the set is in category and first-name order.
        changeUserTo("ann");
        QStringList order{text("txtFirstName")};
        for (int i = 1; i < 3; ++i) {
            press("cmdNext");
            order << text("txtFirstName");
        }
        QCOMPARE(order, (QStringList{"Zed", "Amy", "Bea"}));
    }

    void duplicatesAreRefusedOnlyOnAnExactMatch()
    {
        Program program;
        program.addContact(
            "ann",
            {{"category", "Friends"}, {"firstName", "Ann"}, {"secondName", "Lee"}, {"phone", "1111111"}});
        program.addContact("ann", {{"category", "Relatives"}, {"firstName", "Bob"}, {"secondName", "Stone"}});
        program.addContact("ann", {{"category", "Friends"}, {"firstName", "Cy"}}); // second name Null
        openFor("ann");
        press("cmdLast");

        press("lblAddNew");
        type("txtFirstName", "Ann");
        type("txtLastName", "Lee");
        type("txtPhone1", "2222222");
        type("txtEMailH", "new@mail");
        press("lblSave");
        QCOMPARE(program.prompts(), QStringList{"Record Already Exist"});
        QCOMPARE(count(program), 3);
        // The existing contact is shown and current; its Null e-mail leaves the typed one.
        QCOMPARE(position(), 0);
        QCOMPARE(text("txtPhone1"), QStringLiteral("1111111"));
        QCOMPARE(text("txtEMailH"), QStringLiteral("new@mail"));
        QCOMPARE(notInState(false), QStringList());
        QCOMPARE(notSwitched(navigation, true), QStringList());

        // Other case, a trailing space, names from two records, "" against Null.
        const QList<QPair<QString, QString>> stored{
            {"ann", "Lee"}, {"Ann", "Lee "}, {"Bob", "Lee"}, {"Cy", ""}};
        for (const auto& [first, second] : stored) {
            press("lblAddNew");
            type("txtFirstName", first);
            type("txtLastName", second);
            program.messages.clear();
            press("lblSave");
            QVERIFY2(program.prompts() == QStringList{"Record Saved"},
                     qPrintable(first + "|" + second + "|"));
            QCOMPARE(program.rows("select firstName, secondName from main order by rowid desc limit 1"),
                     (QList<QVariantList>{{first, second}}));
        }
        QCOMPARE(count(program), 7);
    }

    void modifyStoresIntoTheCurrentRecordAndShowsTheLast()
    {
        Program program;
        program.addContact("ann", {{"category", "Friends"}, {"firstName", "Amy"}, {"phone", "1000000"}});
        program.addContact("ann", {{"category", "Friends"}, {"firstName", "Bea"}, {"phone", "2000000"}});
        program.addContact("ann", {{"category", "Relatives"}, {"firstName", "Cal"}, {"phone", "3000000"}});
        openFor("ann");
        // The phones on disk at the moment "Record Saved" is shown.
        QString phones;
        program.onMessage = [&](const Message& message) {
            if (message.prompt == QLatin1String("Record Saved"))
                phones =
                    program.rows("select group_concat(phone) from (select phone from main order by rowid)")
                        .value(0)
                        .value(0)
                        .toString();
        };

        // A middle record: stored, then the last record is shown.
        press("cmdNext");
        press("lblModify");
        type("txtPhone1", "2111111");
        press("lblSave");
        QCOMPARE(program.prompts(), QStringList{"Record Saved"});
        QCOMPARE(phones, QStringLiteral("1000000,2111111,3000000"));
        QCOMPARE(text("txtFirstName"), QStringLiteral("Cal"));
        QCOMPARE(position(), 2);
        QCOMPARE(notSwitched({"cmdFirst", "cmdPrev"}, true), QStringList());
        QCOMPARE(notSwitched({"cmdNext", "cmdLast"}, false), QStringList());
        QCOMPARE(notInState(false), QStringList());
        QVERIFY(details().isModifying());

        // The last record itself.
        press("lblModify");
        type("txtPhone1", "3111111");
        press("lblSave");
        QCOMPARE(phones, QStringLiteral("1000000,2111111,3111111"));

        // Moving while modifying: Save stores into the record now current.
        press("cmdFirst");
        press("lblModify");
        press("cmdNext");
        QCOMPARE(text("txtFirstName"), QStringLiteral("Bea"));
        type("txtPhone1", "2222222");
        press("lblSave");
        QCOMPARE(phones, QStringLiteral("1000000,2222222,3111111"));

        // Another contact's names are no obstacle when modifying.
        press("lblModify");
        type("txtFirstName", "Amy");
        type("txtPhone1", "3333333");
        press("lblSave");
        QCOMPARE(program.prompts().last(), QStringLiteral("Record Saved"));
        QCOMPARE(count(program, "where firstName = 'Amy'"), 2);
        QCOMPARE(count(program), 3);
    }

    void saveWithNeitherFlagStoresNothing()
    {
        Program program;
        program.addUser("eve", "pw");
        program.addContact("ann", {{"category", "Friends"}, {"firstName", "Amy"}, {"phone", "1000000"}});
        program.addContact("ann", {{"category", "Relatives"}, {"firstName", "Cal"}});
        openFor("ann");
        const QList<QVariantList> before = program.rows("select " + allColumns + " from main order by rowid");

        // A search shows a contact and enables Save, with neither AddNew nor Modify used.
        press("lblSearch");
        type("txtFirstName", "Amy");
        press("lblViewDetails");
        QCOMPARE(text("txtPhone1"), QStringLiteral("1000000"));
        press("lblSave");
        QVERIFY(program.messages.isEmpty());
        QCOMPARE(program.rows("select " + allColumns + " from main order by rowid"), before);
        QCOMPARE(text("txtFirstName"), QStringLiteral("Cal"));
        QCOMPARE(text("txtPhone1"), QString());
        QCOMPARE(position(), 1);
        QCOMPARE(notSwitched(saveActions, false), QStringList());

        // An empty book: a search that finds nothing, then Save by its access key.
        changeUserTo("eve");
        QVERIFY(!details().isAdding() && !details().isModifying());
        press("lblSearch");
        type("txtFirstName", "Eve");
        press("lblViewDetails");
        QCOMPARE(program.prompts(), QStringList{"No records found relating to this Criteria"});
        pressKey(details().window(), Qt::Key_S, Qt::AltModifier);
        QVERIFY(details().isLoaded());
        QCOMPARE(program.messages.size(), 1);
        QCOMPARE(text("txtFirstName"), QString());
        QCOMPARE(notSwitched(saveActions, false), QStringList());

        // ... and while modifying, with no record to take the changes.
        press("lblModify");
        type("txtFirstName", "Eve");
        press("lblSave");
        QVERIFY(details().isLoaded());
        QVERIFY(!program.prompts().contains("Record Saved"));
        QCOMPARE(notSwitched(entries, false), QStringList()); // back to browsing
        QVERIFY(!program.ended());
        QCOMPARE(program.rows("select " + allColumns + " from main order by rowid"), before);
    }
};

VANTREL_TEST_MAIN(ContactEditingTest)
#include "tst_contactediting.moc"
