#include "data/Statements.h"

#include "data/Schema.h"

namespace data {

QString quotedName(const QString& name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QVariant storedValue(const QVariant& value)
{
    // A null variant is Null; a null QString (an empty box) is empty text.
    if (!value.isNull() && value.typeId() == QMetaType::QString && value.toString().isNull())
        return QVariant(QStringLiteral(""));
    return value;
}

namespace {
QString whereClause(const QList<Equality>& tests)
{
    QStringList parts;
    for (const Equality& test : tests)
        parts << quotedName(test.column) + QLatin1String(" = ?");
    return parts.isEmpty() ? QString() : QLatin1String(" where ") + parts.join(QLatin1String(" and "));
}
} // namespace

namespace {
QStringList quotedNames(const QStringList& columns, QLatin1String suffix = {})
{
    QStringList names;
    for (const QString& column : columns)
        names << quotedName(column) + suffix;
    return names;
}

// The sort columns, then the key: ties fall back to it.
QStringList sortColumns(const QStringList& orderBy, const Dialect& dialect)
{
    return quotedNames(orderBy) << dialect.key;
}

QString orderClause(const QStringList& orderBy, const Dialect& dialect)
{
    const QStringList terms = quotedNames(orderBy, QLatin1String(dialect.nullsFirst ? " nulls first" : ""))
                              << dialect.key; // never Null
    return QLatin1String(" order by ") + terms.join(QLatin1String(", "));
}
} // namespace

QString Select::keysSql(const Dialect& dialect) const
{
    return QLatin1String("select ") + dialect.key + QLatin1String(" from ") + quotedName(table) +
           whereClause(where) + orderClause(orderBy, dialect);
}

QString Select::rowsSql(const Dialect& dialect, const QString& columns) const
{
    return QLatin1String("select ") + columns + QLatin1String(" from ") + quotedName(table) +
           whereClause(where) + orderClause(orderBy, dialect);
}

QString Select::firstMatchSql(const Dialect& dialect, const QList<Equality>& extra, bool fromRow) const
{
    QString sql = keysWhereSql(dialect, extra);
    if (fromRow) {
        const QStringList columns = sortColumns(orderBy, dialect);
        const QStringList marks(columns.size(), QStringLiteral("?"));
        sql += QLatin1String(" and (") + columns.join(QLatin1String(", ")) + QLatin1String(") >= (") +
               marks.join(QLatin1String(", ")) + QLatin1Char(')');
    }
    return sql + orderClause(orderBy, dialect) + QLatin1String(" limit 1");
}

QString Select::keysWhereSql(const Dialect& dialect, const QList<Equality>& extra) const
{
    return QLatin1String("select ") + dialect.key + QLatin1String(" from ") + quotedName(table) +
           whereClause(where + extra);
}

QString Select::orderValuesSql(const Dialect& dialect) const
{
    return QLatin1String("select ") + quotedNames(orderBy).join(QLatin1String(", ")) +
           QLatin1String(" from ") + quotedName(table) + QLatin1String(" where ") + dialect.key +
           QLatin1String(" = ?");
}

QVariantList Select::boundValues() const
{
    QVariantList values;
    for (const Equality& test : where)
        values << storedValue(test.value);
    return values;
}

QString Select::insertLockKey() const
{
    QStringList parts{table};
    for (const Equality& test : where)
        parts << test.value.toString();
    return parts.join(QLatin1Char('|'));
}

namespace statements {

Select userNamed(const QString& user)
{
    return {schema::userMaster, {{schema::columns::user, user}}, {}};
}

Select allUsers()
{
    return {schema::userMaster, {}, {}};
}

Select userToChangePassword(const QString& user)
{
    return userNamed(user);
}

Select contactsOf(const QString& user)
{
    return {schema::main, {{schema::columns::user, user}}, schema::contactOrder()};
}

Select printDetails()
{
    return {schema::printDetails, {}, {}};
}

QString emptyPrintDetails()
{
    return QLatin1String("delete from ") + quotedName(schema::printDetails);
}

} // namespace statements
} // namespace data
