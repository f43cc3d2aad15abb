// The record set's cursor and storage rules, which every window relies on.
#include "TestSupport.h"

#include "data/Connection.h"
#include "data/DataError.h"
#include "data/RecordSet.h"

using namespace data;
using testsupport::Program;

namespace {
const QString first = QStringLiteral("firstName");
const QString second = QStringLiteral("secondName");

RecordSet contactsOf(const QString& user)
{
    return RecordSet(app::session().DbConnection(), statements::contactsOf(user));
}

// Adds contacts, each "user|firstName|category|secondName"; a part left out is Null.
void add(Program& program, const QStringList& contacts)
{
    program.folder.addContacts("user firstName category secondName", contacts);
}

// Where the cursor is: "BOF", "EOF", both, or the current row's position and first name ("~" for Null).
QString at(const RecordSet& set)
{
    if (set.bof() || set.eof())
        return QString(set.bof() ? "BOF" : "") + (set.eof() ? "EOF" : "");
    const QVariant name = set.value(first);
    return QString::number(set.position()) + ' ' + (name.isNull() ? "~" : name.toString());
}

QStringList firstNames(RecordSet& set)
{
    QStringList names;
    for (set.moveFirst(); !set.eof(); set.moveNext())
        names << at(set).section(' ', 1);
    return names;
}

// Each stored contact as "firstName=secondName" ("~" for Null), in the order stored.
QString stored(Program& program)
{
    const QString sql = "select group_concat(firstName || '=' || ifnull(secondName, '~')) "
                        "from (select * from main order by rowid)";
    return program.folder.rows(sql)[0][0].toString();
}
} // namespace

class RecordSetTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cursorRulesAtTheEnds()
    {
        Program program;
        RecordSet empty = contactsOf("nobody");
        QCOMPARE(empty.recordCount(), 0);
        for (void (RecordSet::*move)() : {&RecordSet::moveFirst, &RecordSet::moveLast, &RecordSet::moveNext})
            QVERIFY_THROWS_EXCEPTION(NoCurrentRecord, (empty.*move)());
        empty.find(first, "x");
        QCOMPARE(at(empty), "BOFEOF");

        add(program, {"ann|Zed|R", "ann|Bob|F", "bob|Other|F", "ann|Amy|F", "ann|NoCat"});
        RecordSet set = contactsOf("ann");
        QCOMPARE(set.recordCount(), 4);
        // Null category sorts first; then category, then first name.
        QCOMPARE(firstNames(set), (QStringList{"NoCat", "Amy", "Bob", "Zed"}));
        QVERIFY_THROWS_EXCEPTION(NoCurrentRecord, set.moveNext());
        set.movePrevious(); // from EOF: the last row
        QCOMPARE(at(set), "3 Zed");
        set.moveFirst();
        set.movePrevious();
        QCOMPARE(at(set), "BOF");
        QVERIFY_THROWS_EXCEPTION(NoCurrentRecord, set.value(first));
        QVERIFY_THROWS_EXCEPTION(NoCurrentRecord, set.movePrevious());
        set.moveNext(); // from BOF: the first row
        QCOMPARE(at(set), "0 NoCat");
    }

    void addedRowIsLastUntilReopenedAndMovesStoreEdits()
    {
        Program program;
        add(program, {"ann|b1|B", "ann|b2|B", "ann||C"}); // the last one's first name is empty text
        RecordSet set = contactsOf("ann");
        set.addNew();
        QCOMPARE(at(set), "3 ~");
        set.setValue("user", "ann");
        set.setValue("category", "A");
        set.setValue(first, "a0");
        set.update();
        QCOMPARE(set.recordCount(), 4);
        QCOMPARE(firstNames(set), (QStringList{"b1", "b2", "", "a0"}));

        // An edit of a stored row is kept pending until a move, which stores it.
        set.moveFirst();
        set.setValue(second, "edited");
        QCOMPARE(stored(program), "b1=~,b2=~,=~,a0=~");
        set.moveLast();
        QCOMPARE(stored(program), "b1=edited,b2=~,=~,a0=~");

        // Staying on the row (MoveLast on the last row) leaves its edit pending; "" is stored as text.
        set.setValue(second, QString());
        set.moveLast();
        QCOMPARE(stored(program), "b1=edited,b2=~,=~,a0=~");
        set.update();
        QCOMPARE(stored(program), "b1=edited,b2=~,=~,a0=");
        RecordSet reopened = contactsOf("ann");
        QCOMPARE(firstNames(reopened), (QStringList{"a0", "b1", "b2", ""}));
    }

    void findSearchesForwardForExactText()
    {
        Program program;
        add(program, {"ann|Al|1|X", "ann|Bo|2|Y", "ann|Al|3|Y", "eve|Al|0|Y"});
        RecordSet set = contactsOf("ann");
        const auto found = [&set](const auto&... tests) { return set.find(tests...), at(set); };
        QCOMPARE(found(first, "Al"), "0 Al"); // the current row counts
        QCOMPARE(found(second, "Y"), "1 Bo");
        set.moveNext();
        QCOMPARE(found(first, "Al"), "2 Al");
        QCOMPARE(found(first, "al"), "EOF"); // exact, case-sensitive
        QCOMPARE(found(first, "Al"), "EOF"); // started at EOF: nothing
        set.moveFirst();
        QCOMPARE(found(QList<Equality>{{first, "Al"}, {second, "Y"}}), "2 Al");
        set.moveFirst();
        QCOMPARE(found(QList<Equality>{{first, "Bo"}, {second, "X"}}), "EOF"); // names split over two rows
        // (Typed text as user names and searched names, never SQL nor a pattern: tst_reliability.)
    }

    // A database without the indexes gets them back; its rows stay as they were. (A faulty file is
    // refused and left alone: tst_reliability, through the real program.)
    void openingABookRestoresItsIndexes()
    {
        Program program;
        add(program, {"ann|Kept"});
        for (const QVariantList& index :
             program.folder.rows("select name from sqlite_master where type = 'index'"))
            program.folder.exec("drop index \"" + index[0].toString() + "\"");
        Connection().open(program.folder.databasePath());
        QVERIFY(
            program.folder.rows("select count(*) from sqlite_master where type = 'index'")[0][0].toInt() >=
            3);
        QCOMPARE(stored(program), "Kept=~");
    }
};

VANTREL_TEST_MAIN(RecordSetTest)
#include "tst_recordset.moc"
