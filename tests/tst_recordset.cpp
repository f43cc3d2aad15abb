// The record set's cursor and storage rules, which every window relies on, and
// the keyed record set against a plain one that holds every row in memory.
#include "TestSupport.h"

#include "data/Accounts.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "data/RecordSet.h"

#include <QRandomGenerator>

using namespace data;
using testsupport::Program;

namespace {
const QString first = QStringLiteral("firstName");
const QString second = QStringLiteral("secondName");

// On a server a person's contacts are reached by that person's login alone.
// (Who is logged in is the session's to say: a reset empties it, while the
// address of a closed connection may be the next one's.)
RecordSet contactsOf(const QString& user)
{
    app::Session& session = app::session();
    if (session.accounts().onServer() && session.CurrentUser != user) {
        if (!session.accounts().nameTaken(user))
            session.accounts().signUp(user, "pw");
        session.logIn(user, "pw");
        session.CurrentUser = user;
    }
    return RecordSet(session.DbConnection(), statements::contactsOf(user));
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
                        "from (select * from main order by rowid) as t";
    return program.folder.rows(sql)[0][0].toString();
}
const QStringList columns{QStringLiteral("category"), QStringLiteral("firstName"),
                          QStringLiteral("secondName")};

// Every row in memory; the order is the engine's own for the window's statement.
class PlainSet
{
public:
    PlainSet(const testing::ProgramFolder& folder, const QString& user)
        : m_rows(folder.rows("select category, firstName, secondName from main where user = ? "
                             "order by category, firstName, rowid",
                             {user})),
          m_pos(m_rows.isEmpty() ? -1 : 0)
    {
    }
    bool bof() const { return m_rows.isEmpty() || m_pos < 0; }
    bool eof() const { return m_rows.isEmpty() || m_pos >= m_rows.size(); }
    qsizetype position() const { return m_pos; }
    QVariant value(const QString& column) const { return m_rows[m_pos][columns.indexOf(column)]; }
    void moveFirst() { m_pos = 0; }
    void moveLast() { m_pos = m_rows.size() - 1; }
    void moveNext() { ++m_pos; }
    void movePrevious() { --m_pos; }
    void find(const QString& column, const QString& text) { find({{column, text}}); }
    void find(const QList<data::Equality>& tests)
    {
        for (m_pos = std::max<qsizetype>(m_pos, 0); m_pos < m_rows.size(); ++m_pos) {
            if (std::all_of(tests.cbegin(), tests.cend(), [&](const data::Equality& test) {
                    const QVariant stored = value(test.column);
                    return !stored.isNull() && stored == test.value;
                }))
                return;
        }
    }
    void setValue(const QString& column, const QVariant& text)
    {
        if (column != QLatin1String("user"))
            m_rows[m_pos][columns.indexOf(column)] = text;
    }
    void addNew()
    {
        m_rows.append(QVariantList(columns.size()));
        m_pos = m_rows.size() - 1;
    }
    void update() {}

private:
    QList<QVariantList> m_rows;
    qsizetype m_pos = -1;
};

// One operation (0 to 8) on either set; `a` and `b` are names it may use.
template <typename Set> void apply(Set& set, int operation, const QString& a, const QString& b)
{
    switch (operation) {
    case 0:
        return set.moveFirst();
    case 1:
        return set.moveLast();
    case 2:
        return set.eof() ? void() : set.moveNext();
    case 3:
        return set.bof() ? void() : set.movePrevious();
    case 4:
        return set.find(columns[1], a);
    case 5:
        return set.find({{columns[1], a}, {columns[2], b}});
    case 6: // a row added through the set, stored by the next operation, stays last
        set.addNew();
        set.setValue(QStringLiteral("user"), QStringLiteral("ann"));
        set.setValue(columns[0], QStringLiteral("A"));
        return set.setValue(columns[1], a);
    default: // an edit, stored by the next move or find
        if (!set.bof() && !set.eof())
            set.setValue(columns[operation - 7], a + QStringLiteral("x"));
    }
}

template <typename Set> QString describe(const Set& set)
{
    if (set.bof() || set.eof())
        return set.bof() ? QStringLiteral("BOF") : QStringLiteral("EOF");
    QStringList values{QString::number(set.position())};
    for (const QString& column : columns) {
        const QVariant value = set.value(column);
        values << (value.isNull() ? QStringLiteral("~") : value.toString());
    }
    return values.join(QLatin1Char('|'));
}

} // namespace

class RecordSetTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cursorRulesAtTheEnds()
    {
        Program program;
        {
            RecordSet empty = contactsOf("nobody"); // gone before the next login closes its connection
            QCOMPARE(empty.recordCount(), 0);
            for (void (RecordSet::*move)() :
                 {&RecordSet::moveFirst, &RecordSet::moveLast, &RecordSet::moveNext})
                QVERIFY_THROWS_EXCEPTION(NoCurrentRecord, (empty.*move)());
            empty.find(first, "x");
            QCOMPARE(at(empty), "BOFEOF");
        }

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
        if (program.folder.engine() == Engine::PostgreSQL)
            QSKIP("A server's indexes are made with its database (vantrel-createdb --server), not by a "
                  "workstation.");
        add(program, {"ann|Kept"});
        const QString indexes = "select name from sqlite_master where type = 'index'";
        for (const QVariantList& index : program.folder.rows(indexes))
            program.folder.exec("drop index \"" + index[0].toString() + "\"");
        Connection().open(program.folder.databasePath());
        QVERIFY(program.folder.rows(indexes).size() >= 3);
        QCOMPARE(stored(program), "Kept=~");
    }

    // Random operation sequences must leave both on the same row with the same values.
    void randomOperationsAgreeWithAPlainSet()
    {
        Program program;
        QRandomGenerator random(20261205);
        // Few distinct values, so that names repeat across categories; some Nulls.
        const QStringList pool{QStringLiteral("Al"), QStringLiteral("Bo"),     QStringLiteral("al"),
                               QStringLiteral("Cy"), QStringLiteral("O'Neil"), QStringLiteral("")};
        auto pick = [&](bool mayBeNull) {
            const int i = random.bounded(int(pool.size()) + (mayBeNull ? 1 : 0));
            return i == pool.size() ? QVariant() : QVariant(pool[i]);
        };
        const auto name = [&] { return pool[random.bounded(int(pool.size()))]; };
        for (int i = 0; i < 300; ++i)
            program.folder.addContact(
                i % 7 ? QStringLiteral("ann") : QStringLiteral("eve"),
                {{columns[0], pick(true)}, {columns[1], pick(true)}, {columns[2], pick(true)}});

        for (int round = 0; round < 12; ++round) {
            RecordSet fast = contactsOf("ann");
            PlainSet plain(program.folder, "ann");
            QStringList trail;
            for (int step = 0; step < 150; ++step) {
                const int operation = random.bounded(9);
                trail << QString::number(operation);
                const QString a = name();
                const QString b = name();
                apply(fast, operation, a, b);
                apply(plain, operation, a, b);
                if (operation < 7)
                    QCOMPARE(describe(fast) + QLatin1Char(' ') + trail.join(QLatin1Char(',')),
                             describe(plain) + QLatin1Char(' ') + trail.join(QLatin1Char(',')));
            }
            fast.update();
        }
    }
};

VANTREL_TEST_MAIN(RecordSetTest)
#include "tst_recordset.moc"
