#pragma once

#include "data/Statements.h"

#include "data/Query.h"

#include <QCache>
#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

namespace data {

class Connection;

// A static record set over one table: the matching rows' keys are listed once,
// in the select's order, when the set opens; a row's values are read by key
// when asked for, through a small cache, so a large set costs a few bytes per row.
//
// Cursor rules: an empty set is at BOF and at EOF at once; MoveNext from BOF
// reaches the first row and MovePrevious from EOF the last; moving past an
// end, or reading a value at BOF or EOF, throws NoCurrentRecord. Writing a column starts an
// edit of the current row; Update stores it, and so does any move or Find.
// A row added through the set is stored at its end and stays there until the
// set is opened again.
//
// Edits are stored optimistically: an edit is refused with RowChanged, and
// stays pending, when another client has stored a different value in one of
// its columns since this set read the row. The row is then read again the
// next time its values are asked for.
class RecordSet final
{
public:
    RecordSet(Connection& connection, Select select);
    ~RecordSet();
    Q_DISABLE_COPY_MOVE(RecordSet)

    int recordCount() const;
    bool bof() const;
    bool eof() const;
    // Neither at BOF nor at EOF (a row being added counts as current).
    bool hasCurrentRecord() const;

    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();

    // Starts a new, empty row at the end of the set; it becomes current.
    void addNew();
    // Sets a column of the current row (`Collect`); the first one of an edit
    // takes the row's values as last read as the edit's starting point.
    void setValue(const QString& column, const QVariant& value);
    // Stores the added or edited row; nothing to store is not an error.
    void update();
    // Inserts are guarded: a row whose values in these columns (and the
    // select's own tests) are stored already is refused with AlreadyExists,
    // also when another client inserts it at the same moment.
    void setUniqueOnInsert(const QStringList& columns) { m_uniqueOnInsert = columns; }
    // Rows added through the set are stored by `writer` instead (given the
    // row's values by column), which returns the new row's key or throws
    // AlreadyExists: the owner of a table's rows keeps its own rules.
    using RowWriter = std::function<qint64(const QList<Equality>& row)>;
    void setRowWriter(RowWriter writer) { m_rowWriter = std::move(writer); }
    // Forgets the pending edit, or the row being added; after an AddNew the
    // row that was current before becomes current again.
    void cancelUpdate();
    // The current row's value of a column; a null QVariant for Null.
    QVariant value(const QString& column) const;
    // Makes current the first row, from the current one on, whose column equals
    // text exactly; else the set is left at EOF. Started at EOF it finds nothing.
    void find(const QString& column, const QString& text);
    // The same with several columns, all of which must be equal on one row.
    void find(const QList<Equality>& tests);
    void close();

    // The current row's key (rowid); -1 at BOF, at EOF or on a row being added.
    qint64 currentKey() const;
    // The position of the current row, 0-based; -1 at BOF, recordCount() at EOF.
    qsizetype position() const { return m_pos; }

private:
    bool hasRows() const { return !m_keys.empty() || m_adding; }
    qsizetype size() const { return static_cast<qsizetype>(m_keys.size()); }
    void requireOpen() const;
    void requireCurrentRow() const;
    int columnIndex(const QString& column) const;
    const QVariantList& currentRow() const;
    void moveTo(qsizetype target);
    void storePending();
    void insertPending();
    QList<Equality> pendingRow() const;
    qint64 insertPendingRow();
    void updatePending();
    const QVariantList& lastReadRow() const;
    void loadColumns();
    void loadKeys();
    void prepareLookups() const;
    void usePreparedLookups() const;
    bool pendingValuesExist() const;
    // Where a listed key stands, found by its sort values; -1 if not found so.
    qsizetype listedPosition(qint64 key) const;
    std::optional<qsizetype> firstListedMatch(const QList<Equality>& columnTests, qsizetype start) const;
    std::unordered_set<qint64> matchingKeys(const QList<Equality>& columnTests) const;
    qsizetype scanForMatch(const std::unordered_set<qint64>& matches, qsizetype from) const;
    QVariantList orderValues(qint64 key) const;
    bool orderPrecedes(qsizetype position, const QVariantList& values, qint64 key, bool keep) const;
    void rememberOrderBeforeEdit();

    Connection& m_connection;
    Select m_select;
    bool m_open = false;
    QStringList m_columns;
    QHash<QString, int> m_columnIndex; // lower-case name -> index
    std::vector<qint64> m_keys;
    // Keys before this index came from the select, in its order; later ones were added.
    qsizetype m_orderedCount = 0;
    // Sort values of rows as they were when listed, for rows edited since.
    QHash<qint64, QVariantList> m_listedOrder;
    // Sort values of the rows that the first steps of every search probe.
    mutable QHash<qint64, QVariantList> m_probedOrder;
    mutable std::unique_ptr<Query> m_orderQuery;
    mutable int m_generation = 0; // of the connection the lookups were prepared on
    QStringList m_uniqueOnInsert;
    RowWriter m_rowWriter;
    qsizetype m_pos = -1;
    bool m_adding = false;
    qsizetype m_posBeforeAdd = -1;
    QHash<int, QVariant> m_pending; // column index -> value
    QVariantList m_editBase;        // the edited row's values as they were read
    // Rows that another client changed since they were read: read again when next shown.
    mutable QSet<qint64> m_stale;
    mutable QCache<qint64, QVariantList> m_rows;
    mutable std::unique_ptr<Query> m_rowQuery;
};

} // namespace data
