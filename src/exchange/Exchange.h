#pragma once

#include <QtGlobal>
#include <functional>

namespace exchange {

// What a file is written as.
enum class Format
{
    VCard21,
    VCard30,
    VCard40,
    Csv,           // Outlook's columns, which Google reads too
    CsvThunderbird // Thunderbird's columns
};

constexpr bool isCsv(Format format)
{
    return format == Format::Csv || format == Format::CsvThunderbird;
}

// What a file is read as. Any vCard version is read by the vCard reader.
enum class FileKind
{
    Guess,
    VCard,
    Csv
};

// How a CSV date such as 3/4/1980 is read when the file does not show it.
enum class DateOrder
{
    Detect,
    MonthFirst,
    DayFirst
};

enum class Outcome
{
    Completed,
    Failed,
    Cancelled
};

// Told the work done and the total (-1 when unknown): bytes on import,
// contacts on export. Returning false cancels.
using Progress = std::function<bool(qint64 done, qint64 total)>;

} // namespace exchange
