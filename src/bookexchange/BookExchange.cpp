#include "bookexchange/BookExchange.h"

#include "data/Connection.h"
#include "data/ContactStore.h"
#include "data/Statements.h"

#include <array>

namespace exchange {

namespace {

class DatabaseBook final : public Book
{
public:
    DatabaseBook(data::Connection& connection, const QString& user) : m_contacts(connection, user) {}
    data::Added add(const data::Contact& contact, const QString& uid) override
    {
        return m_contacts.add(contact, uid);
    }

private:
    data::ContactStore m_contacts;
};

struct Named
{
    Format format;
    const char* name;
    const char* label;
};
constexpr std::array<Named, 5> formats{{{Format::VCard30, "vcard3", "vCard 3.0"},
                                        {Format::VCard40, "vcard4", "vCard 4.0"},
                                        {Format::VCard21, "vcard21", "vCard 2.1"},
                                        {Format::Csv, "csv", "CSV (Outlook, Google)"},
                                        {Format::CsvThunderbird, "csv-thunderbird", "CSV (Thunderbird)"}}};

const Named& named(Format format)
{
    for (const Named& entry : formats) {
        if (entry.format == format)
            return entry;
    }
    return formats[0];
}

QString isTheBook(const QString& path)
{
    return QStringLiteral("%1 is the contact book itself, not a file of contacts: choose another file.")
        .arg(path);
}

} // namespace

ImportSummary importIntoBook(data::Connection& connection, const QString& user, const QString& path,
                             const ImportOptions& options, const Progress& progress)
{
    if (data::isOpenBookFile(path)) {
        ImportSummary refused;
        refused.outcome = Outcome::Failed;
        refused.error = isTheBook(path);
        return refused;
    }
    data::Transaction transaction(connection);
    // Saves of the same user on other workstations wait until the import ends.
    connection.lockForInsert(data::statements::contactsOf(user).insertLockKey());
    DatabaseBook book(connection, user);
    ImportSummary summary = importFile(path, book, options, progress);
    if (!summary.mustRollBack())
        transaction.commit(); // otherwise everything added goes as the transaction ends
    return summary;
}

ExportResult exportBook(data::Connection& connection, const QString& user, const QString& path, Format format,
                        const Progress& progress)
{
    if (data::isOpenBookFile(path))
        return {Outcome::Failed, isTheBook(path), 0};
    const data::ContactStore book(connection, user);
    // Counted before the contacts stream in: a server connection answers one
    // query at a time, and a second one would cut the stream short.
    const qint64 total = book.count();
    data::ContactCursor cursor = book.inWindowOrder();
    return exportFile(
        path, format, [&cursor](data::Contact& contact, QString& uid) { return cursor.next(contact, &uid); },
        total, progress);
}

Format formatForFile(const QString& path)
{
    if (data::isOpenBookFile(path))
        return Format::VCard30; // not looked into: the import refuses it
    return guessFileKind(path) == FileKind::Csv ? Format::Csv : Format::VCard30;
}

std::optional<Format> formatNamed(const QString& name)
{
    for (const Named& entry : formats) {
        if (name == QLatin1String(entry.name))
            return entry.format;
    }
    return std::nullopt;
}

QString formatName(Format format)
{
    return QLatin1String(named(format).name);
}

QString formatLabel(Format format)
{
    return QLatin1String(named(format).label);
}

} // namespace exchange
