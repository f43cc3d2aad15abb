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
    DriverQuery(Connection& connection, const QString& sql) : m_connection(connection), m_sql(sql)
    {
        m_connection.retryingOnce([this] { prepare(); });
    }
    void bind(const QVariantList& values) override
    {
        m_connection.retryingOnce([&] {
            if (m_generation != m_connection.generation())
                prepare(); // on the connection opened anew
            m_query.finish();
            for (int i = 0; i < values.size(); ++i)
                m_query.bindValue(i, values[i]);
            if (!m_query.exec())
                throw DataError(m_query.lastError().text().trimmed());
        });
    }
    bool step() override
    {
        if (m_query.next())
            return true;
        if (m_query.lastError().isValid()) {
            const QString text = m_query.lastError().text().trimmed();
            m_connection.noteFailure();
            throw DataError(text);
        }
        return false;
    }
    qint64 int64(int column) const override { return m_query.value(column).toLongLong(); }
    QVariant value(int column) const override { return m_query.value(column); }
    int columnCount() const override { return m_query.record().count(); }
    void reset() override { m_query.finish(); }

private:
    void prepare()
    {
        m_generation = m_connection.generation();
        m_query = QSqlQuery(m_connection.database());
        m_query.setForwardOnly(true);
        if (!m_query.prepare(m_sql))
            throw DataError(m_query.lastError().text().trimmed());
    }

    Connection& m_connection;
    QString m_sql;
    QSqlQuery m_query;
    int m_generation = 0; // of the connection the statement was prepared on
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
