#pragma once

#include "data/Contact.h"
#include "exchange/Exchange.h"

#include <QByteArray>
#include <QStringList>

namespace exchange::csv {

// The header record and one record per contact, in UTF-8 with CRLF record ends,
// quoted as RFC 4180 says wherever needed. Format::Csv has Outlook's column
// names, which Google's import also reads; Format::CsvThunderbird has exactly
// Thunderbird's, in its order, since Thunderbird matches columns by itself only
// when it knows every one. A value the form has no column for goes into its
// Notes cell as a "Label: value" line, which our reader takes back.
QByteArray header(Format format);
void appendRecord(QByteArray& out, const data::Contact& contact, Format format);

// The "Label: value" lines of a Notes cell that hold our values, and the rest of its text.
struct NotedValue
{
    QString label, value;
};
QList<NotedValue> splitNotes(QStringView cell, QString& rest);
// The field a noted number is for, or nullptr when the label names no number.
QString data::Contact::*notedNumber(const QString& label);
inline constexpr char birthdayLabel[] = "Birthday";
inline constexpr char anniversaryLabel[] = "Anniversary";
inline constexpr char categoriesLabel[] = "Categories";

// One field, quoted when it holds the delimiter, a quote, a line break or blanks at an end.
void appendField(QByteArray& out, const QString& text, char delimiter = ',');

// Category and sub-category in one Categories cell, ";" between them as Outlook
// separates categories, a ";" or "\" inside one escaped by a backslash. An empty
// category before a sub-category is kept as an empty first item (";sub").
QString joinCategories(const QString& category, const QString& subCategory);
QStringList splitCategories(QStringView cell);

} // namespace exchange::csv
