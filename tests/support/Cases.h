#pragma once

#include "ContactItems.h"
#include "Files.h"
#include "ProgramFolder.h"

#include <QTest>

namespace testsupport {

// One case of a table kept as a sample file: its name and its items, in the file's order.
struct Case
{
    QString name;
    QList<std::pair<QString, QString>> items;

    // Every value given for the key, in order.
    QStringList all(const QString& key) const
    {
        QStringList values;
        for (const auto& [k, value] : items)
            if (k == key)
                values << value;
        return values;
    }
    // The key's first value; a null text when it has none.
    QString operator[](const QString& key) const { return all(key).value(0); }
};

// The cases of tests/samples/FILE: "case NAME", then a "  key value" line for each item, the value
// written as unescaped() reads it (\s for a blank at either end). Other lines are comments.
inline QList<Case> casesIn(const QString& file)
{
    QList<Case> cases;
    const auto text = QString::fromUtf8(fileBytes(QStringLiteral(VANTREL_SAMPLES "/") + file).value_or(""));
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("case ")))
            cases << Case{line.mid(5), {}};
        else if (line.startsWith(QLatin1String("  ")) && !cases.isEmpty())
            cases.last().items.append(
                {line.section(QLatin1Char(' '), 2, 2), unescaped(line.section(' ', 3))});
    }
    if (cases.isEmpty())
        qFatal("No cases in tests/samples/%s", qPrintable(file));
    return cases;
}

// A row "sample" for each case of the file, named after it; a case with "engine file" or "engine server"
// runs on that engine only.
inline void addCases(const QString& file)
{
    QTest::addColumn<Case>("sample");
    const bool onServer = testing::ProgramFolder::engineUnderTest() == data::Engine::PostgreSQL;
    for (const Case& c : casesIn(file))
        if (c["engine"].isNull() || (c["engine"] == QLatin1String("server")) == onServer)
            QTest::newRow(qPrintable(c.name)) << c;
}

} // namespace testsupport

Q_DECLARE_METATYPE(testsupport::Case)
