#pragma once

#include "data/Query.h"

#include <QString>
#include <QVariant>
#include <QtGlobal>

struct sqlite3;
struct sqlite3_stmt;

namespace data {

// A prepared SQLite statement on the connection's own handle, for the hot
// paths (listing a large set's keys, looking rows up by key) where the
// per-row cost of QSqlQuery would dominate.
class NativeStatement final : public Query
{
public:
    NativeStatement(sqlite3* db, const QString& sql);
    ~NativeStatement() override;
    Q_DISABLE_COPY_MOVE(NativeStatement)

    void bind(const QVariantList& values) override;
    bool step() override;
    qint64 int64(int column) const override;
    QVariant value(int column) const override;
    int columnCount() const override;
    void reset() override;

private:
    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
};

} // namespace data
