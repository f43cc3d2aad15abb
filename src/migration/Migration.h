#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace data {
class Connection;
}

namespace migration {

// How many rows each table holds.
struct Counts
{
    qint64 users = 0;
    qint64 contacts = 0;
    qint64 staged = 0;

    bool operator==(const Counts&) const = default;
    bool isEmpty() const { return users == 0 && contacts == 0 && staged == 0; }
};

Counts countsOf(data::Connection& book);

// Copies a whole book, every row of its three tables, from one engine's book
// to another's (the file to a server, or back), in one transaction of the
// target, keeping the order the rows were stored in. A target that holds rows
// is refused unless `replace` says to empty it first. The counts are checked
// on both sides before the transaction commits; any failure (a refusal
// included) throws DataError and leaves the target as it was. What a sync
// remembers stays behind: the next sync finds each card again by its UID.
Counts copyBook(data::Connection& from, data::Connection& to, bool replace);

// Copies a whole book into a new book file at `path`, built beside its name:
// the book appears only once the copy is committed and its counts checked, so
// a copy interrupted at any moment leaves no book and can simply be run again.
// Nothing when a file is there already, which is left as it is.
std::optional<Counts> copyToNewBookFile(data::Connection& from, const QString& path);

} // namespace migration
