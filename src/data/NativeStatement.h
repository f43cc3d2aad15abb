#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>

struct sqlite3;
struct sqlite3_stmt;

namespace data {

// A prepared SQLite statement on the connection's own handle, for the hot
// paths (listing a large set's keys, looking rows up by key) where the
// per-row cost of QSqlQuery would dominate.
class NativeStatement final
{
public:
    NativeStatement(sqlite3* db, const QString& sql);
    ~NativeStatement();
    Q_DISABLE_COPY_MOVE(NativeStatement)

    // Binds the values in order (text, whole numbers or Null) and starts over.
    void bind(const QVariantList& values);
    // Advances to the next row; false when there is none.
    bool step();
    qint64 int64(int column) const;
    QVariant value(int column) const;
    int columnCount() const;
    void reset();

private:
    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
};

} // namespace data
