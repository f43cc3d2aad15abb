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
            m_rows.append({query.value(0), query.value(1), query.value(2), query.value(3)});
        m_pos = m_rows.isEmpty() ? -1 : 0;
    }
    bool bof() const { return m_rows.isEmpty() || m_pos < 0; }
    bool eof() const { return m_rows.isEmpty() || m_pos >= m_rows.size(); }
    qsizetype position() const { return m_pos; }
    QVariant value(int column) const { return m_rows[m_pos][column + 1]; }
    QVariant value(const QString& column) const { return value(int(columns.indexOf(column))); }
    void moveFirst() { m_pos = 0; }
    void moveLast() { m_pos = m_rows.size() - 1; }
    void moveNext() { ++m_pos; }
    void movePrevious() { --m_pos; }
    void find(const QList<QPair<int, QString>>& tests)
    {
        for (m_pos = std::max<qsizetype>(m_pos, 0); m_pos < m_rows.size(); ++m_pos) {
            if (std::all_of(tests.cbegin(), tests.cend(), [&](const auto& test) {
                    const QVariant stored = value(test.first);
                    return !stored.isNull() && stored.toString() == test.second;
                }))
                return;
        }
    }
    void set(int column, const QString& text) { m_rows[m_pos][column + 1] = text; }
    void add(const QVariantList& values)
    {
        m_rows.append(QVariantList{QVariant()} + values);
        m_pos = m_rows.size() - 1;
    }

private:
    QList<QVariantList> m_rows;
    qsizetype m_pos = -1;
};

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
                const bool onRow = !plain.bof() && !plain.eof();
                switch (operation) {
                case 0:
                    fast.moveFirst();
                    plain.moveFirst();
                    break;
                case 1:
                    fast.moveLast();
                    plain.moveLast();
                    break;
                case 2:
                    if (!plain.eof()) {
                        fast.moveNext();
                        plain.moveNext();
                    }
                    break;
                case 3:
                    if (!plain.bof()) {
                        fast.movePrevious();
                        plain.movePrevious();
                    }
                    break;
                case 4: {
                    const QString first = name();
                    fast.find(columns[1], first);
                    plain.find({{1, first}});
                    break;
                }
                case 5: {
                    const QString first = name();
                    const QString second = name();
                    fast.find({{columns[1], first}, {columns[2], second}});
                    plain.find({{1, first}, {2, second}});
                    break;
                }
                case 6: { // a row added through the set stays last
                    const QString first = name();
                    fast.addNew();
                    fast.setValue(QStringLiteral("user"), QStringLiteral("ann"));
                    fast.setValue(columns[0], QStringLiteral("A"));
                    fast.setValue(columns[1], first);
                    fast.update();
                    plain.add({QStringLiteral("A"), first, QVariant()});
                    break;
                }
                case 7:
                case 8: // an edit, stored by the next move or find
                    if (onRow) {
                        const int column = operation - 7;
                        const QString text = name() + QStringLiteral("x");
                        fast.setValue(columns[column], text);
                        plain.set(column, text);
                    }
                    break;
                }
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
