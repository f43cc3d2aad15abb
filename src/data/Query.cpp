#include "data/Query.h"

#include "data/Connection.h"
#include "data/DataError.h"
#include "data/NativeStatement.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace data {

namespace {

class DriverQuery final : public Query
{
public:
    DriverQuery(Connection& connection, const QString& sql)
        : m_connection(connection), m_query(connection.database())
    {
        m_query.setForwardOnly(true);
        if (!m_query.prepare(sql))
            fail();
    }
    void bind(const QVariantList& values) override
    {
        m_query.finish();
        for (int i = 0; i < values.size(); ++i)
            m_query.bindValue(i, values[i]);
        if (!m_query.exec())
            fail();
    }
    bool step() override
    {
        if (m_query.next())
            return true;
        if (m_query.lastError().isValid())
            fail();
        return false;
    }
    qint64 int64(int column) const override { return m_query.value(column).toLongLong(); }
    QVariant value(int column) const override { return m_query.value(column); }
    int columnCount() const override { return m_query.record().count(); }
    void reset() override { m_query.finish(); }

private:
    [[noreturn]] void fail()
    {
        const QString text = m_query.lastError().text().trimmed();
        m_connection.noteFailure();
        throw DataError(text);
    }

    Connection& m_connection;
    QSqlQuery m_query;
};

} // namespace

std::unique_ptr<Query> Query::prepare(Connection& connection, const QString& sql)
{
    connection.reconnectIfLost();
    if (connection.engine() == Engine::SQLite)
        return std::make_unique<NativeStatement>(connection.handle(), sql);
    return std::make_unique<DriverQuery>(connection, sql);
}

} // namespace data
