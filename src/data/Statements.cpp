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
QString orderList(const QStringList& orderBy)
{
    QStringList order;
    for (const QString& column : orderBy)
        order << quotedName(column);
    order << QStringLiteral("rowid");
    return order.join(QLatin1String(", "));
}
} // namespace

QString Select::keysSql() const
{
    return QLatin1String("select rowid from ") + quotedName(table) + whereClause(where) +
           QLatin1String(" order by ") + orderList(orderBy);
}

QString Select::rowsSql(const QString& columns) const
{
    return QLatin1String("select ") + columns + QLatin1String(" from ") + quotedName(table) + whereClause(where) +
           QLatin1String(" order by ") + orderList(orderBy);
}

QString Select::firstMatchSql(const QList<Equality>& extra, bool fromRow) const
{
    QString sql = keysWhereSql(extra);
    const QString order = orderList(orderBy);
    if (fromRow) {
        QStringList marks;
        for (qsizetype i = 0; i <= orderBy.size(); ++i)
            marks << QStringLiteral("?");
        sql += QLatin1String(" and (") + order + QLatin1String(") >= (") + marks.join(QLatin1String(", ")) +
               QLatin1Char(')');
    }
    return sql + QLatin1String(" order by ") + order + QLatin1String(" limit 1");
}

QString Select::keysWhereSql(const QList<Equality>& extra) const
{
    return QLatin1String("select rowid from ") + quotedName(table) + whereClause(where + extra);
}

QVariantList Select::boundValues() const
{
    QVariantList values;
    for (const Equality& test : where)
        values << storedValue(test.value);
    return values;
}

namespace statements {

Select login(const QString& user, const QString& password)
{
    return {schema::userMaster, {{schema::columns::user, user}, {schema::columns::password, password}}, {}};
}

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
