#include "data/RecordSet.h"

#include "data/Connection.h"
#include "data/DataError.h"

#include "data/Query.h"
#include "data/Schema.h"

#include <QSqlError>
#include <QSqlRecord>
#include <algorithm>
#include <optional>
#include <unordered_set>

namespace data {

namespace {

constexpr int cachedRows = 64;

[[noreturn]] void failNoCurrentRecord()
{
    throw NoCurrentRecord();
}

} // namespace

RecordSet::RecordSet(Connection& connection, Select select)
    : m_connection(connection), m_select(std::move(select)), m_rows(cachedRows)
{
    loadColumns();
    loadKeys();
    m_open = true;
    m_pos = m_keys.empty() ? -1 : 0;
}

RecordSet::~RecordSet() = default;

void RecordSet::loadColumns()
{
    m_connection.reconnectIfLost();
    QStringList names;
    m_connection.retryingOnce([&] { names = schema::columnNames(m_connection.database(), m_select.table); });
    for (const QString& name : std::as_const(names)) {
        m_columnIndex.insert(name.toLower(), static_cast<int>(m_columns.size()));
        m_columns << name;
    }
    if (m_columns.isEmpty())
        throw DataError(QStringLiteral("no such table: %1").arg(m_select.table));
    prepareLookups();
}

// The statements that look rows up by key, on the connection as it is now.
void RecordSet::prepareLookups() const
{
    m_generation = m_connection.generation();
    m_rowQuery = Query::prepare(m_connection, QLatin1String("select * from ") + quotedName(m_select.table) +
                                                  QLatin1String(" where ") + m_connection.dialect().key +
                                                  QLatin1String(" = ?"));
    if (!m_select.orderBy.isEmpty())
        m_orderQuery = Query::prepare(m_connection, m_select.orderValuesSql(m_connection.dialect()));
}

void RecordSet::usePreparedLookups() const
{
    m_connection.reconnectIfLost();
    if (m_generation != m_connection.generation())
        prepareLookups();
}

void RecordSet::loadKeys()
{
    const std::unique_ptr<Query> query =
        Query::prepare(m_connection, m_select.keysSql(m_connection.dialect()));
    query->bind(m_select.boundValues());
    while (query->step())
        m_keys.push_back(query->int64(0));
    m_orderedCount = size();
}

QVariantList RecordSet::orderValues(qint64 key) const
{
    if (const auto it = m_listedOrder.constFind(key); it != m_listedOrder.cend())
        return it.value();
    usePreparedLookups();
    m_orderQuery->bind({key});
    QVariantList values;
    if (m_orderQuery->step()) {
        for (int i = 0; i < m_orderQuery->columnCount(); ++i)
            values << m_orderQuery->value(i);
    }
    m_orderQuery->reset();
    return values;
}

namespace {

// SQLite's order of values: Null, then numbers, then text (byte order of UTF-8).
int storageClass(const QVariant& value)
{
    if (value.isNull())
        return 0;
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Double)
        return 1;
    return 2;
}

int compareValues(const QVariant& a, const QVariant& b)
{
    const int classA = storageClass(a);
    const int classB = storageClass(b);
    if (classA != classB)
        return classA < classB ? -1 : 1;
    if (classA == 0)
        return 0;
    if (classA == 1) {
        const double x = a.toDouble();
        const double y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    const QByteArray x = a.toString().toUtf8();
    const QByteArray y = b.toString().toUtf8();
    return x < y ? -1 : (x > y ? 1 : 0);
}

} // namespace

bool RecordSet::orderPrecedes(qsizetype position, const QVariantList& values, qint64 key, bool keep) const
{
    const qint64 here = m_keys[size_t(position)];
    auto kept = m_probedOrder.constFind(here);
    if (kept == m_probedOrder.cend() && keep)
        kept = m_probedOrder.insert(here, orderValues(here));
    const QVariantList hereValues = kept != m_probedOrder.cend() ? kept.value() : orderValues(here);
    for (int i = 0; i < values.size() && i < hereValues.size(); ++i) {
        if (const int order = compareValues(hereValues[i], values[i]); order != 0)
            return order < 0;
    }
    return here < key;
}

qsizetype RecordSet::listedPosition(qint64 key) const
{
    // The listed keys are sorted by their sort values, then by key.
    const QVariantList values = orderValues(key);
    if (values.isEmpty())
        return -1;
    // The listed keys never change, so every search probes the same rows in its
    // first steps; their values are kept, a round trip each on a server.
    constexpr int keptSteps = 10;
    qsizetype low = 0;
    qsizetype high = m_orderedCount;
    for (int step = 0; low < high; ++step) {
        const qsizetype middle = low + (high - low) / 2;
        if (orderPrecedes(middle, values, key, step < keptSteps))
            low = middle + 1;
        else
            high = middle;
    }
    return low < m_orderedCount && m_keys[size_t(low)] == key ? low : -1;
}

void RecordSet::rememberOrderBeforeEdit()
{
    const qint64 key = currentKey();
    if (!m_orderQuery || m_pos >= m_orderedCount || m_listedOrder.contains(key))
        return;
    const QVariantList listed = orderValues(key);
    for (qsizetype i = 0; i < m_select.orderBy.size() && i < listed.size(); ++i) {
        const auto pending = m_pending.constFind(columnIndex(m_select.orderBy[i]));
        if (pending != m_pending.cend() && compareValues(pending.value(), listed[i]) != 0) {
            m_listedOrder.insert(key, listed);
            return;
        }
    }
}

void RecordSet::requireOpen() const
{
    if (!m_open)
        throw DataError(QStringLiteral("Operation is not allowed when the object is closed."));
}

int RecordSet::recordCount() const
{
    requireOpen();
    return static_cast<int>(m_keys.size()) + (m_adding ? 1 : 0);
}

bool RecordSet::bof() const
{
    return !hasRows() || (!m_adding && m_pos < 0);
}

bool RecordSet::eof() const
{
    return !hasRows() || (!m_adding && m_pos >= size());
}

bool RecordSet::hasCurrentRecord() const
{
    return m_open && !bof() && !eof();
}

void RecordSet::moveTo(qsizetype target)
{
    // Staying on the row keeps its edit pending; moving off it stores the edit.
    if (m_adding || target != m_pos)
        storePending();
    if (m_keys.empty())
        failNoCurrentRecord();
    m_pos = target;
}

void RecordSet::moveFirst()
{
    requireOpen();
    moveTo(0);
}

void RecordSet::moveLast()
{
    requireOpen();
    moveTo(m_adding ? size() : size() - 1);
}

void RecordSet::moveNext()
{
    requireOpen();
    storePending();
    if (eof())
        failNoCurrentRecord();
    ++m_pos;
}

void RecordSet::movePrevious()
{
    requireOpen();
    storePending();
    if (bof())
        failNoCurrentRecord();
    --m_pos;
}

void RecordSet::addNew()
{
    requireOpen();
    storePending();
    m_adding = true;
    m_posBeforeAdd = m_pos;
    m_pos = size();
}

int RecordSet::columnIndex(const QString& column) const
{
    const auto it = m_columnIndex.constFind(column.toLower());
    if (it == m_columnIndex.cend())
        throw DataError(QStringLiteral("Item cannot be found in the collection corresponding to the "
                                       "requested name or ordinal: %1")
                            .arg(column));
    return it.value();
}

void RecordSet::requireCurrentRow() const
{
    requireOpen();
    if (!m_adding && (m_pos < 0 || m_pos >= size()))
        failNoCurrentRecord();
}

void RecordSet::setValue(const QString& column, const QVariant& value)
{
    requireCurrentRow();
    const int index = columnIndex(column);
    if (m_pending.isEmpty() && !m_adding)
        m_editBase = lastReadRow();
    m_pending.insert(index, storedValue(value));
}

QVariant RecordSet::value(const QString& column) const
{
    requireCurrentRow();
    const int index = columnIndex(column);
    if (const auto it = m_pending.constFind(index); it != m_pending.cend())
        return it.value();
    if (m_adding)
        return {};
    return currentRow().at(index);
}

// The values the caller was last given for the current row, even when another
// client has changed it since: what an edit of the row starts from.
const QVariantList& RecordSet::lastReadRow() const
{
    if (const QVariantList* row = m_rows.object(m_keys[static_cast<size_t>(m_pos)]))
        return *row;
    return currentRow();
}

const QVariantList& RecordSet::currentRow() const
{
    const qint64 key = m_keys[static_cast<size_t>(m_pos)];
    if (m_stale.remove(key))
        m_rows.remove(key);
    if (const QVariantList* row = m_rows.object(key))
        return *row;
    usePreparedLookups();
    m_rowQuery->bind({key});
    if (!m_rowQuery->step()) {
        m_rowQuery->reset();
        failNoCurrentRecord(); // removed by someone else
    }
    auto row = std::make_unique<QVariantList>();
    const int count = m_rowQuery->columnCount();
    row->reserve(count);
    for (int i = 0; i < count; ++i)
        row->append(m_rowQuery->value(i));
    m_rowQuery->reset();
    // The cache owns the row from here; with a cost of 1 it always keeps it.
    m_rows.insert(key, row.release());
    return *m_rows.object(key);
}

void RecordSet::update()
{
    requireOpen();
    storePending();
}

void RecordSet::cancelUpdate()
{
    requireOpen();
    if (m_adding) {
        m_adding = false;
        m_pos = m_posBeforeAdd;
    }
    m_pending.clear();
}

void RecordSet::storePending()
{
    if (m_adding)
        insertPending();
    else if (!m_pending.isEmpty())
        updatePending();
}

void RecordSet::insertPending()
{
    const qint64 key = m_rowWriter ? m_rowWriter(pendingRow()) : insertPendingRow();
    m_keys.push_back(key);
    m_pos = size() - 1;
    m_adding = false;
    m_pending.clear();
}

QList<Equality> RecordSet::pendingRow() const
{
    QList<Equality> row;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
        row.append({m_columns.at(it.key()), it.value()});
    return row;
}

qint64 RecordSet::insertPendingRow()
{
    QStringList names;
    QStringList marks;
    QVariantList values;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        names << quotedName(m_columns.at(it.key()));
        marks << QStringLiteral("?");
        values << it.value();
    }
    const QString table = quotedName(m_select.table);
    QString sql = names.isEmpty() ? QLatin1String("insert into ") + table + QLatin1String(" default values")
                                  : QLatin1String("insert into ") + table + QLatin1String(" (") +
                                        names.join(QLatin1String(", ")) + QLatin1String(") values (") +
                                        marks.join(QLatin1String(", ")) + QLatin1Char(')');
    const bool server = m_connection.engine() == Engine::PostgreSQL;
    if (server)
        sql += QLatin1String(" returning ") + m_connection.dialect().key;
    // A guarded insert tests and inserts under a lock, so that clients that
    // insert the same values at once store them once.
    std::optional<Transaction> guard;
    if (!m_uniqueOnInsert.isEmpty()) {
        guard.emplace(m_connection);
        m_connection.lockForInsert(m_select.insertLockKey());
        if (pendingValuesExist())
            throw AlreadyExists();
    }
    m_connection.reconnectIfLost();
    QSqlQuery query(m_connection.database());
    run(m_connection, query, sql, values);
    const qint64 key =
        server && query.next() ? query.value(0).toLongLong() : query.lastInsertId().toLongLong();
    if (guard)
        guard->commit();
    return key;
}

bool RecordSet::pendingValuesExist() const
{
    QList<Equality> tests;
    for (const QString& column : m_uniqueOnInsert) {
        const int index = columnIndex(column);
        tests.append({m_columns.at(index), m_pending.value(index, QStringLiteral(""))});
    }
    QVariantList values = m_select.boundValues();
    for (const Equality& test : std::as_const(tests))
        values << test.value;
    const std::unique_ptr<Query> query =
        Query::prepare(m_connection, m_select.keysWhereSql(m_connection.dialect(), tests));
    query->bind(values);
    return query->step();
}

void RecordSet::updatePending()
{
    // Each edited column must still hold what was read, or already what this
    // edit writes: only then does the update replace nothing another client stored.
    const Dialect& dialect = m_connection.dialect();
    QStringList sets;
    QStringList unchanged;
    QVariantList setValues;
    QVariantList testValues;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        const QString column = quotedName(m_columns.at(it.key()));
        sets << column + QLatin1String(" = ?");
        setValues << it.value();
        unchanged << QLatin1String("(") + column + QLatin1Char(' ') + dialect.same + QLatin1String(" ? or ") +
                         column + QLatin1Char(' ') + dialect.same + QLatin1String(" ?)");
        testValues << m_editBase.value(it.key()) << it.value();
    }
    rememberOrderBeforeEdit();
    const qint64 key = currentKey();
    QSqlQuery query(m_connection.database());
    m_connection.reconnectIfLost();
    run(m_connection, query,
        QLatin1String("update ") + quotedName(m_select.table) + QLatin1String(" set ") +
            sets.join(QLatin1String(", ")) + QLatin1String(" where ") + dialect.key +
            QLatin1String(" = ? and ") + unchanged.join(QLatin1String(" and ")),
        setValues + QVariantList{key} + testValues);
    if (query.numRowsAffected() < 1) {
        m_stale.insert(key);
        throw RowChanged();
    }
    m_rows.remove(key);
    m_pending.clear();
}

void RecordSet::find(const QString& column, const QString& text)
{
    find(QList<Equality>{{column, text}});
}

void RecordSet::find(const QList<Equality>& tests)
{
    requireOpen();
    storePending();
    if (eof())
        return;
    const qsizetype start = std::max<qsizetype>(m_pos, 0);
    QList<Equality> columnTests;
    for (const Equality& test : tests)
        columnTests.append({m_columns.at(columnIndex(test.column)), storedValue(test.value)});

    if (start < m_orderedCount) {
        if (const std::optional<qsizetype> listed = firstListedMatch(columnTests, start)) {
            if (*listed >= 0) {
                m_pos = *listed;
                return;
            }
        } else {
            m_pos = scanForMatch(matchingKeys(columnTests), start);
            return;
        }
    }
    // Not among the listed rows: perhaps a row added through the set.
    m_pos = scanForMatch(matchingKeys(columnTests), std::max(start, m_orderedCount));
}

std::unordered_set<qint64> RecordSet::matchingKeys(const QList<Equality>& columnTests) const
{
    const std::unique_ptr<Query> query =
        Query::prepare(m_connection, m_select.keysWhereSql(m_connection.dialect(), columnTests));
    QVariantList values = m_select.boundValues();
    for (const Equality& test : columnTests)
        values << test.value;
    query->bind(values);
    std::unordered_set<qint64> matches;
    while (query->step())
        matches.insert(query->int64(0));
    return matches;
}

qsizetype RecordSet::scanForMatch(const std::unordered_set<qint64>& matches, qsizetype from) const
{
    if (matches.empty())
        return size();
    const auto begin = m_keys.cbegin() + from;
    return from +
           (std::find_if(begin, m_keys.cend(), [&](qint64 key) { return matches.contains(key); }) - begin);
}

std::optional<qsizetype> RecordSet::firstListedMatch(const QList<Equality>& columnTests,
                                                     qsizetype start) const
{
    // The engine lists matches in the set's order, so the first one at or after
    // the start row is one indexed look-up, placed by a binary search. That
    // holds while the listed rows keep the sort values they were listed with.
    if (!m_orderQuery || !m_listedOrder.isEmpty())
        return std::nullopt;
    QVariantList startValues;
    if (start > 0) {
        startValues = orderValues(m_keys[size_t(start)]);
        if (std::any_of(startValues.cbegin(), startValues.cend(),
                        [](const QVariant& v) { return v.isNull(); }))
            return std::nullopt;
        startValues << m_keys[size_t(start)];
    }
    const std::unique_ptr<Query> query =
        Query::prepare(m_connection, m_select.firstMatchSql(m_connection.dialect(), columnTests, start > 0));
    QVariantList values = m_select.boundValues();
    for (const Equality& test : columnTests)
        values << test.value;
    query->bind(values + startValues);
    if (!query->step())
        return qsizetype(-1);
    const qsizetype position = listedPosition(query->int64(0));
    if (position < start) // not a listed row, or moved since: ask row by row
        return std::nullopt;
    return position;
}

void RecordSet::close()
{
    m_open = false;
    m_adding = false;
    m_pending.clear();
    m_rows.clear();
    m_probedOrder.clear();
    if (m_rowQuery)
        m_rowQuery->reset();
}

qint64 RecordSet::currentKey() const
{
    if (m_adding || m_pos < 0 || m_pos >= size())
        return -1;
    return m_keys[static_cast<size_t>(m_pos)];
}

} // namespace data
