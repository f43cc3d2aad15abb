// Search and View by name, and Print staging, driven through the real contact window.
#include "TestSupport.h"

#include "accounts/frmVantrel.h"
#include "app/Forms.h"
#include "app/clsConnection.h"
#include "contacts/frmDetails.h"
#include "data/RecordSet.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace testsupport;

namespace {

const QString notFound = QStringLiteral("No records found relating to this Criteria");

// The columns a contact is made of, as printDetails holds them.
const QString contactColumns = QStringLiteral(
    "category, subCategory, firstName, secondName, address, phone, phone2, mobile, fax, dobDate, dobMonth, "
    "dobYear, aniDate, aniMonth, aniYear, addressOff, phoneOff, phone2Off, mobileOff, faxOff, EMailH, "
    "EMailO");

const std::initializer_list<const char*> entryControls = {
    "cbCategory", "cbSubCategory",   "cbANIDate",    "cbANIMonth",      "cbANIYear",  "cbDOBDate",
    "cbDOBMonth", "cbDOBYear",       "txtFirstName", "txtLastName",     "txtAddress", "txtAddressOffice",
    "txtPhone1",  "txtPhone1Office", "txtPhone2",    "txtPhone2Office", "txtMobile",  "txtMobileOffice",
    "txtFax",     "txtFaxOffice",    "txtEMailH",    "txtEMailO"};

frmDetails& details()
{
    return Forms::frmDetails();
}

QWidget* widget(const char* name)
{
    return control<QWidget>(details(), QLatin1String(name));
}

QLineEdit* box(const char* name)
{
    return control<QLineEdit>(details(), QLatin1String(name));
}

QString textOf(const char* name)
{
    if (auto* list = qobject_cast<QComboBox*>(widget(name)))
        return list->currentText();
    if (auto* multi = qobject_cast<QPlainTextEdit*>(widget(name)))
        return multi->toPlainText();
    return box(name)->text();
}

// The named controls whose enabled state is not the wanted one.
QStringList wrongly(bool enabled, std::initializer_list<const char*> names)
{
    QStringList wrong;
    for (const char* name : names) {
        if (widget(name)->isEnabled() != enabled)
            wrong << QLatin1String(name);
    }
    return wrong;
}

QMap<QString, QVariant> contact(const char* category, const char* first, const char* second)
{
    return {{QStringLiteral("category"), QString::fromUtf8(category)},
            {QStringLiteral("firstName"), QString::fromUtf8(first)},
            {QStringLiteral("secondName"), QString::fromUtf8(second)}};
}

// Every column filled with its own text.
QMap<QString, QVariant> fullContact(const char* category, const char* first)
{
    QMap<QString, QVariant> values;
    for (const QString& column : contactColumns.split(QLatin1String(", ")))
        values.insert(column, QStringLiteral("%1 of %2").arg(column, QString::fromUtf8(first)));
    values.insert(QStringLiteral("category"), QString::fromUtf8(category));
    values.insert(QStringLiteral("firstName"), QString::fromUtf8(first));
    return values;
}

void openAs(const QString& user)
{
    clsConnection::CurrentUser = user;
    details().show();
    QVERIFY(details().isLoaded());
}

int position()
{
    return int(details().contacts()->position());
}

// Search, type the names, View; then where the window landed and what it said.
QString view(Program& program, const QString& first, const QString& second = {})
{
    program.messages.clear();
    click(widget("lblSearch"));
    box("txtFirstName")->setText(first);
    box("txtLastName")->setText(second);
    click(widget("lblViewDetails"));
    return QStringLiteral("%1 %2 at %3 [%4]")
        .arg(box("txtFirstName")->text(), box("txtLastName")->text())
        .arg(position())
        .arg(program.prompts().join(QLatin1String("; ")));
}

// Per column of two contact rows: where they differ, Null and empty text told apart.
QString differences(const QVariantList& actual, const QVariantList& expected)
{
    const QStringList names = contactColumns.split(QLatin1String(", "));
    auto shown = [](const QVariant& v) {
        return v.isNull() ? QStringLiteral("Null") : u'\'' + v.toString() + u'\'';
    };
    QStringList out;
    for (int i = 0; i < names.size(); ++i) {
        if (shown(actual.value(i)) != shown(expected.value(i)))
            out << names[i] + QLatin1String(": ") + shown(actual.value(i)) + QLatin1String(" for ") +
                       shown(expected.value(i));
    }
    return out.join(QLatin1String("; "));
}

QList<QVariantList> staged(Program& program)
{
    return program.rows(QStringLiteral("select ") + contactColumns + QStringLiteral(" from printDetails"));
}

QVariantList stored(Program& program, const QString& firstName)
{
    return program
        .rows(QStringLiteral("select ") + contactColumns + QStringLiteral(" from main where firstName = ?"),
              {firstName})
        .value(0);
}

} // namespace

class SearchPrintTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void searchOpensOnlyTheNameBoxes()
    {
        Program program;
        program.addContact(QStringLiteral("ann"), contact("Friends", "Amy", "Stone"));
        QMap<QString, QVariant> bea = fullContact("Friends", "Bea");
        bea.insert(QStringLiteral("dobDate"), QStringLiteral("7"));
        program.addContact(QStringLiteral("ann"), bea);
        program.addContact(QStringLiteral("ann"), contact("Relatives", "Cy", "Ross"));
        openAs(QStringLiteral("ann"));
        click(widget("cmdNext")); // Bea, in the middle: every navigation button is on
        QCOMPARE(textOf("cbDOBDate"), QStringLiteral("7"));

        pressKey(details().window(), Qt::Key_E, Qt::AltModifier);
        for (const char* name : entryControls)
            QVERIFY2(textOf(name).isEmpty(), name);
        QCOMPARE(wrongly(true, {"lblViewDetails", "lblCancel", "lblQuit"}), QStringList());
        QStringList open;
        for (const char* name : entryControls) {
            if (widget(name)->isEnabled())
                open << QLatin1String(name);
        }
        QCOMPARE(open, (QStringList{QStringLiteral("txtFirstName"), QStringLiteral("txtLastName")}));
        QCOMPARE(wrongly(false, {"lblAddNew", "lblModify", "lblSearch", "lblSave", "lblChangeUser",
                                 "lblPrint", "lblClear"}),
                 QStringList());
        // The keyboard twins and the navigation buttons are left as they were.
        QCOMPARE(
            wrongly(true, {"cmdAdd", "cmdModify", "cmdSave", "cmdCancel", "cmdClear", "cmdSearch", "cmdView",
                           "cmdPrint", "cmdQuit", "cmdUser", "cmdFirst", "cmdPrev", "cmdNext", "cmdLast"}),
            QStringList());
        QCOMPARE(position(), 1); // the contact shown before stays current
        QVERIFY(!details().isAdding() && !details().isModifying());
        QVERIFY(program.messages.isEmpty());

        // Cancel ends the search without searching, but not all of its label changes.
        box("txtFirstName")->setText(QStringLiteral("Cy"));
        click(widget("lblCancel"));
        QCOMPARE(position(), 1);
        QCOMPARE(wrongly(false, {"txtFirstName", "txtLastName", "lblChangeUser", "lblClear"}), QStringList());
        QCOMPARE(wrongly(true, {"lblViewDetails", "lblSearch", "lblAddNew", "lblPrint"}), QStringList());
    }

    void viewByFirstName()
    {
        Program program;
        program.addContact(QStringLiteral("ann"), contact("Relatives", "Amy", "Lee"));
        program.addContact(QStringLiteral("ann"), contact("Friends", "Zoe", "Park"));
        program.addContact(QStringLiteral("ann"), contact("Friends", "Amy", "Stone"));
        program.addContact(QStringLiteral("ann"), contact("Business Partners", "Bob", "Hill"));
        program.addContact(QStringLiteral("ann"), contact("Relatives", "Yan", "Li"));
        program.addContact(QStringLiteral("ann"), contact("Friends", "D'Arcy", "O'Brien"));
        program.addContact(QStringLiteral("ann"), contact("Friends", "  ", "Blank"));
        program.addContact(QStringLiteral("bob"), contact("Business Partners", "Amy", "Other"));
        // In the window: Bob, "  ", Amy Stone, D'Arcy, Zoe, Amy Lee, Yan.
        openAs(QStringLiteral("ann"));
        click(widget("cmdLast")); // the search starts from the first contact, wherever the window stands

        QCOMPARE(view(program, QStringLiteral("Amy")), QStringLiteral("Amy Stone at 2 []"));
        // Back to browsing on the contact found.
        QCOMPARE(wrongly(true, {"lblAddNew", "lblModify", "lblSearch", "lblSave", "lblChangeUser", "lblPrint",
                                "lblClear"}),
                 QStringList());
        QCOMPARE(wrongly(false, {"lblViewDetails", "txtFirstName", "txtLastName", "cbCategory", "txtPhone1"}),
                 QStringList());
        QCOMPARE(textOf("cbCategory"), QStringLiteral("Friends"));

        QCOMPARE(view(program, QStringLiteral("D'Arcy")), QStringLiteral("D'Arcy O'Brien at 3 []"));
        QCOMPARE(view(program, QStringLiteral("D'Arcy"), QStringLiteral("O'Brien")),
                 QStringLiteral("D'Arcy O'Brien at 3 []"));
        QCOMPARE(view(program, QStringLiteral("  ")),
                 QStringLiteral("   Blank at 1 []")); // blanks are a name
        QCOMPARE(view(program, QStringLiteral("Yan")), QStringLiteral("Yan Li at 6 []"));

        // Names are compared exactly: no case folding, no trimming.
        for (const char* typed : {"amy", "AMY", " Amy", "Amy ", "Am", "Nobody", "x' or '1'='1"})
            QCOMPARE(view(program, QString::fromUtf8(typed)),
                     QStringLiteral("Yan Li at 6 [") + notFound + u']');

        // No first name: nothing is searched and the contact current before is shown again.
        QCOMPARE(view(program, QStringLiteral("Zoe")), QStringLiteral("Zoe Park at 4 []"));
        QCOMPARE(view(program, QString(), QStringLiteral("Stone")),
                 QStringLiteral("Zoe Park at 4 [Please Enter First Name]"));
        QCOMPARE(wrongly(false, {"lblViewDetails", "txtFirstName", "txtLastName"}), QStringList());
        QCOMPARE(wrongly(true, {"lblSearch", "lblChangeUser"}), QStringList());

        // A contact added in this visit sits at the end of the set, though its category sorts first.
        program.messages.clear();
        click(widget("lblAddNew"));
        control<QComboBox>(details(), QStringLiteral("cbCategory"))
            ->setEditText(QStringLiteral("Business Partners"));
        box("txtFirstName")->setText(QStringLiteral("Amy"));
        box("txtLastName")->setText(QStringLiteral("New"));
        click(widget("lblSave"));
        QCOMPARE(program.prompts(), QStringList{QStringLiteral("Record Saved")});
        QCOMPARE(view(program, QStringLiteral("Amy")), QStringLiteral("Amy Stone at 2 []"));
        QCOMPARE(view(program, QStringLiteral("Amy"), QStringLiteral("New")),
                 QStringLiteral("Amy New at 7 []"));
    }

    void viewByTwoNamesLooksForwardFromTheFirstNameMatch()
    {
        Program program;
        program.addContact(QStringLiteral("ann"), contact("Work", "Zed", "Brown"));
        program.addContact(QStringLiteral("ann"), contact("Friends", "Dan", "Smith"));
        program.addContact(QStringLiteral("ann"), contact("Business Partners", "Carl", "Smith"));
        program.addContact(QStringLiteral("ann"), contact("Work", "Amy", "Smith"));
        program.addContact(QStringLiteral("ann"), contact("Friends", "Amy", "Jones"));
        program.addContact(QStringLiteral("ann"), contact("Relatives", "Amy", "Green"));
        // In the window: Carl Smith, Amy Jones, Dan Smith, Amy Green, Amy Smith, Zed Brown.
        openAs(QStringLiteral("ann"));
        const QString last = QStringLiteral("Zed Brown at 5 [");

        QCOMPARE(view(program, QStringLiteral("Amy"), QStringLiteral("Jones")),
                 QStringLiteral("Amy Jones at 1 []"));
        QCOMPARE(view(program, QStringLiteral("Dan"), QStringLiteral("Smith")),
                 QStringLiteral("Dan Smith at 2 []"));
        // A later Amy is reached when no other Green lies between.
        QCOMPARE(view(program, QStringLiteral("Amy"), QStringLiteral("Green")),
                 QStringLiteral("Amy Green at 3 []"));
        // Dan Smith comes first from Amy Jones on: the last contact, and no message.
        QCOMPARE(view(program, QStringLiteral("Amy"), QStringLiteral("Smith")), last + u']');
        // Jones lies only before Dan, Smith only before Zed.
        QCOMPARE(view(program, QStringLiteral("Dan"), QStringLiteral("Jones")), last + notFound + u']');
        QCOMPARE(view(program, QStringLiteral("Zed"), QStringLiteral("Smith")), last + notFound + u']');
        QCOMPARE(view(program, QStringLiteral("Nobody"), QStringLiteral("Smith")), last + notFound + u']');
        QCOMPARE(view(program, QStringLiteral("Amy"), QStringLiteral("jones")), last + notFound + u']');
        QCOMPARE(view(program, QStringLiteral("Amy"), QStringLiteral("O'Hara")), last + notFound + u']');
    }

    void viewFromEditingAndSaveAfterView()
    {
        Program program;
        program.addContact(QStringLiteral("ann"), contact("Friends", "Amy", "Stone"));
        program.addContact(QStringLiteral("ann"), contact("Friends", "Zoe", "Park"));
        program.addContact(QStringLiteral("ann"), contact("Relatives", "Yan", "Li"));
        const QString nullFaxes =
            QStringLiteral("select group_concat(firstName) from main where fax is null");
        openAs(QStringLiteral("ann"));

        // Neither AddNew nor Modify used yet: Save stores nothing and shows the last contact.
        QCOMPARE(view(program, QStringLiteral("Zoe")), QStringLiteral("Zoe Park at 1 []"));
        QVERIFY(widget("lblSave")->isEnabled());
        click(widget("lblSave"));
        QVERIFY(program.messages.isEmpty());
        QCOMPARE(position(), 2);
        QCOMPARE(box("txtFirstName")->text(), QStringLiteral("Yan"));
        QCOMPARE(program.rows(nullFaxes).value(0), QVariantList{QStringLiteral("Amy,Zoe,Yan")});
        QVERIFY(!widget("lblSave")->isEnabled());

        // Alt+V while adding: the typed first name is looked up; the other boxes stay open.
        click(widget("lblAddNew"));
        box("txtFirstName")->setText(QStringLiteral("Amy"));
        pressKey(details().window(), Qt::Key_V, Qt::AltModifier);
        QCOMPARE(position(), 0);
        QCOMPARE(box("txtLastName")->text(), QStringLiteral("Stone"));
        QCOMPARE(wrongly(false,
                         {"txtFirstName", "txtLastName", "cmdAdd", "cmdFirst", "cmdLast", "lblViewDetails"}),
                 QStringList());
        QCOMPARE(wrongly(true, {"cbCategory", "txtPhone1", "lblSave", "cmdSave", "lblAddNew", "lblPrint"}),
                 QStringList());
        QVERIFY(details().isAdding());
        // Save still adds: the shown names are already on file.
        click(widget("lblSave"));
        QCOMPARE(program.prompts(), QStringList{QStringLiteral("Record Already Exist")});
        QCOMPARE(position(), 0);
        QCOMPARE(program.rows(QStringLiteral("select 1 from main")).size(), 3);

        // Alt+V while modifying, then Save writes the shown contact back.
        click(widget("lblModify"));
        box("txtFirstName")->setText(QStringLiteral("Zoe"));
        box("txtLastName")->setText(QString());
        program.messages.clear();
        pressKey(details().window(), Qt::Key_V, Qt::AltModifier);
        QCOMPARE(position(), 1);
        QCOMPARE(box("txtLastName")->text(), QStringLiteral("Park"));
        QVERIFY(widget("lblSave")->isEnabled());
        QVERIFY(details().isModifying());
        click(widget("lblSave"));
        QCOMPARE(program.prompts(), QStringList{QStringLiteral("Record Saved")});
        // Zoe now holds the empty box texts.
        QCOMPARE(program.rows(nullFaxes).value(0), QVariantList{QStringLiteral("Amy,Yan")});
        QCOMPARE(program.rows(QStringLiteral("select user, secondName from main where firstName = 'Zoe'")),
                 (QList<QVariantList>{{QStringLiteral("ann"), QStringLiteral("Park")}}));
        QCOMPARE(position(), 2);
        QCOMPARE(box("txtFirstName")->text(), QStringLiteral("Yan"));
    }

    void printStagesTheCurrentContact()
    {
        Program program;
        program.addContact(QStringLiteral("ann"), fullContact("Friends", "Amy"));
        program.addContact(QStringLiteral("ann"), fullContact("Relatives", "O'Neil"));
        program.addContact(QStringLiteral("bob"), fullContact("Friends", "Cy"));
        program.addUser(QStringLiteral("bob"), QStringLiteral("pw"));
        openAs(QStringLiteral("ann"));

        click(widget("lblPrint"));
        QCOMPARE(staged(program).size(), 1);
        QCOMPARE(differences(staged(program).value(0), stored(program, QStringLiteral("Amy"))), QString());
        QVERIFY(program.messages.isEmpty());
        // Print leaves the window as it was.
        QCOMPARE(position(), 0);
        QCOMPARE(box("txtLastName")->text(), QStringLiteral("secondName of Amy"));
        QCOMPARE(wrongly(true, {"lblPrint", "cmdPrint", "lblSearch", "cmdNext"}), QStringList());
        QCOMPARE(wrongly(false, {"lblSave", "lblViewDetails", "txtFirstName"}), QStringList());

        // The second print replaces the first.
        click(widget("cmdNext"));
        pressKey(details().window(), Qt::Key_P, Qt::AltModifier);
        QCOMPARE(staged(program).size(), 1);
        QCOMPARE(differences(staged(program).value(0), stored(program, QStringLiteral("O'Neil"))), QString());
        QCOMPARE(position(), 1);

        // After Clear the stored contact is staged, not the emptied boxes.
        click(widget("cmdFirst"));
        click(widget("lblClear"));
        click(widget("lblPrint"));
        QCOMPARE(staged(program).size(), 1);
        QCOMPARE(differences(staged(program).value(0), stored(program, QStringLiteral("Amy"))), QString());
        QCOMPARE(box("txtFirstName")->text(), QString());
        QCOMPARE(position(), 0);

        // No print while adding, by label or by key.
        click(widget("lblAddNew"));
        QCOMPARE(wrongly(false, {"lblPrint", "cmdPrint"}), QStringList());
        program.exec(QStringLiteral("delete from printDetails"));
        click(widget("lblPrint"));
        pressKey(details().window(), Qt::Key_P, Qt::AltModifier);
        QCOMPARE(staged(program).size(), 0);
        click(widget("lblCancel"));

        // The table is shared: another user's print replaces ann's row.
        click(widget("lblPrint"));
        click(widget("lblChangeUser"));
        control<QLineEdit>(Forms::frmVantrel(), QStringLiteral("txtUser"))->setText(QStringLiteral("bob"));
        control<QLineEdit>(Forms::frmVantrel(), QStringLiteral("txtPassword"))->setText(QStringLiteral("pw"));
        click(control<QWidget>(Forms::frmVantrel(), QStringLiteral("lblLogin")));
        QVERIFY(details().isLoaded());
        click(widget("lblPrint"));
        QCOMPARE(staged(program).size(), 1);
        QCOMPARE(differences(staged(program).value(0), stored(program, QStringLiteral("Cy"))), QString());
        QVERIFY(program.messages.isEmpty());
    }

    void printKeepsNullAndEmptyColumnsApart()
    {
        Program program;
        program.addContact(QStringLiteral("ann"), {{QStringLiteral("category"), QStringLiteral("Friends")},
                                                   {QStringLiteral("firstName"), QStringLiteral("Amy")},
                                                   {QStringLiteral("secondName"), QString(QLatin1String(""))},
                                                   {QStringLiteral("phone"), QStringLiteral("7654321")}});
        openAs(QStringLiteral("ann"));
        click(widget("lblPrint"));
        QCOMPARE(staged(program).size(), 1);
        // The report tells a never-filled column from one stored empty.
        QCOMPARE(differences(staged(program).value(0), stored(program, QStringLiteral("Amy"))), QString());
    }

    void anEmptyBookNeitherFindsNorStages()
    {
        Program program;
        program.addContact(QStringLiteral("ann"), contact("Friends", "Amy", "Stone"));
        program.exec(QStringLiteral("insert into printDetails (firstName) values ('left over')"));
        openAs(QStringLiteral("eve"));

        click(widget("lblPrint"));
        QCOMPARE(staged(program).size(), 0);
        QVERIFY(program.messages.isEmpty());

        view(program, QStringLiteral("Amy"));
        QCOMPARE(program.prompts(), QStringList{notFound});
        QVERIFY(details().isLoaded());
        QVERIFY(!program.ended());
        QCOMPARE(box("txtLastName")->text(), QString());
        QCOMPARE(wrongly(false, {"txtFirstName", "txtLastName", "lblViewDetails"}), QStringList());
        QCOMPARE(wrongly(true, {"lblSearch", "lblAddNew", "lblChangeUser"}), QStringList());
        // The window still works: another search, and a print.
        view(program, QStringLiteral("Amy"), QStringLiteral("Stone"));
        QCOMPARE(program.prompts(), QStringList{notFound});
        click(widget("lblPrint"));
        QCOMPARE(staged(program).size(), 0);
        QVERIFY(!program.ended());
    }
};

VANTREL_TEST_MAIN(SearchPrintTest)
#include "tst_searchprint.moc"
