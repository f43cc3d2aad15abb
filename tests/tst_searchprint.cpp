// Search and View by name, and Print staging, driven through the real contact window.
#include "TestSupport.h"

#include "accounts/frmVantrel.h"
#include "app/Forms.h"
#include "app/clsConnection.h"
#include "contacts/frmDetails.h"
#include "data/RecordSet.h"

using namespace testsupport;

namespace {

// The columns a contact is made of, as printDetails holds them.
const QString columns = "category, subCategory, firstName, secondName, address, phone, phone2, mobile, fax, "
                        "dobDate, dobMonth, dobYear, aniDate, aniMonth, aniYear, addressOff, phoneOff, "
                        "phone2Off, mobileOff, faxOff, EMailH, EMailO";
const QStringList entries = QString("cbCategory cbSubCategory txtFirstName txtLastName txtAddress txtPhone1 "
                                    "txtPhone2 txtMobile txtFax cbDOBDate cbDOBMonth cbDOBYear cbANIDate "
                                    "cbANIMonth cbANIYear txtAddressOffice txtPhone1Office txtPhone2Office "
                                    "txtMobileOffice txtFaxOffice txtEMailH txtEMailO")
                                .split(' ');
// The labels in the order View leaves them: on but for itself, the last.
const QStringList labels =
    QString("lblAddNew lblModify lblSave lblCancel lblClear lblSearch lblPrint lblQuit "
            "lblChangeUser lblViewDetails")
        .split(' ');

QWidget* widget(const QString& name)
{
    QWidget* found = control<QWidget>(Forms::frmDetails(), name);
    return found ? found : control<QWidget>(Forms::frmVantrel(), name);
}

QString text(const QString& name)
{
    return widget(name)->metaObject()->userProperty().read(widget(name)).toString();
}

// Those of the named controls that are enabled, or (filled) whose text is not empty.
QStringList among(const QStringList& names, bool filled = false)
{
    QStringList out;
    for (const QString& name : names)
        if (filled ? !text(name).isEmpty() : widget(name)->isEnabled())
            out << name;
    return out;
}

// Clicks the named controls in turn; "name=text" types into a box, "Alt+X" presses an access key. Then
// the names shown, the position of the current contact and what the steps said.
QString after(Program& program, const QStringList& steps)
{
    program.messages.clear();
    for (const QString& step : steps)
        if (step.startsWith("Alt+"))
            pressKey(Forms::frmDetails().window(), Qt::Key(step.at(4).unicode()), Qt::AltModifier);
        else if (QWidget* w = widget(step.section('=', 0, 0)); step.contains('='))
            w->metaObject()->userProperty().write(w, step.section('=', 1));
        else
            click(w);
    return QString("%1 %2 at %3 [%4]")
        .arg(text("txtFirstName"), text("txtLastName"))
        .arg(Forms::frmDetails().contacts()->position())
        .arg(program.prompts().join("; "));
}

// Search, type the names, View; then as above, and what was left enabled unless View returned to
// browsing with Save on and every entry control locked.
QString view(Program& program, const QString& first, const QString& second = {})
{
    const QString result =
        after(program, {"lblSearch", "txtFirstName=" + first, "txtLastName=" + second, "lblViewDetails"});
    const QStringList on = among(entries + labels);
    return result + (on == labels.first(9) ? QString() : " with " + on.join(','));
}

// Contacts written "category/first name/second name", separated by ';'.
void addContacts(Program& program, const QString& user, const QString& contacts)
{
    for (const QString& c : contacts.split(';'))
        program.exec("insert into main (user, category, firstName, secondName) values (?, ?, ?, ?)",
                     {user, c.section('/', 0, 0), c.section('/', 1, 1), c.section('/', 2)});
}

// Every column filled with its own text, the list-only date parts with items of their lists.
QMap<QString, QVariant> fullContact(const QString& first)
{
    QMap<QString, QVariant> values{{"category", "Friends"}, {"firstName", first}, {"dobDate", "7"},
                                   {"dobMonth", "8"},       {"aniDate", "9"},     {"aniMonth", "10"}};
    for (const QString& column : columns.split(", "))
        values.insert(column, values.value(column, column + " of " + first));
    return values;
}

void openAs(const QString& user)
{
    clsConnection::CurrentUser = user;
    Forms::frmDetails().show();
}

// Rows of a table as texts, Null told apart from empty.
QStringList rowsOf(Program& program, const QString& from)
{
    QStringList out;
    for (const QVariantList& row : program.rows("select " + columns + " from " + from))
        for (const QVariant& v : row)
            out << (v.isNull() ? QString("Null") : '\'' + v.toString() + '\'');
    return out;
}

} // namespace

class SearchPrintTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void searchThenViewByFirstName()
    {
        Program program;
        addContacts(program, "ann",
                    "Relatives/Amy/Lee;Friends/Zoe/Park;Business Partners/Bob/Hill;Relatives/Yan/Li;"
                    "Friends/D'Arcy/O'Brien;Friends/  /Blank");
        program.addContact("ann", fullContact("Amy"));
        addContacts(program, "bob", "Business Partners/Amy/Other");
        // In the window: Bob, "  ", Amy (every column filled), D'Arcy, Zoe, Amy Lee, Yan.
        openAs("ann");
        // View shows all of the contact found.
        QCOMPARE(view(program, "Amy"), "Amy secondName of Amy at 2 []");
        QCOMPARE(among(entries, true), entries);
        // Search empties the window, opens only the name boxes, switches Save off again and keeps the contact
        // current; it leaves the keyboard twins and the navigation buttons (first and previous off) alone.
        QCOMPARE(after(program, {"Alt+E"}), "  at 2 []");
        QCOMPARE(among(entries, true), QStringList());
        const QString twins =
            "cmdAdd cmdModify cmdSave cmdCancel cmdClear cmdSearch cmdView cmdPrint cmdQuit cmdUser";
        QCOMPARE(among(entries + labels + (twins + " cmdFirst cmdPrev cmdNext cmdLast").split(' ')),
                 ("txtFirstName txtLastName lblCancel lblQuit lblViewDetails " + twins + " cmdNext cmdLast")
                     .split(' '));

        QCOMPARE(view(program, "Yan"), "Yan Li at 6 []");
        // The search starts from the first contact, wherever the window stands.
        QCOMPARE(view(program, "Amy"), "Amy secondName of Amy at 2 []");
        QCOMPARE(view(program, "D'Arcy", "O'Brien"), "D'Arcy O'Brien at 3 []");
        QCOMPARE(view(program, "  "), "   Blank at 1 []"); // blanks are a name
        // Names are compared exactly: no case folding, no trimming.
        for (const QString typed : {"amy", "AMY", " Amy", "Amy ", "Am", "Nobody", "x' or '1'='1"})
            QCOMPARE(view(program, typed), "Yan Li at 6 [No records found relating to this Criteria]");
        // No first name: nothing is searched and the contact current before is shown again.
        QCOMPARE(view(program, "Zoe"), "Zoe Park at 4 []");
        QCOMPARE(view(program, "", "Stone"), "Zoe Park at 4 [Please Enter First Name]");

        // A contact added in this visit sits at the end of the set, though its category sorts first.
        QCOMPARE(after(program, {"lblAddNew", "cbCategory=Business Partners", "txtFirstName=Amy",
                                 "txtLastName=New", "lblSave"}),
                 "Amy New at 7 [Record Saved]");
        QCOMPARE(view(program, "Amy"), "Amy secondName of Amy at 2 []");
        QCOMPARE(view(program, "Amy", "New"), "Amy New at 7 []");
    }

    void viewByTwoNamesAndWhileEditing()
    {
        Program program;
        addContacts(program, "ann",
                    "Work/Zed/Brown;Friends/Dan/Smith;Business Partners/Carl/Smith;Work/Amy/Smith;"
                    "Friends/Amy/Jones;Relatives/Amy/Green");
        const QList<QVariantList> before = program.rows("select * from main");
        // In the window: Carl Smith, Amy Jones, Dan Smith, Amy Green, Amy Smith, Zed Brown.
        openAs("ann");
        QCOMPARE(view(program, "Amy", "Jones"), "Amy Jones at 1 []");
        QCOMPARE(view(program, "Dan", "Smith"), "Dan Smith at 2 []");
        // A later Amy is reached when no other Green lies between.
        QCOMPARE(view(program, "Amy", "Green"), "Amy Green at 3 []");
        // Dan Smith comes first from Amy Jones on: the last contact, and no message.
        QCOMPARE(view(program, "Amy", "Smith"), "Zed Brown at 5 []");
        // Jones lies only before Dan, Smith only before Zed.
        for (const QString names : {"Dan Jones", "Zed Smith", "Nobody Smith", "Amy jones", "Amy O'Hara"})
            QCOMPARE(view(program, names.section(' ', 0, 0), names.section(' ', 1)),
                     "Zed Brown at 5 [No records found relating to this Criteria]");

        // Alt+V while adding: the typed first name is looked up; the other boxes, twins and navigation stay.
        QCOMPARE(after(program, {"lblAddNew", "txtFirstName=Amy", "Alt+V"}), "Amy Jones at 1 []");
        QCOMPARE(among({"txtFirstName", "cbCategory", "cmdAdd", "cmdSave", "cmdFirst", "lblPrint",
                        "lblViewDetails"}),
                 (QStringList{"cbCategory", "cmdSave", "lblPrint"}));
        // Save still adds: the shown names are already on file.
        QCOMPARE(after(program, {"lblSave"}), "Amy Jones at 1 [Record Already Exist]");
        QCOMPARE(program.rows("select * from main"), before);
        // Alt+V while modifying, then Save writes the shown contact back with the empty box texts.
        QCOMPARE(after(program, {"lblModify", "txtFirstName=Dan", "txtLastName=", "Alt+V"}),
                 "Dan Smith at 2 []");
        QCOMPARE(after(program, {"lblSave"}), "Zed Brown at 5 [Record Saved]");
        QCOMPARE(rowsOf(program, "main where firstName = 'Dan' and user = 'ann'"),
                 QStringList({"'Friends'", "''", "'Dan'", "'Smith'"}) + QStringList(18, "''"));
    }

    void printStagesTheCurrentContact()
    {
        Program program;
        program.addContact("ann", fullContact("Amy"));
        // Null columns and a stored empty text must stay apart.
        program.addContact("ann", {{"category", "Relatives"}, {"firstName", "O'Neil"}, {"secondName", ""}});
        program.addContact("bob", fullContact("Cy"));
        program.exec("insert into userMaster (user, Password) values ('bob', 'pw'), ('eve', 'pw')");
        auto staged = [&program] { return rowsOf(program, "printDetails"); };
        openAs("ann");

        // Print stages silently and leaves the window as it was.
        QCOMPARE(after(program, {"lblPrint"}), "Amy secondName of Amy at 0 []");
        QCOMPARE(staged(), rowsOf(program, "main where firstName = 'Amy'"));
        // The second print replaces the first.
        QCOMPARE(after(program, {"cmdNext", "Alt+P"}), "O'Neil  at 1 []");
        QCOMPARE(staged(), rowsOf(program, "main where firstName = 'O''Neil'"));
        // After Clear the stored contact is staged, not the emptied boxes.
        after(program, {"cmdFirst", "lblClear", "lblPrint"});
        QCOMPARE(staged(), rowsOf(program, "main where firstName = 'Amy'"));
        // No print while adding, not even by key.
        after(program, {"cmdNext", "lblAddNew", "Alt+P"});
        QCOMPARE(staged(), rowsOf(program, "main where firstName = 'Amy'"));

        // The table is shared: another user's print replaces ann's row.
        after(program, {"lblCancel", "lblPrint", "lblChangeUser", "txtUser=bob", "txtPassword=pw", "lblLogin",
                        "lblPrint"});
        QCOMPARE(staged(), rowsOf(program, "main where firstName = 'Cy'"));
        // With no contact current a print only empties the table, silently.
        QVERIFY(after(program, {"lblChangeUser", "txtUser=eve", "txtPassword=pw", "lblLogin", "lblPrint"})
                    .endsWith("[]"));
        QCOMPARE(staged(), QStringList());
        // Another user's contact is not found, and the window still prints afterwards.
        QVERIFY(view(program, "Amy", "Stone").contains("[No records found relating to this Criteria]"));
        after(program, {"lblPrint"});
        QVERIFY(Forms::frmDetails().isLoaded() && !program.ended());
    }
};

VANTREL_TEST_MAIN(SearchPrintTest)
#include "tst_searchprint.moc"
