#include "data/NativeStatement.h"

#include "data/DataError.h"

#include <sqlite3.h>

namespace data {

namespace {
[[noreturn]] void fail(sqlite3* db)
{
    throw DataError(QString::fromUtf8(sqlite3_errmsg(db)));
}
} // namespace

NativeStatement::NativeStatement(sqlite3* db, const QString& sql) : m_db(db)
{
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_statement, nullptr) != SQLITE_OK)
        fail(db);
}

NativeStatement::~NativeStatement()
{
    sqlite3_finalize(m_statement);
}

void NativeStatement::bind(const QVariantList& values)
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& value = values[i];
        int rc = SQLITE_OK;
        if (value.isNull()) {
            rc = sqlite3_bind_null(m_statement, i + 1);
        } else if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int) {
            rc = sqlite3_bind_int64(m_statement, i + 1, value.toLongLong());
        } else {
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text(m_statement, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK)
            fail(m_db);
    }
}

bool NativeStatement::step()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(m_db);
}

qint64 NativeStatement::int64(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

QVariant NativeStatement::value(int column) const
{
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_statement, column));
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(m_statement, column)));
    }
    }
}

int NativeStatement::columnCount() const
{
    return sqlite3_column_count(m_statement);
}

void NativeStatement::reset()
{
    sqlite3_reset(m_statement);
}

} // namespace data
