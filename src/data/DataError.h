#pragma once

#include <QString>
#include <stdexcept>

namespace data {

// A failed storage call. what() carries the engine's own description (UTF-8).
class DataError final : public std::runtime_error
{
public:
    explicit DataError(const QString& description) : std::runtime_error(description.toStdString()) {}
    QString description() const { return QString::fromUtf8(what()); }
};

// A cursor used where it has no current record (at BOF, at EOF, or on a row
// someone else removed). Routines that must ride over that case test for a
// current record first; this is a failure like any other where they do not.
class NoCurrentRecord final : public std::runtime_error
{
public:
    NoCurrentRecord()
        : std::runtime_error("Either BOF or EOF is True, or the current record has been deleted. "
                             "Requested operation requires a current record.")
    {
    }
};

// An edit was not stored because another client changed or removed the row
// since this one read it: storing it would undo what the other had stored.
class RowChanged final : public std::runtime_error
{
public:
    RowChanged() : std::runtime_error("The row was changed or removed by another client since it was read.")
    {
    }
};

// A guarded insert found its row stored already (RecordSet::setUniqueOnInsert,
// or the contact store's duplicate rule).
class AlreadyExists final : public std::runtime_error
{
public:
    AlreadyExists() : std::runtime_error("The row exists already.") {}
};

} // namespace data
