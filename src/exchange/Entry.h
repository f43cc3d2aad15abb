#pragma once

#include "data/Contact.h"
#include "exchange/PartialDate.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace exchange {

enum class Place
{
    Unspecified,
    Home,
    Work,
    Other
};

enum class PhoneKind
{
    Voice,
    Cell,
    Fax,
    Special // pager, car phone, ISDN and the like: the book has no box for them
};

// A field of data::Contact a value is meant for, when its source says so exactly
// (a CSV column, our own vCard parameter).
using data::ContactField;

struct PhoneItem
{
    QString text;
    Place place = Place::Unspecified;
    PhoneKind kind = PhoneKind::Voice;
    QString special; // what a Special number is, for the notes
    ContactField field = nullptr;
};

struct EmailItem
{
    QString text;
    Place place = Place::Unspecified;
    ContactField field = nullptr;
};

struct AddressItem
{
    QString text;
    Place place = Place::Unspecified;
};

// One card or row as read, before it is fitted into the book's fields.
struct Entry
{
    int line = 0;
    QString given, family, formatted, organization;
    QStringList nameExtras; // "middle name \"Ronald\"" and the like
    QList<PhoneItem> phones;
    QList<EmailItem> emails;
    QList<AddressItem> addresses;
    std::optional<DateParts> birthday, anniversary;
    QStringList categories;
    QStringList notes;   // what the reader could not read
    QStringList ignored; // names of properties or columns with a value and no field
    int photos = 0;
    int junkLines = 0;
    QString uid; // a card's UID as written: the contact keeps it

    void clear() { *this = Entry(); }
};

// An entry fitted into the book's fields, with what did not fit.
struct FittedContact
{
    data::Contact contact;
    QStringList notes;
    bool hasFirstName = false;
    bool organizationUnused = false; // an organization that did not become the first name
};

FittedContact fitContact(const Entry& entry);

// The place and kind a label names: Apple's "_$!<HomeFAX>!$_", Google's
// "* Work Mobile", an Outlook or Thunderbird column name.
struct Label
{
    std::optional<Place> place;
    std::optional<PhoneKind> kind;
    QString special;
    bool anniversary = false;
};
Label readLabel(QStringView text);

// One address text from its parts: street lines, then "city region code", then
// the country; empty parts are left out and a lone street comes back unchanged.
QString composeAddress(const QStringList& streetLines, const QString& city, const QString& region,
                       const QString& postalCode, const QString& country);

// Reads entries one at a time from a file.
class EntryReader
{
public:
    virtual ~EntryReader();
    // The next entry; false at the end of the file or on an error.
    virtual bool next(Entry& entry) = 0;

    bool failed() const { return !m_error.isEmpty(); }
    const QString& error() const { return m_error; }
    int errorLine() const { return m_errorLine; }
    // Unreadable lines outside any card.
    int strayLines() const { return m_strayLines; }
    const QStringList& unknownColumns() const { return m_unknownColumns; }

protected:
    bool fail(int line, const QString& message)
    {
        if (m_error.isEmpty()) {
            m_error = message;
            m_errorLine = line;
        }
        return false;
    }

    QString m_error;
    int m_errorLine = 0;
    int m_strayLines = 0;
    QStringList m_unknownColumns;
};

} // namespace exchange
