#include "exchange/Importer.h"

#include "exchange/ByteSource.h"
#include "exchange/CsvReader.h"
#include "exchange/VCardReader.h"

#include <QFile>
#include <QFileInfo>
#include <memory>

namespace exchange {

Book::~Book() = default;

namespace {

constexpr qint64 progressStep = 64 * 1024;
constexpr int detailsShown = 100;
constexpr qsizetype kindSample = 4096;

QString nameOf(const data::Contact& c)
{
    return (c.firstName + QLatin1Char(' ') + c.secondName).trimmed();
}

// A failed or cancelled import imports nothing: the caller rolls it all back.
ImportSummary& abandon(ImportSummary& summary, Outcome outcome)
{
    summary.outcome = outcome;
    summary.imported = 0;
    summary.skipped.clear();
    summary.notes.clear();
    summary.photos = summary.ignoredProperties = summary.junkLines = 0;
    return summary;
}

// The book holds line breaks as the contact window's text boxes give them: LF.
// Files bring CR LF (CSV, quoted-printable =0D=0A) and lone CRs (old Macs).
void useBookLineBreaks(data::Contact& c)
{
    for (const data::ContactColumn& column : data::contactColumns) {
        QString& value = c.*column.member;
        if (value.contains(QLatin1Char('\r'))) {
            value.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            value.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        }
    }
}

// Text that cannot be decoded is not stored as other letters.
ImportSummary& refuseEncoding(ImportSummary& summary, int line, const ByteSource& source)
{
    summary.error = QStringLiteral("Line %1: %2").arg(line).arg(source.encodingProblem());
    summary.errorLine = line;
    return abandon(summary, Outcome::Failed);
}

QString where(int line, const QString& name)
{
    return name.isEmpty() ? QStringLiteral("line %1").arg(line)
                          : QStringLiteral("line %1 (%2)").arg(line).arg(name);
}

QString reasonText(SkippedContact::Reason reason)
{
    switch (reason) {
    case SkippedContact::Reason::NoFirstName:
        return QStringLiteral("no first name (no given name, full name or company)");
    case SkippedContact::Reason::SameNames:
        return QStringLiteral("a contact with the same first and second name is already in the book or "
                              "earlier in the file");
    case SkippedContact::Reason::SameUid:
        return QStringLiteral("the same contact (a card with this UID) is already in the book or earlier in "
                              "the file");
    }
    Q_UNREACHABLE();
}

} // namespace

FileKind guessKind(const QString& fileName, QByteArrayView start)
{
    if (start.trimmed().toByteArray().toUpper().startsWith("BEGIN:VCARD"))
        return FileKind::VCard;
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("csv") || suffix == QLatin1String("tsv") || suffix == QLatin1String("txt"))
        return FileKind::Csv;
    if (suffix == QLatin1String("vcf") || suffix == QLatin1String("vcard"))
        return FileKind::VCard;
    return start.trimmed().isEmpty() ? FileKind::VCard : FileKind::Csv;
}

FileKind guessFileKind(const QString& path)
{
    QFile file(path);
    // Only a regular file is looked into: opening a pipe would wait for a writer.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return guessKind(path, {});
    ByteSource source(file);
    return guessKind(path, source.lookAhead(kindSample));
}

ImportSummary importContacts(QIODevice& device, Book& book, const ImportOptions& options,
                             const Progress& progress, const QString& fileName)
{
    ImportSummary summary;
    if (!device.isOpen() || !device.isReadable()) {
        summary.outcome = Outcome::Failed;
        summary.error = QStringLiteral("The file could not be read: %1").arg(device.errorString());
        return summary;
    }
    ByteSource source(device);
    summary.kind =
        options.kind == FileKind::Guess ? guessKind(fileName, source.lookAhead(kindSample)) : options.kind;
    std::unique_ptr<EntryReader> reader;
    if (summary.kind == FileKind::VCard)
        reader = std::make_unique<VCardReader>(source);
    else
        reader = std::make_unique<CsvReader>(source, options.delimiter, options.dateOrder);

    const qint64 total = source.totalBytes();
    qint64 reported = 0;
    Entry entry;
    while (reader->next(entry)) {
        if (!source.encodingProblem().isEmpty())
            return refuseEncoding(summary, entry.line, source);
        FittedContact fitted = fitContact(entry);
        useBookLineBreaks(fitted.contact);
        const data::Contact& c = fitted.contact;
        const QString name = fitted.hasFirstName ? nameOf(c) : entry.formatted.trimmed();
        if (!fitted.hasFirstName) {
            summary.skipped << SkippedContact{entry.line, name, SkippedContact::Reason::NoFirstName};
        } else if (const data::Added added = book.add(c, entry.uid); added != data::Added::Inserted) {
            summary.skipped << SkippedContact{entry.line, name,
                                              added == data::Added::SameUid
                                                  ? SkippedContact::Reason::SameUid
                                                  : SkippedContact::Reason::SameNames};
        } else {
            ++summary.imported;
            if (fitted.organizationUnused)
                entry.ignored << QStringLiteral("organization");
            summary.photos += entry.photos;
            summary.ignoredProperties += static_cast<int>(entry.ignored.size());
            summary.junkLines += entry.junkLines;
            if (!fitted.notes.isEmpty() || entry.photos || !entry.ignored.isEmpty() || entry.junkLines)
                summary.notes << ContactNotes{entry.line,   name,          fitted.notes,
                                              entry.photos, entry.ignored, entry.junkLines};
        }
        if (progress && source.bytesRead() - reported >= progressStep) {
            reported = source.bytesRead();
            if (!progress(reported, total))
                return abandon(summary, Outcome::Cancelled);
        }
    }
    if (!source.encodingProblem().isEmpty())
        return refuseEncoding(summary, qMax(entry.line, 1), source);
    summary.junkLines += reader->strayLines();
    if (const auto* csv = dynamic_cast<const CsvReader*>(reader.get())) {
        summary.delimiter = csv->delimiter();
        summary.dateOrder = csv->dateOrder();
    }
    summary.unknownColumns = reader->unknownColumns();
    if (reader->failed()) {
        summary.error = reader->error();
        summary.errorLine = reader->errorLine();
        return abandon(summary, Outcome::Failed);
    }
    if (progress && !progress(source.bytesRead(), total))
        return abandon(summary, Outcome::Cancelled);
    return summary;
}

ImportSummary importFile(const QString& path, Book& book, const ImportOptions& options,
                         const Progress& progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ImportSummary summary;
        summary.outcome = Outcome::Failed;
        summary.error = QStringLiteral("The file %1 could not be opened: %2").arg(path, file.errorString());
        return summary;
    }
    return importContacts(file, book, options, progress, path);
}

QString ImportSummary::toText() const
{
    if (outcome == Outcome::Failed)
        return QStringLiteral("Nothing was imported.\n%1\n").arg(error);
    if (outcome == Outcome::Cancelled)
        return QStringLiteral("The import was cancelled: nothing was imported.\n");

    QString text = QStringLiteral("Imported %1 %2 from the %3 file; skipped %4.\n")
                       .arg(imported)
                       .arg(imported == 1 ? QStringLiteral("contact") : QStringLiteral("contacts"))
                       .arg(kind == FileKind::Csv ? QStringLiteral("CSV") : QStringLiteral("vCard"))
                       .arg(skipped.size());
    if (kind == FileKind::Csv) {
        const QString separator =
            delimiter == '\t' ? QStringLiteral("tabs") : QStringLiteral("\"%1\"").arg(QLatin1Char(delimiter));
        text += QStringLiteral("Fields separated by %1; dates such as 3/4 read %2 first.\n")
                    .arg(separator,
                         dateOrder == DateOrder::DayFirst ? QStringLiteral("day") : QStringLiteral("month"));
    }
    QStringList lost;
    if (photos)
        lost << QStringLiteral("pictures or sounds: %1").arg(photos);
    if (ignoredProperties)
        lost << QStringLiteral("values with no field in the book: %1").arg(ignoredProperties);
    if (junkLines)
        lost << QStringLiteral("unreadable lines: %1").arg(junkLines);
    if (!lost.isEmpty())
        text += QStringLiteral("Not imported: %1.\n").arg(lost.join(QLatin1String("; ")));
    if (!unknownColumns.isEmpty())
        text += QStringLiteral("Columns not recognised, not read: %1.\n")
                    .arg(unknownColumns.join(QLatin1String(", ")));

    auto more = [&text](qsizetype count) {
        if (count > detailsShown)
            text += QStringLiteral("  ... and %1 more\n").arg(count - detailsShown);
    };
    if (!skipped.isEmpty()) {
        text += QStringLiteral("\nSkipped:\n");
        for (qsizetype i = 0; i < skipped.size() && i < detailsShown; ++i) {
            const SkippedContact& s = skipped[i];
            text += QStringLiteral("  %1: %2\n").arg(where(s.line, s.name), reasonText(s.reason));
        }
        more(skipped.size());
    }
    if (!notes.isEmpty()) {
        text += QStringLiteral("\nNotes:\n");
        for (qsizetype i = 0; i < notes.size() && i < detailsShown; ++i) {
            const ContactNotes& n = notes[i];
            text += QStringLiteral("  %1:\n").arg(where(n.line, n.name));
            for (const QString& note : n.notes)
                text += QStringLiteral("    - %1\n").arg(note);
            QStringList counted;
            if (n.photos)
                counted << QStringLiteral("pictures or sounds: %1").arg(n.photos);
            if (!n.ignored.isEmpty())
                counted << QStringLiteral("no field for %1").arg(n.ignored.join(QLatin1String(", ")));
            if (n.junkLines)
                counted << QStringLiteral("unreadable lines: %1").arg(n.junkLines);
            if (!counted.isEmpty())
                text += QStringLiteral("    - not imported: %1\n").arg(counted.join(QLatin1String("; ")));
        }
        more(notes.size());
    }
    return text;
}

} // namespace exchange
