#pragma once

#include "data/Contact.h"

#include <QList>
#include <QString>

namespace testsupport {

// Sets one field of a contact from a "column=value" item.
inline void setItem(data::Contact& contact, const QString& item)
{
    const QString name = item.section(QLatin1Char('='), 0, 0);
    const qsizetype column = data::contactColumnNames().indexOf(name);
    if (column < 0)
        qFatal("no column %s", qPrintable(name));
    contact.*data::contactColumns[size_t(column)].member = item.sliced(name.size() + 1);
}

// A contact from "column=value" items, such as make("firstName=Ann", "dobYear=1980").
template <typename... Items> data::Contact make(const Items&... items)
{
    data::Contact contact;
    for (const QString& item : {QString(items)...})
        setItem(contact, item);
    return contact;
}

// A text written on one line with \n, \r, \s and \\ for line feed, return, blank and backslash.
inline QString unescaped(const QString& text)
{
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (text[i] != QLatin1Char('\\') || next.isNull()) {
            plain += text[i];
            continue;
        }
        plain += next == QLatin1Char('n')   ? QLatin1Char('\n')
                 : next == QLatin1Char('r') ? QLatin1Char('\r')
                 : next == QLatin1Char('s') ? QLatin1Char(' ')
                                            : next;
        ++i;
    }
    return plain;
}

// The contacts of a sample file: "contact", then a "  column=value" line for each field given.
inline QList<data::Contact> contactsIn(const QString& text)
{
    QList<data::Contact> contacts;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line == QLatin1String("contact"))
            contacts << data::Contact();
        else if (line.startsWith(QLatin1String("  ")))
            setItem(contacts.last(), unescaped(line.mid(2)));
    }
    return contacts;
}

} // namespace testsupport
