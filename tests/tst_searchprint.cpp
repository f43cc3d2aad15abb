// Search and View by name, and Print staging, driven through the real contact window.
#include "Cases.h"
#include "TestSupport.h"

#include "contacts/frmDetails.h"
#include "data/RecordSet.h"

using namespace testsupport;

namespace {

// The columns a contact is made of, as printDetails holds them, and the controls showing them.
const QString columns = data::contactColumnNames().join(", ");
const QString entries = entryControls().join(' ');
// The labels View leaves on; it switches itself off.
const QString labels =
    "lblAddNew lblModify lblSave lblCancel lblClear lblSearch lblPrint lblQuit lblChangeUser";

// Those of the (space-separated) named controls that are enabled, or (filled) whose text is not empty.
QString among(const QString& names, bool filled = false)
{
    QStringList out;
    for (const QString& name : names.split(' '))
        if (filled ? !text(name).isEmpty() : enabled(name))
            out << name;
    return out.join(' ');
}

// After the steps: the names shown, the position of the current contact and what the steps said.
QString after(Program& program, std::initializer_list<Step> steps)
{
    program.messages.clear();
    if (!run(steps))
        return "a step could not be taken";
    return text("txtFirstName") + ' ' + text("txtLastName") + " at " +
           QString::number(window<frmDetails>(app::Window::Details).contacts()->position()) + " [" +
           program.prompts().join("; ") + ']';
}

// For each "first/second name": Search, type the names, View; then as above, and what was left enabled
// unless View returned to browsing with Save on and every entry control locked.
QStringList views(Program& program, const QStringList& typed)
{
    QStringList out;
    for (const QString& names : typed) {
        out << after(program, {click("lblSearch"), type("txtFirstName", names.section('/', 0, 0)),
                               type("txtLastName", names.section('/', 1)), click("lblViewDetails")});
        if (const QString on = among(entries + ' ' + labels + " lblViewDetails"); on != labels)
            out.last() += " with " + on;
    }
    return out;
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

// Rows of a table as texts, Null told apart from empty.
QStringList rowsOf(Program& program, const QString& from)
{
    QStringList out;
    for (const QVariantList& row : program.folder.rows("select " + columns + " from " + from))
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
        program.folder.addContacts("user category firstName secondName",
                                   {"ann|Relatives|Amy|Lee", "ann|Friends|Zoe|Park",
                                    "ann|Business Partners|Bob|Hill", "ann|Relatives|Yan|Li",
                                    "ann|Friends|D'Arcy|O'Brien", "ann|Friends|  |Blank",
                                    "bob|Business Partners|Amy|Other"});
        program.folder.addContact("ann", fullContact("Amy"));
        // A contact added in this visit sits at the end of the set, though its category sorts before others.
        STEPS(openContacts("ann"), click("lblAddNew"), type("cbCategory", "Friends"),
              type("txtFirstName", "Amy"), type("txtLastName", "New"), click("lblSave"));
        for (const Case& search : casesIn("searchprint/by-first-name.cases"))
            QCOMPARE(views(program, {search["typed"]}), QStringList{search["shows"]});
        // View shows all of the contact found.
        QCOMPARE(among(entries, true), entries);
        // Search empties the window, opens only the name boxes, switches Save off again and keeps the contact
        // current; it leaves the keyboard twins and the navigation buttons (next and last off) alone.
        const QString twins =
            "cmdAdd cmdModify cmdSave cmdCancel cmdClear cmdSearch cmdView cmdPrint cmdQuit "
            "cmdUser cmdFirst cmdPrev cmdNext cmdLast";
        QCOMPARE(after(program, {alt('e')}), "  at 2 []");
        QCOMPARE(among(entries, true), "");
        QCOMPARE(
            among(entries + ' ' + labels + " lblViewDetails " + twins),
            "txtFirstName txtLastName lblCancel lblQuit lblViewDetails cmdAdd cmdModify cmdCancel cmdClear "
            "cmdSearch cmdView cmdPrint cmdQuit cmdUser cmdFirst cmdPrev");
    }

    void viewByTwoNamesAndWhileEditing()
    {
        Program program;
        program.folder.addContacts("user category firstName secondName",
                                   {"ann|Work|Zed|Brown", "ann|Friends|Dan|Smith",
                                    "ann|Business Partners|Carl|Smith", "ann|Work|Amy|Smith",
                                    "ann|Friends|Amy|Jones", "ann|Relatives|Amy|Green"});
        const Rows before = program.folder.rows("select * from main");
        STEPS(openContacts("ann"));
        for (const Case& search : casesIn("searchprint/by-two-names.cases"))
            QCOMPARE(views(program, {search["typed"]}), QStringList{search["shows"]});

        // Alt+V while adding: the typed first name is looked up; the other boxes, twins and navigation stay.
        QCOMPARE(after(program, {click("lblAddNew"), type("txtFirstName", "Amy"), alt('v')}),
                 "Amy Jones at 1 []");
        QCOMPARE(among("txtFirstName cbCategory cmdAdd cmdSave cmdFirst lblPrint lblViewDetails"),
                 "cbCategory cmdSave lblPrint");
        // Save still adds: the shown names are already on file.
        QCOMPARE(after(program, {click("lblSave")}), "Amy Jones at 1 [Record Already Exist]");
        QCOMPARE(program.folder.rows("select * from main"), before);
        // Alt+V while modifying, then Save writes the shown contact (Dan Smith) back with the empty box
        // texts.
        QCOMPARE(after(program, {click("lblModify"), type("txtFirstName", "Dan"), type("txtLastName", ""),
                                 alt('v'), click("lblSave")}),
                 "Zed Brown at 5 [Record Saved]");
        QCOMPARE(rowsOf(program, "main where firstName = 'Dan' and user = 'ann'"),
                 QStringList({"'Friends'", "''", "'Dan'", "'Smith'"}) + QStringList(18, "''"));
    }

    void printStagesTheCurrentContact()
    {
        Program program;
        program.folder.addContact("ann", fullContact("Amy"));
        // Null columns and a stored empty text must stay apart.
        program.folder.addContact("ann",
                                  {{"category", "Relatives"}, {"firstName", "O'Neil"}, {"secondName", ""}});
        program.folder.addContact("bob", fullContact("Cy"));
        program.folder.addUser("bob", "pw");
        program.folder.addUser("eve", "pw");
        STEPS(openContacts("ann"));
        // The steps' outcome, then the rows printDetails holds.
        auto print = [&program](std::initializer_list<Step> steps) {
            const QStringList shown{after(program, steps)};
            return shown + rowsOf(program, "printDetails");
        };
        const QStringList amy = rowsOf(program, "main where firstName = 'Amy'");

        // Print stages silently and leaves the window as it was; the second print replaces the first.
        QCOMPARE(print({click("lblPrint")}), QStringList{"Amy secondName of Amy at 0 []"} + amy);
        QCOMPARE(print({click("cmdNext"), alt('p')}),
                 QStringList{"O'Neil  at 1 []"} + rowsOf(program, "main where firstName = 'O''Neil'"));
        // After Clear the stored contact is staged, not the emptied boxes; no print while adding, even by
        // key.
        QCOMPARE(print({click("cmdFirst"), click("lblClear"), click("lblPrint")}),
                 QStringList{"  at 0 []"} + amy);
        QCOMPARE(print({click("cmdNext"), click("lblAddNew"), alt('p')}), QStringList{"  at 1 []"} + amy);
        // The book file has one staged row for everyone: another user's print replaces ann's. A server
        // keeps one a person, which no one else sees or replaces.
        const bool shared = testing::ProgramFolder::engineUnderTest() == data::Engine::SQLite;
        const QStringList annStaged =
            shared ? QStringList() : rowsOf(program, "main where firstName = 'O''Neil'");
        QCOMPARE(print({click("lblCancel"), click("lblPrint"), click("lblChangeUser"), type("txtUser", "bob"),
                        type("txtPassword", "pw"), click("lblLogin"), click("lblPrint")}),
                 QStringList{"Cy secondName of Cy at 0 []"} + annStaged +
                     rowsOf(program, "main where firstName = 'Cy'"));
        // With no contact a print only empties the table (of that person's row), silently; View finds
        // nothing, and Print still works.
        const QStringList othersStaged = shared ? QStringList() : rowsOf(program, "printDetails");
        QCOMPARE(print({click("lblChangeUser"), type("txtUser", "eve"), type("txtPassword", "pw"),
                        click("lblLogin"), click("lblPrint")}),
                 QStringList{"  at -1 []"} + othersStaged);
        QCOMPARE(views(program, {"Amy/Stone"}),
                 QStringList{"Amy Stone at -1 [No records found relating to this Criteria]"});
        QCOMPARE(print({click("lblPrint")}), QStringList{"Amy Stone at -1 []"} + othersStaged);
        QVERIFY(openWindowName() == "frmDetails" && !program.ended());
    }

    // A book without the staging table starts, logs in, browses and saves; only Print fails,
    // with the engine's text, and ends the program.
    void onlyPrintNeedsTheStagingTable()
    {
        Program program([](const testing::ProgramFolder& folder) {
            folder.exec("drop table printDetails");
            folder.addUser("ann", "pw");
            folder.addContact("ann", fullContact("Amy"));
        });
        STEPS(open(app::Window::Vantrel));
        QCOMPARE(after(program,
                       {type("txtUser", "ann"), type("txtPassword", "pw"), click("lblLogin"),
                        click("lblAddNew"), type("txtFirstName", "Bo"), click("lblSave"), click("cmdFirst")}),
                 "Amy secondName of Amy at 0 [Record Saved]");
        QVERIFY(!program.ended());
        STEPS(click("lblPrint"));
        QCOMPARE(program.status(), 1);
        QVERIFY2(program.lastPrompt().contains("printDetails"), qPrintable(program.lastPrompt()));
        QCOMPARE(program.folder.value("select count(*) from main").toInt(), 2);
    }
};

VANTREL_TEST_MAIN(SearchPrintTest)
#include "tst_searchprint.moc"
