#include "exchange/CsvWriter.h"

#include "exchange/PartialDate.h"

namespace exchange::csv {

using data::Contact;

namespace {

// The columns the common mail programs write and read. Outlook has no column for
// an office mobile; "Business Mobile Phone" names it plainly, and our reader
// knows it.
struct Column
{
    const char* header;
    QString Contact::*field;
};

constexpr Column columns[] = {
    {"First Name", &Contact::firstName},
    {"Last Name", &Contact::secondName},
    {"Home Street", &Contact::address},
    {"Business Street", &Contact::addressOff},
    {"Home Phone", &Contact::phone},
    {"Home Phone 2", &Contact::phone2},
    {"Business Phone", &Contact::phoneOff},
    {"Business Phone 2", &Contact::phone2Off},
    {"Mobile Phone", &Contact::mobile},
    {"Business Mobile Phone", &Contact::mobileOff},
    {"Home Fax", &Contact::fax},
    {"Business Fax", &Contact::faxOff},
    {"E-mail Address", &Contact::EMailH},
    {"E-mail 2 Address", &Contact::EMailO},
};

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

QByteArray header()
{
    QByteArray out;
    for (const Column& column : columns)
        out += QByteArray(column.header) + ',';
    out += "Birthday,Anniversary,Categories\r\n";
    return out;
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

void appendRecord(QByteArray& out, const Contact& contact)
{
    for (const Column& column : columns) {
        appendField(out, contact.*column.field);
        out += ',';
    }
    appendField(out, dates::csvForm({contact.dobDate, contact.dobMonth, contact.dobYear}));
    out += ',';
    appendField(out, dates::csvForm({contact.aniDate, contact.aniMonth, contact.aniYear}));
    out += ',';
    appendField(out, joinCategories(contact.category, contact.subCategory));
    out += "\r\n";
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

} // namespace exchange::csv
