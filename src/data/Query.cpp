#include "data/Query.h"

#include "data/Connection.h"
#include "data/DataError.h"
#include "data/NativeStatement.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <functional>

namespace data {

namespace {

class DriverQuery final : public Query
{
public:
    DriverQuery(Connection& connection, const QString& sql)
        : m_connection(connection), m_sql(sql), m_query(connection.database())
    {
        if (!prepare())
            retryOnNewConnection([this] { return prepare(); });
    }
    void bind(const QVariantList& values) override
    {
        m_query.finish();
        if (!execute(values))
            retryOnNewConnection([&] { return prepare() && execute(values); });
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
    bool prepare()
    {
        m_query = QSqlQuery(m_connection.database());
        m_query.setForwardOnly(true);
        return m_query.prepare(m_sql);
    }
    bool execute(const QVariantList& values)
    {
        for (int i = 0; i < values.size(); ++i)
            m_query.bindValue(i, values[i]);
        return m_query.exec();
    }
    // These statements only read: after a lost connection they run once more on a new one.
    void retryOnNewConnection(const std::function<bool()>& attempt)
    {
        const QString text = m_query.lastError().text().trimmed();
        if (!m_connection.reopenForRetry())
            throw DataError(text);
        if (!attempt())
            fail();
    }
    [[noreturn]] void fail()
    {
        const QString text = m_query.lastError().text().trimmed();
        m_connection.noteFailure();
        throw DataError(text);
    }

    Connection& m_connection;
    QString m_sql;
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
