#pragma once

#include <QString>

namespace bench {

// Creates <folder>/data/vantrel.mdb with user "bench" (password "pw") owning
// `contacts` contacts, plus other users' contacts, every column filled with
// realistic random values; and copies the pictures to <folder>/images.
void makeSampleBook(const QString& folder, const QString& imagesSource, int contacts);

// First and second name of the bench user's contact at `position` in the
// contact window's order (category, then first name).
struct Names
{
    QString first;
    QString second;
};
Names namesAt(const QString& databasePath, int position);

} // namespace bench
