#pragma once

#include "data/Contact.h"

#include <QString>
#include <algorithm>

namespace testsupport {

// A contact from "column=value" items, such as make("firstName=Ann", "dobYear=1980").
template <typename... Items> data::Contact make(const Items&... items)
{
    data::Contact contact;
    for (const QString& item : {QString(items)...}) {
        const QString name = item.section(QLatin1Char('='), 0, 0);
        const auto column = std::find_if(data::contactColumns.cbegin(), data::contactColumns.cend(),
                                         [&](const data::ContactColumn& c) { return c.name == name; });
        if (column == data::contactColumns.cend())
            qFatal("no column %s", qPrintable(name));
        contact.*column->member = item.sliced(name.size() + 1);
    }
    return contact;
}

} // namespace testsupport
