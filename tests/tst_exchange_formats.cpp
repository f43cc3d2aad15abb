// vCard and CSV import and export: round trips, files as other programs write
// them, damaged files, and the rules for fitting a contact into the book.
#include "ContactItems.h"
#include "Files.h"
#include "Run.h"
#include "exchange/Exporter.h"
#include "exchange/Importer.h"
#include "exchange/Text.h"
#include "exchange/VCardWriter.h"

#include <QBuffer>
#include <QDirIterator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using data::Contact;
using namespace exchange;
using testsupport::contactsIn;
using testsupport::fileBytes;
using testsupport::make;
using testsupport::unescaped;

Q_DECLARE_METATYPE(data::Contact)
Q_DECLARE_METATYPE(exchange::Format)

namespace {

// The caller's side: one transaction, rolled back unless the import completed.
class MemoryBook : public Book
{
public:
    QList<Contact> contacts, staged;
    QStringList uids, stagedUids;

    data::Added add(const Contact& c, const QString& uid) override
    {
        if (!uid.isEmpty() && (uids + stagedUids).contains(uid))
            return data::Added::SameUid;
        for (const Contact& o : contacts + staged) {
            if (o.firstName == c.firstName && o.secondName == c.secondName)
                return data::Added::SameName;
        }
        staged << c, stagedUids << uid;
        return data::Added::Inserted;
    }
    // The caller's commit, or its rollback.
    const ImportSummary& settle(const ImportSummary& summary)
    {
        if (!summary.mustRollBack())
            contacts << staged, uids << stagedUids;
        staged.clear(), stagedUids.clear();
        return summary;
    }
};

ImportSummary importInto(MemoryBook& book, const QByteArray& bytes, FileKind kind = FileKind::Guess,
                         const Progress& progress = {})
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    ImportOptions options;
    options.kind = kind;
    return book.settle(importContacts(buffer, book, options, progress));
}

// A UID for each contact, as the book keeps it: a URN, else any text another program gave.
QString uidOf(qsizetype i)
{
    return i == 1 ? QStringLiteral("Their UID; with, \\ specials")
                  : QStringLiteral("urn:uuid:0e6f1c2a-5b3d-4e8f-9a7b-%1").arg(i, 12, 10, QLatin1Char('0'));
}

// Gives the contacts one by one, as the caller's storage does.
NextContact from(const QList<Contact>& contacts)
{
    return [&contacts, i = qsizetype(0)](Contact& c, QString& uid) mutable {
        c = contacts.value(i);
        uid = uidOf(i);
        return i++ < contacts.size();
    };
}

QByteArray exportAll(const QList<Contact>& contacts, Format format)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    exportContacts(buffer, format, from(contacts));
    return buffer.data();
}

// The contacts as "column=value" items, empty fields left out, a line each.
QString listed(const QList<Contact>& contacts)
{
    QStringList lines;
    for (const Contact& c : contacts) {
        QStringList items;
        for (const data::ContactColumn& column : data::contactColumns) {
            if (!(c.*column.member).isEmpty())
                items << column.name + QLatin1Char('=') + c.*column.member;
        }
        lines << items.join(QLatin1String(", "));
    }
    return lines.join(QLatin1Char('\n'));
}

// A vCard file's physical lines; none unless each ends with CRLF.
QList<QByteArray> physicalLines(QByteArray file)
{
    if (!file.endsWith("\r\n") || file.count("\r\n") != file.count('\n'))
        return {};
    file.chop(2);
    return file.replace("\r\n", "\n").split('\n');
}

// Quoted-printable with an "=" that is not a whole =XX escape.
bool hasBrokenEscape(const QByteArray& body)
{
    static const QRegularExpression escape(QStringLiteral("=(?![0-9A-F]{2})"));
    return QString::fromLatin1(body).contains(escape);
}

// What importing a sample must give, from its NAME.expected: "contact" and its "  column=value" lines,
// "note" lines, a "lost" line; or "error LINE TEXT" for a file of which nothing is imported.
struct Expected
{
    QList<Contact> contacts;
    QStringList notes = {};
    QString lost = "photos 0, ignored 0, junk 0";
    int errorLine = 0;
    QString error = {};
    QStringList summary = {}; // parts of the summary's text
};

Expected expectedOf(const QString& path)
{
    const QString text = QString::fromUtf8(fileBytes(path).value_or(""));
    Expected expected{.contacts = contactsIn(text)};
    for (const QString& line : text.split('\n')) {
        if (line.startsWith("note "))
            expected.notes << unescaped(line.mid(5));
        else if (line.startsWith("lost "))
            expected.lost = line.mid(5);
        else if (line.startsWith("summary "))
            expected.summary << unescaped(line.mid(8));
        else if (line.startsWith("error "))
            expected.errorLine = line.section(' ', 1, 1).toInt(), expected.error = line.section(' ', 2);
    }
    return expected;
}

// Imports the file and compares what it gives with its .expected file.
void importsAsExpected(const QString& path, const QString& expectedPath)
{
    const Expected expected = expectedOf(expectedPath);
    MemoryBook book;
    const ImportSummary summary = book.settle(importFile(path, book));
    QCOMPARE(listed(book.contacts), listed(expected.contacts));
    for (const QString& part : expected.summary)
        QVERIFY2(summary.toText().contains(part), qPrintable(summary.toText()));
    if (expected.errorLine) {
        QCOMPARE(summary.outcome, Outcome::Failed);
        QVERIFY(summary.mustRollBack() && summary.imported == 0);
        QCOMPARE(summary.errorLine, expected.errorLine);
        QVERIFY2(summary.error.contains(expected.error), qPrintable(summary.error));
        QVERIFY(summary.toText().startsWith("Nothing was imported."));
        return;
    }
    QVERIFY2(summary.outcome == Outcome::Completed, qPrintable(summary.error));
    QStringList given; // the notes of every contact: exactly those expected
    for (const ContactNotes& n : summary.notes)
        given << n.notes;
    QVERIFY2(given.size() == expected.notes.size(), qPrintable(given.join(QLatin1Char('\n'))));
    for (const QString& note : expected.notes)
        QVERIFY2(given.join(QLatin1Char('\n')).contains(note), qPrintable(note));
    QString lost = QStringLiteral("photos %1, ignored %2, junk %3")
                       .arg(QString::number(summary.photos), QString::number(summary.ignoredProperties),
                            QString::number(summary.junkLines));
    if (!summary.unknownColumns.isEmpty())
        lost += ", unknown columns " + summary.unknownColumns.join(", ");
    QCOMPARE(lost, expected.lost);
}

} // namespace

class ExchangeFormatsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each format: the standard forms it writes for an ordinary contact, then
    // contacts that are hard to write, read back unchanged.
    void writesEachFormat_data()
    {
        QTest::addColumn<Format>("format");
        for (const auto& [format, name] : {std::pair{Format::VCard21, "vcard-2.1"},
                                           {Format::VCard30, "vcard-3.0"},
                                           {Format::VCard40, "vcard-4.0"},
                                           {Format::Csv, "csv"},
                                           {Format::CsvThunderbird, "csv-thunderbird"}})
            QTest::newRow(name) << format; // written/NAME.lines: lines it writes for an ordinary contact
    }

    void writesEachFormat()
    {
        QFETCH(Format, format);
        const QString written = VANTREL_SAMPLES "/written/";
        const QString forms =
            QString::fromUtf8(exportAll(expectedOf(written + "ordinary.contacts").contacts, format));
        const QStringList lines =
            QString::fromUtf8(fileBytes(written + QTest::currentDataTag() + ".lines").value_or(""))
                .split('\n', Qt::SkipEmptyParts)
                .filter(QRegularExpression("^(?!# )"));
        QVERIFY(!lines.isEmpty());
        for (const QString& line : lines)
            QVERIFY2(forms.contains(line + "\r\n"), qPrintable(line + " in\n" + forms));
        QVERIFY(!forms.contains("X-VANTREL")); // the standard forms are exact here

        const QList<Contact> contacts = expectedOf(VANTREL_SAMPLES "/hard-to-write.contacts").contacts;
        const QByteArray file = exportAll(contacts, format);
        MemoryBook book;
        const ImportSummary summary = importInto(book, file, isCsv(format) ? FileKind::Csv : FileKind::VCard);
        QVERIFY2(summary.outcome == Outcome::Completed, qPrintable(summary.error));
        QCOMPARE(listed(book.contacts), listed(contacts));
        QStringList uids; // CSV has none
        for (qsizetype i = 0; i < contacts.size(); ++i)
            uids << (isCsv(format) ? QString() : uidOf(i));
        QCOMPARE(book.uids, uids);
        // Only the too long mobile is worth a note.
        QCOMPARE(summary.notes.size(), 1);
        QVERIFY(summary.toText().contains(
            "\n    - The home mobile 123456789012 has 12 digits; the window takes 10 "
            "and will ask for a shorter one at the next save\n"));

        // Outlook's CSV alone begins with a byte-order mark; Thunderbird reads its header only without one.
        QVERIFY(format == Format::Csv ? file.startsWith(QByteArray("\xEF\xBB\xBF") + "First Name,Last Name,")
                                      : !file.startsWith("\xEF\xBB\xBF"));
        if (isCsv(format))
            return;
        const QList<QByteArray> physical = physicalLines(file);
        QVERIFY2(!physical.isEmpty(), "every line ends with CRLF");
        bool inQp = false;
        for (const QByteArray& line : physical) {
            QVERIFY2(line.size() <= 75, line.constData());
            // Each physical line is whole UTF-8: no sequence is cut by a fold.
            QVERIFY2(text::utf8(line).has_value(), line.toHex().constData());
            if (format != Format::VCard21)
                continue;
            const bool continued = inQp;
            inQp = (continued || line.contains("QUOTED-PRINTABLE")) && line.endsWith('=');
            if (!continued && !line.contains("QUOTED-PRINTABLE"))
                continue;
            // Quoted-printable: every "=" is a whole =XX or the soft break at the end.
            const QByteArray value = continued ? line : line.mid(line.indexOf(':') + 1);
            QVERIFY2(!hasBrokenEscape(value.endsWith('=') ? value.chopped(1) : value), line.constData());
        }
    }

    void foldsByOctets_data()
    {
        QTest::addColumn<QString>("character");
        QTest::newRow("2 bytes") << QStringLiteral("é");
        QTest::newRow("3 bytes") << QStringLiteral("中");
        QTest::newRow("4 bytes") << QStringLiteral("😀");
    }

    void foldsByOctets()
    {
        QFETCH(QString, character);
        for (int lead = 68; lead <= 80; ++lead) {
            const QByteArray line = QByteArray(lead, 'a') + character.repeated(40).toUtf8();
            QByteArray out;
            vcard::appendFolded(out, line);
            const QList<QByteArray> lines = physicalLines(out);
            QByteArray unfolded;
            for (qsizetype i = 0; i < lines.size(); ++i) {
                QVERIFY(lines[i].size() <= 75);
                QVERIFY2(text::utf8(lines[i]).has_value(), qPrintable(QString::number(lead)));
                QCOMPARE(lines[i].startsWith(' '), i > 0);
                unfolded += i ? lines[i].mid(1) : lines[i];
            }
            QCOMPARE(unfolded, line);
        }
    }

    void quotedPrintableNeverSplitsAnEscape()
    {
        const QString value = QStringLiteral("a é b\nc; d ") + QStringLiteral("€ ").repeated(30);
        for (qsizetype header = 0; header < 80; ++header) {
            QByteArray out;
            vcard::appendQuotedPrintable(out, header, {value});
            QByteArray joined;
            const QList<QByteArray> lines = physicalLines(out);
            for (qsizetype i = 0; i < lines.size(); ++i) {
                QVERIFY(lines[i].size() + (i ? 0 : header) <= 75 || (i == 0 && lines[i] == "="));
                QByteArray body = lines[i];
                if (i + 1 < lines.size()) {
                    QVERIFY(body.endsWith('='));
                    body.chop(1);
                }
                QVERIFY2(!hasBrokenEscape(body), body);
                QVERIFY2(!body.endsWith(' '), "a blank before a line end is encoded");
                joined += body;
            }
            QCOMPARE(QString::fromUtf8(text::decodeQuotedPrintable(joined)), value);
        }
    }

    // Each sample in tests/samples beside what importing it must give (NAME.expected): files as other
    // programs write them, where each value of a card goes and what does not fit, damaged files.
    void importsEachSample_data()
    {
        QTest::addColumn<QString>("path");
        const QString root = QStringLiteral(VANTREL_SAMPLES "/");
        QStringList files;
        for (QDirIterator it(root, {"*.vcf", "*.csv"}, QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString file = it.next();
            if (!file.startsWith(root + "merge/")) // the sync's cards, read by its own test
                files << file;
        }
        files.sort();
        QVERIFY(files.size() >= 38);
        for (const QString& file : std::as_const(files))
            QTest::newRow(qPrintable(file.mid(root.size()))) << file;
    }

    void importsEachSample()
    {
        QFETCH(QString, path);
        importsAsExpected(path, path.left(path.lastIndexOf('.')) + ".expected");
    }

    // abook, as Debian installs it: the vCard it writes of its own address book imports as
    // abook/addressbook.expected says, and it reads our vCard 3.0 as abook/for-abook.lines says.
    void exchangesWithAbook()
    {
        const QString abook = QStandardPaths::findExecutable("abook");
        QVERIFY2(!abook.isEmpty(), "abook is installed");
        QTemporaryDir home; // abook's settings of the person running the tests stay out
        const auto convert = [&](const char* from, const QString& in, const char* to, const QString& out) {
            const testsupport::Finished ran = testsupport::runProgram(
                abook, {"--convert", "--informat", from, "--infile", in, "--outformat", to, "--outfile", out},
                {.environment = {{"HOME", home.path()}}});
            return !ran.crashed && ran.status == 0;
        };
        const QString samples = VANTREL_SAMPLES "/abook/";
        QVERIFY(convert("abook", samples + "addressbook", "vcard", home.filePath("abook.vcf")));
        importsAsExpected(home.filePath("abook.vcf"), samples + "addressbook.expected");
        if (QTest::currentTestFailed())
            return;

        const QList<Contact> ours = expectedOf(samples + "for-abook.contacts").contacts;
        QVERIFY(testsupport::writeFile(home.filePath("ours.vcf"), exportAll(ours, Format::VCard30)));
        QVERIFY(convert("vcard", home.filePath("ours.vcf"), "abook", home.filePath("read")));
        const QString read = QString::fromUtf8(fileBytes(home.filePath("read")).value_or(""));
        const QStringList lines = QString::fromUtf8(fileBytes(samples + "for-abook.lines").value_or(""))
                                      .split('\n', Qt::SkipEmptyParts)
                                      .filter(QRegularExpression("^(?!# )"));
        QVERIFY(!lines.isEmpty());
        for (const QString& line : lines)
            QVERIFY2(read.contains('\n' + line + '\n'), qPrintable(line + " in\n" + read));
    }

    void filesThatCannotBeOpened()
    {
        MemoryBook book;
        const ImportSummary read = importFile(QStringLiteral("/nonexistent/book.vcf"), book);
        QCOMPARE(read.outcome, Outcome::Failed);
        QVERIFY2(read.error.contains("/nonexistent/book.vcf could not be opened"), qPrintable(read.error));
        const ExportResult written = exportFile(QStringLiteral("/nonexistent/book.csv"), Format::Csv,
                                                [](Contact&, QString&) { return false; });
        QCOMPARE(written.outcome, Outcome::Failed);
        QVERIFY2(written.error.contains("could not be created"), qPrintable(written.error));
    }

    void progressAndCancel()
    {
        QList<Contact> contacts;
        for (int i = 0; i < 3000; ++i)
            contacts << make("firstName=" + QString::number(i), "address=" + QString(200, 'x'));
        const QByteArray file = exportAll(contacts, Format::VCard30);

        QList<qint64> seen;
        MemoryBook book;
        ImportSummary summary = importInto(book, file, FileKind::VCard, [&](qint64 done, qint64 total) {
            seen << done;
            return total == file.size();
        });
        QCOMPARE(summary.imported, 3000);
        QVERIFY(seen.size() > 3);
        QVERIFY(std::is_sorted(seen.cbegin(), seen.cend()));
        QCOMPARE(seen.last(), file.size());

        MemoryBook cancelled;
        summary = importInto(cancelled, file, FileKind::VCard, [](qint64, qint64) { return false; });
        QCOMPARE(summary.outcome, Outcome::Cancelled);
        QVERIFY(summary.mustRollBack());
        QVERIFY(cancelled.contacts.isEmpty());

        QBuffer out;
        out.open(QIODevice::WriteOnly);
        const ExportResult result =
            exportContacts(out, Format::Csv, from(contacts), contacts.size(),
                           [](qint64 done, qint64 total) { return total == 3000 && done < 1000; });
        QCOMPARE(result.outcome, Outcome::Cancelled);
        QVERIFY(result.written >= 1000 && result.written < 1300);
    }
};

QTEST_GUILESS_MAIN(ExchangeFormatsTest)
#include "tst_exchange_formats.moc"
