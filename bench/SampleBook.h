#pragma once

#include <QString>

namespace testing {
class ProgramFolder;
}

namespace bench {

// Fills the (empty) database at `path` with user "bench" (password "pw")
// owning `contacts` contacts, plus other users' contacts, every column filled
// with realistic random values.
void fillSampleBook(const QString& path, int contacts);

// First and second name of the bench user's contact at `position` in the
// contact window's order (category, then first name).
struct Names
{
    QString first;
    QString second;
};
Names namesAt(const testing::ProgramFolder& folder, int position);

} // namespace bench
