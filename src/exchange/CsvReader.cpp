#include "exchange/CsvReader.h"

#include "exchange/CsvWriter.h"
#include "exchange/Text.h"

#include <QBuffer>
#include <QMap>

namespace exchange {

using data::Contact;

namespace {

constexpr qsizetype prefixSize = 256 * 1024;

enum class Role
{
    Unknown,
    Ignore,
    Given,
    Family,
    Middle,
    Prefix,
    Suffix,
    Display,
    Organization,
    Phone,
    Email,
    AddressPart,
    Birthday,
    Anniversary,
    BirthYear,
    BirthMonth,
    BirthDay,
    AnniversaryYear,
    AnniversaryMonth,
    AnniversaryDay,
    Categories,
    Groups,
    Notes,
    Numbered // Google's "Phone 1 - Value" and the like
};

// Parts of an address in columns.
enum AddressPart
{
    Street,
    Street2,
    Street3,
    City,
    Region,
    PostalCode,
    Country,
    PoBox,
    Extended,
    Formatted,
    PartCount
};

enum class Group
{
    None,
    Phone,
    Email,
    Address,
    Event
};

} // namespace

struct CsvReader::Column
{
    Role role = Role::Unknown;
    ContactField field = nullptr;
    Place place = Place::Unspecified;
    PhoneKind kind = PhoneKind::Voice;
    const char* special = nullptr;
    int part = 0;
    Group group = Group::None;
    int index = 0;
    bool typeColumn = false; // "Phone 1 - Type": the group's label
};

namespace {

using Column = CsvReader::Column;

struct Known
{
    const char* header; // lower case
    Column column;
};

Column role(Role r)
{
    Column c;
    c.role = r;
    return c;
}
Column phone(ContactField field, Place place = Place::Unspecified, PhoneKind kind = PhoneKind::Voice)
{
    Column c = role(Role::Phone);
    c.field = field;
    c.place = place;
    c.kind = kind;
    return c;
}
Column special(const char* what)
{
    Column c = role(Role::Phone);
    c.kind = PhoneKind::Special;
    c.special = what;
    return c;
}
Column email(ContactField field)
{
    Column c = role(Role::Email);
    c.field = field;
    return c;
}
Column address(Place place, int part)
{
    Column c = role(Role::AddressPart);
    c.place = place;
    c.part = part;
    return c;
}

// Column names of Outlook (English), Thunderbird, Google (both its older and
// its current export) and our own export.
const QHash<QString, Column>& knownColumns()
{
    static const QHash<QString, Column> table = [] {
        QHash<QString, Column> t;
        const Known known[] = {
            {"first name", role(Role::Given)},
            {"given name", role(Role::Given)},
            {"last name", role(Role::Family)},
            {"family name", role(Role::Family)},
            {"middle name", role(Role::Middle)},
            {"additional name", role(Role::Middle)},
            {"title", role(Role::Prefix)},
            {"name prefix", role(Role::Prefix)},
            {"suffix", role(Role::Suffix)},
            {"name suffix", role(Role::Suffix)},
            {"name", role(Role::Display)},
            {"display name", role(Role::Display)},
            {"full name", role(Role::Display)},
            {"company", role(Role::Organization)},
            {"organization", role(Role::Organization)},
            {"organization name", role(Role::Organization)},
            {"home phone", phone(&Contact::phone)},
            {"home phone 2", phone(&Contact::phone2)},
            {"mobile phone", phone(&Contact::mobile)},
            {"mobile number", phone(&Contact::mobile)},
            {"home fax", phone(&Contact::fax)},
            {"business phone", phone(&Contact::phoneOff)},
            {"work phone", phone(&Contact::phoneOff)},
            {"business phone 2", phone(&Contact::phone2Off)},
            {"business mobile phone", phone(&Contact::mobileOff)},
            {"business fax", phone(&Contact::faxOff)},
            {"company main phone", phone(nullptr, Place::Work)},
            {"primary phone", phone(nullptr)},
            {"other phone", phone(nullptr, Place::Other)},
            {"other fax", phone(nullptr, Place::Other, PhoneKind::Fax)},
            {"fax number", phone(nullptr, Place::Unspecified, PhoneKind::Fax)},
            {"pager", special("pager")},
            {"pager number", special("pager")},
            {"car phone", special("car phone")},
            {"callback", special("callback number")},
            {"isdn", special("ISDN number")},
            {"radio phone", special("radio phone")},
            {"tty/tdd phone", special("TTY/TDD phone")},
            {"telex", special("telex")},
            {"assistant's phone", special("assistant's phone")},
            {"e-mail address", email(&Contact::EMailH)},
            {"primary email", email(&Contact::EMailH)},
            {"e-mail 2 address", email(&Contact::EMailO)},
            {"secondary email", email(&Contact::EMailO)},
            {"e-mail 3 address", email(nullptr)},
            {"birthday", role(Role::Birthday)},
            {"anniversary", role(Role::Anniversary)},
            {"birth year", role(Role::BirthYear)},
            {"birth month", role(Role::BirthMonth)},
            {"birth day", role(Role::BirthDay)},
            {"anniversary year", role(Role::AnniversaryYear)},
            {"anniversary month", role(Role::AnniversaryMonth)},
            {"anniversary day", role(Role::AnniversaryDay)},
            {"categories", role(Role::Categories)},
            {"notes", role(Role::Notes)},
            {"group membership", role(Role::Groups)},
            {"labels", role(Role::Groups)},
            {"home street", address(Place::Home, Street)},
            {"home street 2", address(Place::Home, Street2)},
            {"home street 3", address(Place::Home, Street3)},
            {"home address", address(Place::Home, Street)},
            {"home address 2", address(Place::Home, Street2)},
            {"home city", address(Place::Home, City)},
            {"home state", address(Place::Home, Region)},
            {"home postal code", address(Place::Home, PostalCode)},
            {"home zipcode", address(Place::Home, PostalCode)},
            {"home country/region", address(Place::Home, Country)},
            {"home country", address(Place::Home, Country)},
            {"home po box", address(Place::Home, PoBox)},
            {"business street", address(Place::Work, Street)},
            {"business street 2", address(Place::Work, Street2)},
            {"business street 3", address(Place::Work, Street3)},
            {"work address", address(Place::Work, Street)},
            {"work address 2", address(Place::Work, Street2)},
            {"business city", address(Place::Work, City)},
            {"work city", address(Place::Work, City)},
            {"business state", address(Place::Work, Region)},
            {"work state", address(Place::Work, Region)},
            {"business postal code", address(Place::Work, PostalCode)},
            {"work zipcode", address(Place::Work, PostalCode)},
            {"business country/region", address(Place::Work, Country)},
            {"business country", address(Place::Work, Country)},
            {"work country", address(Place::Work, Country)},
            {"business po box", address(Place::Work, PoBox)},
            {"other street", address(Place::Other, Street)},
            {"other street 2", address(Place::Other, Street2)},
            {"other street 3", address(Place::Other, Street3)},
            {"other city", address(Place::Other, City)},
            {"other state", address(Place::Other, Region)},
            {"other postal code", address(Place::Other, PostalCode)},
            {"other country/region", address(Place::Other, Country)},
            {"other po box", address(Place::Other, PoBox)},
        };
        for (const Known& k : known)
            t.insert(QString::fromLatin1(k.header), k.column);
        // Columns whose values the book has no field for.
        for (const char* header : {"department",
                                   "job title",
                                   "organization title",
                                   "organization department",
                                   "nickname",
                                   "initials",
                                   "web page",
                                   "web page 1",
                                   "web page 2",
                                   "screen name",
                                   "gender",
                                   "spouse",
                                   "children",
                                   "hobby",
                                   "language",
                                   "location",
                                   "manager's name",
                                   "assistant's name",
                                   "mileage",
                                   "billing information",
                                   "directory server",
                                   "office location",
                                   "organizational id number",
                                   "government id number",
                                   "account",
                                   "keywords",
                                   "priority",
                                   "private",
                                   "sensitivity",
                                   "profession",
                                   "referred by",
                                   "internet free busy",
                                   "user 1",
                                   "user 2",
                                   "user 3",
                                   "user 4",
                                   "custom 1",
                                   "custom 2",
                                   "custom 3",
                                   "custom 4",
                                   "e-mail type",
                                   "e-mail display name",
                                   "e-mail 2 type",
                                   "e-mail 2 display name",
                                   "e-mail 3 type",
                                   "e-mail 3 display name",
                                   "yomi name",
                                   "given name yomi",
                                   "additional name yomi",
                                   "family name yomi",
                                   "name prefix yomi",
                                   "name suffix yomi",
                                   "phonetic first name",
                                   "phonetic middle name",
                                   "phonetic last name",
                                   "short name",
                                   "maiden name",
                                   "occupation",
                                   "subject",
                                   "photo",
                                   "file as"})
            t.insert(QString::fromLatin1(header), role(Role::Ignore));
        return t;
    }();
    return table;
}

// Google's numbered columns, "Phone 1 - Type" (or "- Label") and "Phone 1 - Value".
std::optional<Column> numberedColumn(const QString& header)
{
    const qsizetype dash = header.indexOf(QLatin1String(" - "));
    if (dash < 0)
        return std::nullopt;
    const QString left = header.first(dash);
    const QString field = header.sliced(dash + 3);
    const qsizetype space = left.lastIndexOf(QLatin1Char(' '));
    bool ok = false;
    const int index = space < 0 ? 0 : left.sliced(space + 1).toInt(&ok);
    if (!ok)
        return std::nullopt;
    const QString name = left.first(space);
    Column c = role(Role::Numbered);
    c.index = index;
    c.typeColumn = field == QLatin1String("type") || field == QLatin1String("label");
    if (name == QLatin1String("phone") && (c.typeColumn || field == QLatin1String("value"))) {
        c.group = Group::Phone;
    } else if (name == QLatin1String("e-mail") && (c.typeColumn || field == QLatin1String("value"))) {
        c.group = Group::Email;
    } else if (name == QLatin1String("event") && (c.typeColumn || field == QLatin1String("value"))) {
        c.group = Group::Event;
    } else if (name == QLatin1String("organization") && index == 1 && field == QLatin1String("name")) {
        return role(Role::Organization);
    } else if (name == QLatin1String("address")) {
        static const QMap<QString, int> parts{{QStringLiteral("formatted"), Formatted},
                                              {QStringLiteral("street"), Street},
                                              {QStringLiteral("city"), City},
                                              {QStringLiteral("region"), Region},
                                              {QStringLiteral("postal code"), PostalCode},
                                              {QStringLiteral("country"), Country},
                                              {QStringLiteral("po box"), PoBox},
                                              {QStringLiteral("extended address"), Extended}};
        if (!c.typeColumn && !parts.contains(field))
            return role(Role::Ignore);
        c.group = Group::Address;
        c.part = parts.value(field);
    } else {
        return role(Role::Ignore); // websites, relations, custom fields, other events...
    }
    return c;
}

bool isBinaryByte(int c)
{
    return c < 0x20 && (c <= 0x08 || (c >= 0x0E && c <= 0x19) || c >= 0x1C);
}

// The bytes of the prefix, for reading the first records twice.
class ViewSource
{
public:
    explicit ViewSource(QByteArrayView bytes) : m_bytes(bytes) {}
    int get() { return m_pos < m_bytes.size() ? static_cast<uchar>(m_bytes[m_pos++]) : -1; }
    int peek() { return m_pos < m_bytes.size() ? static_cast<uchar>(m_bytes[m_pos]) : -1; }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

enum class Parsed
{
    Record,
    End,
    Unterminated,
    Binary
};

// One RFC 4180 record. A quote in an unquoted field is text; text after a
// closing quote is kept. `line` counts line ends, also those inside quotes.
template <typename Source>
Parsed parseRecord(Source& src, char delimiter, QList<QByteArray>& fields, int& line, int& start)
{
    fields.clear();
    int c = src.get();
    if (c < 0)
        return Parsed::End;
    start = line;
    QByteArray field;
    for (;;) {
        if (c == '"') {
            for (;;) {
                c = src.get();
                if (c < 0)
                    return Parsed::Unterminated;
                if (c == '"') {
                    if (src.peek() != '"')
                        break;
                    src.get();
                } else if (c == '\n' || (c == '\r' && src.peek() != '\n')) {
                    ++line;
                } else if (isBinaryByte(c)) {
                    return Parsed::Binary;
                }
                field += static_cast<char>(c);
            }
            c = src.get();
        }
        while (c >= 0 && c != delimiter && c != '\n' && c != '\r') {
            if (isBinaryByte(c))
                return Parsed::Binary;
            field += static_cast<char>(c);
            c = src.get();
        }
        fields << field;
        field.clear();
        if (c == delimiter) {
            c = src.get();
            continue;
        }
        if (c == '\r' && src.peek() == '\n')
            src.get();
        if (c >= 0)
            ++line;
        return Parsed::Record;
    }
}

bool isBlankRecord(const QList<QByteArray>& fields)
{
    for (const QByteArray& f : fields) {
        if (!f.trimmed().isEmpty())
            return false;
    }
    return true;
}

// The delimiter that gives the header's number of fields to most of the first
// records (and more fields, on a tie).
char detectDelimiter(QByteArrayView prefix)
{
    char best = ',';
    qsizetype bestScore = -1;
    qsizetype bestWidth = 0;
    for (const char candidate : {',', ';', '\t'}) {
        ViewSource source(prefix);
        QList<QByteArray> fields;
        int line = 1;
        int start = 0;
        if (parseRecord(source, candidate, fields, line, start) != Parsed::Record)
            continue;
        const qsizetype width = fields.size();
        qsizetype score = 0;
        for (int i = 0; i < 50 && parseRecord(source, candidate, fields, line, start) == Parsed::Record;
             ++i) {
            if (!isBlankRecord(fields))
                score += fields.size() == width ? 1 : -1;
        }
        if (width > 1 && (score > bestScore || (score == bestScore && width > bestWidth))) {
            best = candidate;
            bestScore = score;
            bestWidth = width;
        }
    }
    return best;
}

QStringList googleValues(const QString& cell)
{
    QStringList values;
    for (const QString& v : cell.split(QLatin1String(" ::: "))) {
        if (!v.trimmed().isEmpty())
            values << v.trimmed();
    }
    return values;
}

QString number(const QString& text, int highest)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok && n >= 1 && n <= highest ? QString::number(n) : QString();
}

} // namespace

CsvReader::CsvReader(ByteSource& source, char delimiter, DateOrder order)
    : m_source(source), m_delimiter(delimiter), m_order(order)
{
}

CsvReader::~CsvReader() = default;

bool CsvReader::readRecord(QList<QByteArray>& fields, int& line, bool& end)
{
    end = false;
    switch (parseRecord(m_source, m_delimiter, fields, m_line, line)) {
    case Parsed::Record:
        return true;
    case Parsed::End:
        end = true;
        if (!m_source.readError().isEmpty())
            return fail(m_line, QStringLiteral("The file could not be read after line %1: %2")
                                    .arg(m_line)
                                    .arg(m_source.readError()));
        return true;
    case Parsed::Unterminated:
        return fail(line,
                    QStringLiteral("The quoted field that begins on line %1 is never closed: the file is "
                                   "truncated or damaged")
                        .arg(line));
    case Parsed::Binary:
        break;
    }
    return fail(m_line,
                QStringLiteral("Line %1 holds binary data, not text: this is not a CSV file, or it is "
                               "damaged")
                    .arg(m_line));
}

QString CsvReader::decode(const QByteArray& bytes, Entry* entry, qsizetype column)
{
    const text::Decoded decoded = m_source.decode(bytes);
    if (decoded.damaged && entry) {
        const QString what = QStringLiteral("the column \"%1\"").arg(m_headers.value(column));
        entry->notes << text::unreadableBytesNote(entry->line, what, m_source.encoding(), false);
    }
    return decoded.text;
}

bool CsvReader::start()
{
    m_started = true;
    QByteArray prefix = m_source.lookAhead(prefixSize).toByteArray();
    // Excel's "sep=;" line names the delimiter.
    if (prefix.size() >= 5 && prefix.first(4).toLower() == "sep=" &&
        (prefix.size() == 5 || prefix[5] == '\r' || prefix[5] == '\n')) {
        if (!m_delimiter)
            m_delimiter = prefix[4];
        QByteArray line;
        m_source.readLine(line);
        ++m_line;
        prefix = m_source.lookAhead(prefixSize).toByteArray();
    }
    if (!m_delimiter)
        m_delimiter = detectDelimiter(prefix);

    QList<QByteArray> fields;
    int line = 0;
    bool end = false;
    if (!readRecord(fields, line, end))
        return false;
    if (end)
        return fail(1, QStringLiteral("The file is empty"));
    bool anyKnown = false;
    for (const QByteArray& field : fields) {
        const QString header = decode(field).trimmed();
        const QString key = header.toLower();
        std::optional<Column> column;
        if (knownColumns().contains(key))
            column = knownColumns().value(key);
        else
            column = numberedColumn(key);
        if (!column) {
            column = role(Role::Unknown);
            if (!header.isEmpty())
                m_unknownColumns << header;
        }
        anyKnown = anyKnown || column->role != Role::Unknown;
        m_headers << header;
        m_columns << *column;
    }
    if (failed())
        return false;
    if (!anyKnown)
        return fail(line,
                    QStringLiteral("Line %1 names no column of a contact list: this is not a contact CSV "
                                   "file, or its first line is not its header")
                        .arg(line));

    if (m_order == DateOrder::Detect) {
        // A date with a day above 12 shows the order; the first one found decides.
        ViewSource source(prefix);
        int prefixLine = 1;
        int start = 0;
        parseRecord(source, m_delimiter, fields, prefixLine, start);
        while (m_order == DateOrder::Detect &&
               parseRecord(source, m_delimiter, fields, prefixLine, start) == Parsed::Record) {
            for (qsizetype i = 0; i < fields.size() && i < m_columns.size(); ++i) {
                const Column& c = m_columns[i];
                if ((c.role == Role::Birthday || c.role == Role::Anniversary ||
                     (c.group == Group::Event && !c.typeColumn)) &&
                    m_order == DateOrder::Detect)
                    m_order = dates::revealedOrder(text::cp1252(fields[i]));
            }
        }
        if (m_order == DateOrder::Detect)
            m_order = DateOrder::MonthFirst;
    }
    return true;
}

bool CsvReader::next(Entry& entry)
{
    if (!m_started && !start())
        return false;
    if (failed())
        return false;
    QList<QByteArray> fields;
    int line = 0;
    bool end = false;
    for (;;) {
        if (!readRecord(fields, line, end) || end)
            return false;
        if (!isBlankRecord(fields))
            break;
    }
    entry.clear();
    entry.line = line;
    readRow(fields, entry);
    return !failed();
}

void CsvReader::readRow(const QList<QByteArray>& fields, Entry& e)
{
    QList<QStringList> addresses(4, QStringList(PartCount));
    struct Numbered
    {
        QString type;
        QString value;
        QStringList parts = QStringList(PartCount);
    };
    QMap<QPair<int, int>, Numbered> numbered;
    DateParts birth;
    DateParts anniversary;

    auto readDate = [&](const QString& text, std::optional<DateParts>& into, const char* what) {
        const ParsedDate parsed = dates::parseCsv(text, m_order);
        if (!parsed.parts) {
            e.notes
                << QStringLiteral("The %1 \"%2\" could not be read as a date").arg(QLatin1String(what), text);
            return;
        }
        if (!parsed.problem.isEmpty())
            e.notes << QStringLiteral("The %1 \"%2\": %3").arg(QLatin1String(what), text, parsed.problem);
        if (!parsed.parts->isEmpty())
            into = parsed.parts;
    };
    auto datePart = [&](const QString& text, QString& into, int highest, const char* what) {
        into = highest ? number(text, highest) : text.trimmed();
        const bool readable = highest ? !into.isEmpty() : into.size() == 4 && into.toInt() > 0;
        if (!readable) {
            e.notes << QStringLiteral("The %1 \"%2\" could not be read").arg(QLatin1String(what), text);
            into.clear();
        }
    };

    for (qsizetype i = 0; i < fields.size() && i < m_columns.size(); ++i) {
        if (fields[i].isEmpty())
            continue;
        const Column& c = m_columns[i];
        const QString v = decode(fields[i], &e, i);
        switch (c.role) {
        case Role::Unknown:
            break;
        case Role::Ignore:
            if (!v.trimmed().isEmpty() && !e.ignored.contains(m_headers[i]))
                e.ignored << m_headers[i];
            break;
        case Role::Given:
            e.given = v;
            break;
        case Role::Family:
            e.family = v;
            break;
        case Role::Middle:
        case Role::Prefix:
        case Role::Suffix:
            if (!v.trimmed().isEmpty()) {
                const char* what = c.role == Role::Middle   ? "middle name"
                                   : c.role == Role::Prefix ? "name prefix"
                                                            : "name suffix";
                e.nameExtras << QStringLiteral("%1 \"%2\"").arg(QLatin1String(what), v);
            }
            break;
        case Role::Display:
            e.formatted = v;
            break;
        case Role::Organization:
            if (e.organization.isEmpty())
                e.organization = v;
            break;
        case Role::Phone:
            e.phones << PhoneItem{v, c.place, c.kind, QString::fromLatin1(c.special), c.field};
            break;
        case Role::Email:
            e.emails << EmailItem{v, c.place, c.field};
            break;
        case Role::AddressPart:
            addresses[static_cast<int>(c.place)][c.part] = v;
            break;
        case Role::Birthday:
            readDate(v, e.birthday, "birthday");
            break;
        case Role::Anniversary:
            readDate(v, e.anniversary, "anniversary");
            break;
        case Role::BirthYear:
            datePart(v, birth.year, 0, "birth year");
            break;
        case Role::BirthMonth:
            datePart(v, birth.month, 12, "birth month");
            break;
        case Role::BirthDay:
            datePart(v, birth.day, 31, "birth day");
            break;
        case Role::AnniversaryYear:
            datePart(v, anniversary.year, 0, "anniversary year");
            break;
        case Role::AnniversaryMonth:
            datePart(v, anniversary.month, 12, "anniversary month");
            break;
        case Role::AnniversaryDay:
            datePart(v, anniversary.day, 31, "anniversary day");
            break;
        case Role::Categories:
            e.categories << csv::splitCategories(v);
            break;
        case Role::Notes: {
            // Our values that the form had no column for, then the note itself.
            QString rest;
            for (const csv::NotedValue& noted : csv::splitNotes(v, rest)) {
                if (const ContactField field = csv::notedNumber(noted.label))
                    e.phones << PhoneItem{noted.value, Place::Unspecified, PhoneKind::Voice, QString(),
                                          field};
                else if (noted.label == QLatin1String(csv::birthdayLabel))
                    readDate(noted.value, e.birthday, "birthday");
                else if (noted.label == QLatin1String(csv::anniversaryLabel))
                    readDate(noted.value, e.anniversary, "anniversary");
                else
                    e.categories << csv::splitCategories(noted.value);
            }
            if (!rest.trimmed().isEmpty() && !e.ignored.contains(m_headers[i]))
                e.ignored << m_headers[i];
            break;
        }
        case Role::Groups:
            // Google marks its own groups with "* "; those two are on every contact.
            for (QString group : googleValues(v)) {
                const bool system = group.startsWith(QLatin1String("* "));
                if (system)
                    group.remove(0, 2);
                if (system && (group.compare(QLatin1String("myContacts"), Qt::CaseInsensitive) == 0 ||
                               group.compare(QLatin1String("starred"), Qt::CaseInsensitive) == 0))
                    continue;
                e.categories << group;
            }
            break;
        case Role::Numbered: {
            Numbered& n = numbered[qMakePair(static_cast<int>(c.group), c.index)];
            if (c.typeColumn)
                n.type = v;
            else if (c.group == Group::Address)
                n.parts[c.part] = v;
            else
                n.value = v;
            break;
        }
        }
    }

    // The columns of one place make one address.
    for (const Place place : {Place::Home, Place::Work, Place::Other, Place::Unspecified}) {
        const QStringList& p = addresses[static_cast<int>(place)];
        const QString text = composeAddress({p[PoBox], p[Extended], p[Street], p[Street2], p[Street3]},
                                            p[City], p[Region], p[PostalCode], p[Country]);
        if (!text.isEmpty())
            e.addresses << AddressItem{text, place};
    }
    // A numbered group's type is read on every row; a cell may hold several
    // values separated by " ::: ".
    for (auto it = numbered.cbegin(); it != numbered.cend(); ++it) {
        const Numbered& n = it.value();
        const Label label = readLabel(n.type);
        const Place place = label.place.value_or(Place::Unspecified);
        switch (static_cast<Group>(it.key().first)) {
        case Group::Phone:
            for (const QString& value : googleValues(n.value))
                e.phones << PhoneItem{value, place, label.kind.value_or(PhoneKind::Voice), label.special,
                                      nullptr};
            break;
        case Group::Email:
            for (const QString& value : googleValues(n.value))
                e.emails << EmailItem{value, place, nullptr};
            break;
        case Group::Address: {
            QStringList texts = googleValues(n.parts[Formatted]);
            if (texts.isEmpty()) {
                const QStringList& p = n.parts;
                const QString text = composeAddress({p[PoBox], p[Extended], p[Street]}, p[City], p[Region],
                                                    p[PostalCode], p[Country]);
                if (!text.isEmpty())
                    texts << text;
            }
            for (const QString& text : texts)
                e.addresses << AddressItem{text, place};
            break;
        }
        case Group::Event:
            if (n.value.trimmed().isEmpty())
                break;
            if (label.anniversary && !e.anniversary)
                readDate(n.value, e.anniversary, "anniversary");
            else if (!e.ignored.contains(QStringLiteral("Event")))
                e.ignored << QStringLiteral("Event");
            break;
        case Group::None:
            break;
        }
    }
    // Thunderbird's year, month and day columns are the parts themselves.
    if (!birth.isEmpty())
        e.birthday = birth;
    if (!anniversary.isEmpty())
        e.anniversary = anniversary;
}

} // namespace exchange
