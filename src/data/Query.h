#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <memory>

namespace data {

class Connection;

// A prepared statement whose rows are read one at a time: the hot paths of a
// large book (listing a set's keys, looking rows up by key, reading a whole
// book) go through it. Every one reads: after a lost server connection
// outside a transaction it runs once more on a new one.
class Query
{
public:
    virtual ~Query() = default;

    // Binds the values in order (text, whole numbers or Null) and starts over.
    virtual void bind(const QVariantList& values) = 0;
    // Advances to the next row; false when there is none.
    virtual bool step() = 0;
    virtual qint64 int64(int column) const = 0;
    virtual QVariant value(int column) const = 0;
    virtual int columnCount() const = 0;
    virtual void reset() = 0;

    // SQLite's own statement on the embedded file, where the per-row cost of
    // Qt's layer would dominate; Qt's driver on a server.
    static std::unique_ptr<Query> prepare(Connection& connection, const QString& sql);
};

} // namespace data
