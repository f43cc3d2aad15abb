#pragma once

#include "exchange/Exchange.h"

#include <QString>
#include <optional>

namespace exchange {

// A date as the contact window keeps it: day, month and year as separate texts,
// any of them empty. The lists write day and month without a leading zero and
// the year with four digits, but the year box takes any text.
struct DateParts
{
    QString day, month, year;

    bool isEmpty() const { return day.isEmpty() && month.isEmpty() && year.isEmpty(); }
    bool operator==(const DateParts&) const = default;
};

// A standard date value for a vCard property, and whether it gives back the
// parts exactly when read.
struct VCardDate
{
    QString value; // empty: no standard form at all
    bool omitYear; // written with X-APPLE-OMIT-YEAR=1604
    bool exact;
};

struct ParsedDate
{
    std::optional<DateParts> parts; // nothing: the text is not a date
    QString problem;                // why a part was left out, e.g. a two-digit year
};

namespace dates {

// ISO 8601 and vCard forms: 19800102, 1980-01-02, 1980-1-2, 1980-01, 1980,
// --0102, --01-02, --01, ---02, each optionally followed by a time.
std::optional<DateParts> parseIso(QStringView text);

// The form for a vCard version. 4.0 has forms for every part missing except a
// day and year without a month. 3.0 and 2.1 hold only a full date, or a day and
// month with Apple's placeholder year 1604 marked by X-APPLE-OMIT-YEAR; a year
// 1604 typed by the user is therefore not exact there.
VCardDate vcardForm(const DateParts& parts, Format version);

// Our CSV date column. A full date is written YYYY-MM-DD and a day and month
// without a year --MM-DD, as Google writes them. Every other combination, and
// parts that are not plain numbers (a year "199"), is written year|month|day
// with "\" and "|" escaped by a backslash, which no mail program writes.
QString csvForm(const DateParts& parts);

// A CSV date cell: our own forms, ISO forms, and the slash and dot forms of mail
// programs (Outlook writes 0/0/00 for none). A dotted date is day first; a slashed
// one is read in the one order its numbers allow, else in `order` (month first
// when not known). A two-digit year is not guessed: it is left out and reported.
ParsedDate parseCsv(QStringView text, DateOrder order);

// The day/month order a slashed date reveals: MonthFirst, DayFirst, or Detect when
// both orders fit (or it is not a slashed date).
DateOrder revealedOrder(QStringView text);

} // namespace dates
} // namespace exchange
