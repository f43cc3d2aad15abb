#pragma once

#include "data/Engine.h"

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
    QString keysSql(const Dialect& dialect) const;
    // SQL listing the given columns (already quoted) of the matching rows, in the set's order.
    QString rowsSql(const Dialect& dialect, const QString& columns) const;
    // SQL listing the keys of the matching rows that also pass `extra`.
    QString keysWhereSql(const Dialect& dialect, const QList<Equality>& extra) const;
    // SQL giving the first key, in the set's order, of the rows that also pass
    // `extra`; with fromRow, only rows at or after the row whose sort values and
    // key are bound after the tests' values.
    QString firstMatchSql(const Dialect& dialect, const QList<Equality>& extra, bool fromRow) const;
    // SQL giving the sort values of the row with the key bound.
    QString orderValuesSql(const Dialect& dialect) const;
    QVariantList boundValues() const;
    // What inserts into this select's rows lock, so that two clients do not
    // test and insert the same row at once: the table and the tests' values.
    QString insertLockKey() const;
};

QString quotedName(const QString& name);

// Text is stored as text: an empty box gives empty text, never Null.
QVariant storedValue(const QVariant& value);

// The record sets' selects, by what they are for. Statements that write, and
// those of the contact store, are built beside the code that runs them.
namespace statements {
Select userNamed(const QString& user);
Select allUsers();
Select userToChangePassword(const QString& user);
Select contactsOf(const QString& user);
Select printDetails();
QString emptyPrintDetails();
} // namespace statements

} // namespace data
