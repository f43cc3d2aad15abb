// The keyed record set against a plain one that holds every row in memory:
// random operation sequences must leave both on the same row with the same values.
#include "TestSupport.h"

#include "data/Connection.h"
#include "data/DataError.h"
#include "data/RecordSet.h"

#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSqlRecord>

using data::RecordSet;

namespace {

const QStringList columns{QStringLiteral("category"), QStringLiteral("firstName"),
                          QStringLiteral("secondName")};

// Every row in memory; the order is the engine's own for the window's statement.
class PlainSet
{
public:
    PlainSet(data::Connection& connection, const QString& user)
    {
        QSqlQuery query(connection.database());
        const QString sql = "select rowid, category, firstName, secondName from main where user = ? "
                            "order by category, firstName, rowid";
        query.prepare(connection.engine() == data::Engine::SQLite ? sql
                                                                  : testing::ProgramFolder::translated(sql));
        query.addBindValue(user);
        query.exec();
        while (query.next())
            m_rows.append({query.value(1), query.value(2), query.value(3)});
        m_pos = m_rows.isEmpty() ? -1 : 0;
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
    case 6: // a row added through the set stays last
        set.addNew();
        set.setValue(QStringLiteral("user"), QStringLiteral("ann"));
        set.setValue(columns[0], QStringLiteral("A"));
        set.setValue(columns[1], a);
        return set.update();
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

class RecordSetModelTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void randomOperationsAgreeWithAPlainSet()
    {
        testsupport::Program program;
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
            RecordSet fast(app::session().DbConnection(),
                           data::statements::contactsOf(QStringLiteral("ann")));
            PlainSet plain(app::session().DbConnection(), QStringLiteral("ann"));
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

VANTREL_TEST_MAIN(RecordSetModelTest)
#include "tst_recordsetmodel.moc"
