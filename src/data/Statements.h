#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace data {

// One `column = value` test; the value is always bound, never pasted into SQL.
struct Equality
{
    QString column;
    QVariant value;
};

// A select over one table: equality tests joined by `and`, then an order.
// Record sets list the matching keys with it and fetch row values on demand.
struct Select
{
    QString table;
    QList<Equality> where;
    QStringList orderBy;

    // SQL listing the keys of the matching rows, in the set's order. Ties in the
    // order fall back to the key, so the order of a set is fully determined.
    QString keysSql() const;
    // SQL listing the given columns (already quoted) of the matching rows, in the set's order.
    QString rowsSql(const QString& columns) const;
    // SQL listing the keys of the matching rows that also pass `extra`.
    QString keysWhereSql(const QList<Equality>& extra) const;
    // SQL giving the first key, in the set's order, of the rows that also pass
    // `extra`; with fromRow, only rows at or after the row whose sort values and
    // key are bound after the tests' values.
    QString firstMatchSql(const QList<Equality>& extra, bool fromRow) const;
    QVariantList boundValues() const;
};

QString quotedName(const QString& name);

// Text is stored as text: an empty box gives empty text, never Null.
QVariant storedValue(const QVariant& value);

// Every statement the program issues.
namespace statements {
Select login(const QString& user, const QString& password);
Select userNamed(const QString& user);
Select allUsers();
Select userToChangePassword(const QString& user);
Select contactsOf(const QString& user);
Select printDetails();
QString emptyPrintDetails();
} // namespace statements

} // namespace data
