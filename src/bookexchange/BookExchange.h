#pragma once

#include "exchange/Exporter.h"
#include "exchange/Importer.h"

#include <QString>
#include <optional>

namespace data {
class Connection;
}

namespace exchange {

// Reads a file into one user's book as one transaction: a failed or cancelled
// import leaves the book as it was. A failure of the database throws DataError
// (and nothing is imported either).
ImportSummary importIntoBook(data::Connection& connection, const QString& user, const QString& path,
                             const ImportOptions& options = {}, const Progress& progress = {});
// Writes one user's book, in the contact window's order, into a file that is
// replaced only when the export completes.
ExportResult exportBook(data::Connection& connection, const QString& user, const QString& path, Format format,
                        const Progress& progress = {});

// The format guessFileKind() finds; a vCard is written as 3.0 and a CSV with
// Outlook's columns, the forms phones and mail programs read most widely.
Format formatForFile(const QString& path);
// "vcard3", "vcard4", "vcard21", "csv" or "csv-thunderbird", as the command line spells them.
std::optional<Format> formatNamed(const QString& name);
QString formatName(Format format);
// How a person reads it: "vCard 3.0", ..., "CSV (Thunderbird)".
QString formatLabel(Format format);

} // namespace exchange
