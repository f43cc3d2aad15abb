#pragma once

#include "data/Contact.h"
#include "exchange/Exchange.h"

#include <QByteArrayView>
#include <QList>
#include <QStringList>

class QIODevice;

namespace exchange {

// The book an import adds to, implemented by the caller over its storage, which
// runs the whole import as one transaction.
class Book
{
public:
    virtual ~Book();
    // Adds a contact with the UID of its card, or (given none) a new one,
    // unless the book holds one of that UID or else of those names, counting
    // the contacts added earlier in this import (a transaction sees its own
    // writes). The book decides how a Null name compares.
    virtual data::Added add(const data::Contact& contact, const QString& uid) = 0;
};

struct ImportOptions
{
    FileKind kind = FileKind::Guess;
    char delimiter = 0; // CSV: 0 detects ",", ";" or tab
    DateOrder dateOrder = DateOrder::Detect;
};

struct SkippedContact
{
    enum class Reason
    {
        NoFirstName,
        SameNames, // as a contact in the book or earlier in the file
        SameUid    // the same card: in the book or earlier in the file
    };
    int line = 0; // where its card or row begins
    QString name;
    Reason reason = Reason::NoFirstName;
};

// What an imported contact lost or needs: its notes and what had no field.
struct ContactNotes
{
    int line = 0;
    QString name;
    QStringList notes;
    int photos = 0;      // pictures, logos and sounds
    QStringList ignored; // properties or columns with a value and no field
    int junkLines = 0;   // lines that could not be read
};

struct ImportSummary
{
    Outcome outcome = Outcome::Completed;
    QString error; // when failed, with its line
    int errorLine = 0;
    FileKind kind = FileKind::Guess;         // what the file was read as
    char delimiter = 0;                      // CSV: the one used
    DateOrder dateOrder = DateOrder::Detect; // CSV: how slashed dates were read
    int imported = 0;
    QList<SkippedContact> skipped;
    QList<ContactNotes> notes; // only contacts that have some
    int photos = 0;
    int ignoredProperties = 0;
    int junkLines = 0;
    QStringList unknownColumns; // CSV columns that were not recognised and not read

    // Unless the import completed, everything given to Book::add must be rolled
    // back: a failed or cancelled import imports nothing.
    bool mustRollBack() const { return outcome != Outcome::Completed; }
    // A summary a person takes in at a glance, the details after the counts.
    QString toText() const;
};

// What a file is read as, decided the same way wherever a file is opened, so
// that the window and the command line never read one file two ways: its first
// bytes when they begin a vCard; else its name (.csv, .tsv and .txt are CSV,
// .vcf and .vcard vCard); else CSV when it holds something, vCard when it is
// new or empty.
FileKind guessKind(const QString& fileName, QByteArrayView start);
// The same for a file on disk (or a file yet to be written).
FileKind guessFileKind(const QString& path);

// Reads contacts from `device` into `book`: vCard (any version) or CSV, given in
// `options` or guessed by guessKind().
// Contacts without a first name, or already in the book (a card with the UID
// of one, or else the first and second names of one), are skipped. `progress` is told the bytes read and may
// cancel. Exceptions thrown by the book pass through.
ImportSummary importContacts(QIODevice& device, Book& book, const ImportOptions& options = {},
                             const Progress& progress = {}, const QString& fileName = {});
ImportSummary importFile(const QString& path, Book& book, const ImportOptions& options = {},
                         const Progress& progress = {});

} // namespace exchange
