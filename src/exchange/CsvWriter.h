#pragma once

#include "data/Contact.h"

#include <QByteArray>
#include <QStringList>

namespace exchange::csv {

// The header record (after the byte-order mark) and one record per contact, in
// UTF-8 with CRLF record ends, quoted as RFC 4180 says wherever needed.
QByteArray header();
void appendRecord(QByteArray& out, const data::Contact& contact);

// One field, quoted when it holds the delimiter, a quote, a line break or blanks at an end.
void appendField(QByteArray& out, const QString& text, char delimiter = ',');

// Category and sub-category in one Categories cell, ";" between them as Outlook
// separates categories, a ";" or "\" inside one escaped by a backslash. An empty
// category before a sub-category is kept as an empty first item (";sub").
QString joinCategories(const QString& category, const QString& subCategory);
QStringList splitCategories(QStringView cell);

} // namespace exchange::csv
