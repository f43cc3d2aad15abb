#include "exchange/CsvWriter.h"

#include "exchange/PartialDate.h"

#include <algorithm>
#include <span>

namespace exchange::csv {

using data::Contact;

namespace {

// What a column holds.
enum class Cell
{
    Field,
    Empty, // a column of the program's own that the book has no field for
    DisplayName,
    BirthYear,
    BirthMonth,
    BirthDay,
    Birthday,
    Anniversary,
    Categories,
    Notes
};

struct Column
{
    const char* header;
    Cell cell;
    QString Contact::*field = nullptr;
};

// Outlook's own column names; Outlook has no column for an office mobile.
constexpr Column outlookColumns[] = {
    {"First Name", Cell::Field, &Contact::firstName},
    {"Last Name", Cell::Field, &Contact::secondName},
    {"Home Street", Cell::Field, &Contact::address},
    {"Business Street", Cell::Field, &Contact::addressOff},
    {"Home Phone", Cell::Field, &Contact::phone},
    {"Home Phone 2", Cell::Field, &Contact::phone2},
    {"Business Phone", Cell::Field, &Contact::phoneOff},
    {"Business Phone 2", Cell::Field, &Contact::phone2Off},
    {"Mobile Phone", Cell::Field, &Contact::mobile},
    {"Home Fax", Cell::Field, &Contact::fax},
    {"Business Fax", Cell::Field, &Contact::faxOff},
    {"E-mail Address", Cell::Field, &Contact::EMailH},
    {"E-mail 2 Address", Cell::Field, &Contact::EMailO},
    {"Birthday", Cell::Birthday},
    {"Anniversary", Cell::Anniversary},
    {"Categories", Cell::Categories},
    {"Notes", Cell::Notes},
};

// Thunderbird's export, column for column.
constexpr Column thunderbirdColumns[] = {
    {"First Name", Cell::Field, &Contact::firstName},
    {"Last Name", Cell::Field, &Contact::secondName},
    {"Display Name", Cell::DisplayName},
    {"Nickname", Cell::Empty},
    {"Primary Email", Cell::Field, &Contact::EMailH},
    {"Secondary Email", Cell::Field, &Contact::EMailO},
    {"Screen Name", Cell::Empty},
    {"Work Phone", Cell::Field, &Contact::phoneOff},
    {"Home Phone", Cell::Field, &Contact::phone},
    {"Fax Number", Cell::Field, &Contact::fax},
    {"Pager Number", Cell::Empty},
    {"Mobile Number", Cell::Field, &Contact::mobile},
    {"Home Address", Cell::Field, &Contact::address},
    {"Home Address 2", Cell::Empty},
    {"Home City", Cell::Empty},
    {"Home State", Cell::Empty},
    {"Home ZipCode", Cell::Empty},
    {"Home Country", Cell::Empty},
    {"Work Address", Cell::Field, &Contact::addressOff},
    {"Work Address 2", Cell::Empty},
    {"Work City", Cell::Empty},
    {"Work State", Cell::Empty},
    {"Work ZipCode", Cell::Empty},
    {"Work Country", Cell::Empty},
    {"Job Title", Cell::Empty},
    {"Department", Cell::Empty},
    {"Organization", Cell::Empty},
    {"Web Page 1", Cell::Empty},
    {"Web Page 2", Cell::Empty},
    {"Birth Year", Cell::BirthYear},
    {"Birth Month", Cell::BirthMonth},
    {"Birth Day", Cell::BirthDay},
    {"Custom 1", Cell::Empty},
    {"Custom 2", Cell::Empty},
    {"Custom 3", Cell::Empty},
    {"Custom 4", Cell::Empty},
    {"Notes", Cell::Notes},
};

struct NotedNumber
{
    const char* label;
    QString Contact::*field;
};

// The numbers some form has no column for, as their Notes lines name them.
constexpr NotedNumber notedNumbers[] = {
    {"Home phone 2", &Contact::phone2},
    {"Office phone 2", &Contact::phone2Off},
    {"Office mobile", &Contact::mobileOff},
    {"Office fax", &Contact::faxOff},
};

std::span<const Column> columnsOf(Format format)
{
    if (format == Format::CsvThunderbird)
        return thunderbirdColumns;
    return outlookColumns;
}

bool hasCell(std::span<const Column> columns, Cell cell, QString Contact::*field = nullptr)
{
    return std::any_of(columns.begin(), columns.end(),
                       [&](const Column& c) { return c.cell == cell && c.field == field; });
}

// A day or month as the window's lists write it, or none.
bool listPart(const QString& part, int highest)
{
    bool ok = false;
    const int n = part.toInt(&ok);
    return part.isEmpty() || (ok && n >= 1 && n <= highest && QString::number(n) == part);
}

// Whether the year, month and day columns give back the parts exactly.
bool fitsDateColumns(const DateParts& parts)
{
    const bool year = parts.year.isEmpty() ||
                      (parts.year.size() == 4 && parts.year.toInt() > 0 &&
                       std::all_of(parts.year.cbegin(), parts.year.cend(),
                                   [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }));
    return year && listPart(parts.day, 31) && listPart(parts.month, 12);
}

// One line per value: a line break or backslash inside a value is escaped.
QString noteLine(const QString& label, const QString& value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    escaped.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return label + QLatin1String(": ") + escaped;
}

QString unescapeNote(QStringView text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size()) {
            const QChar n = text[++i];
            out += n == QLatin1Char('n') ? QChar(u'\n') : n == QLatin1Char('r') ? QChar(u'\r') : n;
        } else {
            out += text[i];
        }
    }
    return out;
}

QString notesOf(const Contact& contact, std::span<const Column> columns)
{
    QStringList lines;
    for (const NotedNumber& number : notedNumbers) {
        if (!(contact.*number.field).isEmpty() && !hasCell(columns, Cell::Field, number.field))
            lines << noteLine(QLatin1String(number.label), contact.*number.field);
    }
    const DateParts birthday{contact.dobDate, contact.dobMonth, contact.dobYear};
    const bool birthdayHasCell =
        hasCell(columns, Cell::Birthday) || (hasCell(columns, Cell::BirthYear) && fitsDateColumns(birthday));
    if (!birthday.isEmpty() && !birthdayHasCell)
        lines << noteLine(QLatin1String(birthdayLabel), dates::csvForm(birthday));
    const DateParts anniversary{contact.aniDate, contact.aniMonth, contact.aniYear};
    if (!anniversary.isEmpty() && !hasCell(columns, Cell::Anniversary))
        lines << noteLine(QLatin1String(anniversaryLabel), dates::csvForm(anniversary));
    const QString categories = joinCategories(contact.category, contact.subCategory);
    if (!categories.isEmpty() && !hasCell(columns, Cell::Categories))
        lines << noteLine(QLatin1String(categoriesLabel), categories);
    return lines.join(QLatin1String("\r\n"));
}

QString cellOf(const Column& column, const Contact& contact, std::span<const Column> columns)
{
    const DateParts birthday{contact.dobDate, contact.dobMonth, contact.dobYear};
    const bool birthParts = fitsDateColumns(birthday);
    switch (column.cell) {
    case Cell::Field:
        return contact.*column.field;
    case Cell::Empty:
        break;
    case Cell::DisplayName:
        return (contact.firstName.trimmed() + QLatin1Char(' ') + contact.secondName.trimmed()).trimmed();
    case Cell::BirthYear:
        return birthParts ? contact.dobYear : QString();
    case Cell::BirthMonth:
        return birthParts ? contact.dobMonth : QString();
    case Cell::BirthDay:
        return birthParts ? contact.dobDate : QString();
    case Cell::Birthday:
        return dates::csvForm(birthday);
    case Cell::Anniversary:
        return dates::csvForm({contact.aniDate, contact.aniMonth, contact.aniYear});
    case Cell::Categories:
        return joinCategories(contact.category, contact.subCategory);
    case Cell::Notes:
        return notesOf(contact, columns);
    }
    return QString();
}

QString escapeCategory(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char(';') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

} // namespace

QByteArray header(Format format)
{
    QByteArray out;
    for (const Column& column : columnsOf(format))
        out += QByteArray(column.header) + ',';
    out.back() = '\r';
    return out + '\n';
}

void appendField(QByteArray& out, const QString& text, char delimiter)
{
    const QByteArray bytes = text.toUtf8();
    bool quote =
        bytes.contains(delimiter) || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r');
    if (!bytes.isEmpty()) {
        const char first = bytes.front();
        const char last = bytes.back();
        quote = quote || first == ' ' || first == '\t' || last == ' ' || last == '\t';
    }
    if (!quote) {
        out += bytes;
        return;
    }
    out += '"';
    for (const char c : bytes) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void appendRecord(QByteArray& out, const Contact& contact, Format format)
{
    const std::span<const Column> columns = columnsOf(format);
    for (const Column& column : columns) {
        appendField(out, cellOf(column, contact, columns));
        out += ',';
    }
    out.back() = '\r';
    out += '\n';
}

QString joinCategories(const QString& category, const QString& subCategory)
{
    if (subCategory.isEmpty())
        return escapeCategory(category);
    return escapeCategory(category) + QLatin1Char(';') + escapeCategory(subCategory);
}

QStringList splitCategories(QStringView cell)
{
    if (cell.isEmpty())
        return {};
    QStringList out(1);
    for (qsizetype i = 0; i < cell.size(); ++i) {
        const QChar c = cell[i];
        if (c == QLatin1Char('\\') && i + 1 < cell.size() &&
            (cell[i + 1] == QLatin1Char(';') || cell[i + 1] == QLatin1Char('\\'))) {
            out.last() += cell[++i];
        } else if (c == QLatin1Char(';')) {
            out << QString();
        } else {
            out.last() += c;
        }
    }
    return out;
}

QList<NotedValue> splitNotes(QStringView cell, QString& rest)
{
    static const QStringList labels = [] {
        QStringList out{QLatin1String(birthdayLabel), QLatin1String(anniversaryLabel),
                        QLatin1String(categoriesLabel)};
        for (const NotedNumber& number : notedNumbers)
            out << QLatin1String(number.label);
        return out;
    }();
    QList<NotedValue> values;
    QStringList others;
    for (QStringView line : cell.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const qsizetype colon = line.indexOf(QLatin1String(": "));
        const QString label = colon > 0 ? line.first(colon).toString() : QString();
        if (colon > 0 && labels.contains(label))
            values << NotedValue{label, unescapeNote(line.sliced(colon + 2))};
        else
            others << line.toString();
    }
    rest = others.join(QLatin1Char('\n'));
    return values;
}

QString Contact::*notedNumber(const QString& label)
{
    for (const NotedNumber& number : notedNumbers) {
        if (label == QLatin1String(number.label))
            return number.field;
    }
    return nullptr;
}

} // namespace exchange::csv
