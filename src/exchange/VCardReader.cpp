#include "exchange/VCardReader.h"

#include "exchange/Text.h"

#include <QHash>
#include <iterator>

namespace exchange {

namespace {

enum TypeFlag : quint32
{
    Home = 1u << 0,
    Work = 1u << 1,
    Voice = 1u << 2,
    Cell = 1u << 3,
    Fax = 1u << 4,
    SpecialKind = 1u << 5,
    OtherPlace = 1u << 6,
};

enum class Encoding
{
    Plain,
    QuotedPrintable,
    Base64
};

bool startsWithBlank(QByteArrayView line)
{
    return !line.isEmpty() && (line[0] == ' ' || line[0] == '\t');
}

bool isNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

bool isBase64Line(QByteArrayView line)
{
    for (const char c : line) {
        if (!isNameChar(c) && c != '+' && c != '/' && c != '=' && c != ' ' && c != '\t')
            return false;
    }
    return true;
}

// The first ":" that is not inside a quoted parameter value.
qsizetype colonOf(QByteArrayView line)
{
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted)
            return i;
    }
    return -1;
}

template <qsizetype N> bool same(QByteArrayView a, const char (&b)[N])
{
    return a.size() == N - 1 && qstrnicmp(a.data(), N - 1, b, N - 1) == 0;
}

// The properties read, by the position of their names below.
enum Known
{
    Unknown = -1,
    NameN,
    NameFN,
    NameORG,
    NameTEL,
    NameEMAIL,
    NameADR,
    NameBDAY,
    NameOwnBDAY,
    NameANNIVERSARY,
    NameXANNIVERSARY,
    NameXABDATE,
    NameEvolutionANNIVERSARY,
    NameMsANNIVERSARY,
    NameKAddressBookANNIVERSARY,
    NameOwnANNIVERSARY,
    NameCATEGORIES,
    NameXABLABEL,
    NameVERSION,
    NameNOTE,
    NameUID,
};

const QByteArray knownNames[] = {"N",
                                 "FN",
                                 "ORG",
                                 "TEL",
                                 "EMAIL",
                                 "ADR",
                                 "BDAY",
                                 "X-VANTREL-BDAY",
                                 "ANNIVERSARY",
                                 "X-ANNIVERSARY",
                                 "X-ABDATE",
                                 "X-EVOLUTION-ANNIVERSARY",
                                 "X-MS-ANNIVERSARY",
                                 "X-KADDRESSBOOK-X-ANNIVERSARY",
                                 "X-VANTREL-ANNIVERSARY",
                                 "CATEGORIES",
                                 "X-ABLABEL",
                                 "VERSION",
                                 "NOTE",
                                 "UID"};

int knownId(QByteArrayView name)
{
    for (int i = 0; i < static_cast<int>(std::size(knownNames)); ++i) {
        const QByteArray& known = knownNames[i];
        if (name.size() == known.size() &&
            qstrnicmp(name.data(), name.size(), known.constData(), known.size()) == 0)
            return i;
    }
    return Unknown;
}

bool isMediaName(QByteArrayView name)
{
    return same(name, "PHOTO") || same(name, "LOGO") || same(name, "SOUND") || same(name, "KEY");
}

// The property name of a content line's header, without its group.
QByteArrayView headerName(QByteArrayView header)
{
    qsizetype end = 0;
    while (end < header.size() && header[end] != ';')
        ++end;
    QByteArrayView name = header.first(end);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot >= 0)
        name = name.sliced(dot + 1);
    return name.trimmed();
}

// `needle` in upper case.
bool containsCi(QByteArrayView haystack, const char* needle)
{
    const auto length = static_cast<qsizetype>(qstrlen(needle));
    for (qsizetype i = 0; i + length <= haystack.size(); ++i) {
        if ((haystack[i] & ~0x20) == needle[0] && qstrnicmp(haystack.data() + i, length, needle, length) == 0)
            return true;
    }
    return false;
}

// A value of nothing but separators and blanks.
bool isEmptyValue(QByteArrayView value)
{
    for (const char c : value) {
        if (c != ';' && c != ',' && c != ' ' && c != '\t')
            return false;
    }
    return true;
}

QString latinText(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes);
}

} // namespace

struct VCardReader::Property
{
    int line = 0;
    QByteArray group; // upper case
    QByteArray name;  // upper case
    QByteArray value; // raw bytes, soft line breaks joined
    int id = -1;      // Known
    quint32 types = 0;
    QString special;
    QByteArray charset, omitYear, field;
    Encoding encoding = Encoding::Plain;
};

namespace {

using Property = VCardReader::Property;

void addType(Property& p, QByteArrayView token)
{
    token = token.trimmed();
    if (same(token, "HOME")) {
        p.types |= Home;
    } else if (same(token, "WORK")) {
        p.types |= Work;
    } else if (same(token, "VOICE") || same(token, "MAIN")) {
        p.types |= Voice;
    } else if (same(token, "CELL") || same(token, "MOBILE") || same(token, "IPHONE")) {
        p.types |= Cell;
    } else if (same(token, "FAX")) {
        p.types |= Fax;
    } else if (same(token, "OTHER")) {
        p.types |= OtherPlace;
    } else {
        for (const char* special : {"PAGER", "CAR", "ISDN", "MODEM", "BBS", "VIDEO", "TEXTPHONE"}) {
            if (token.compare(special, Qt::CaseInsensitive) == 0) {
                p.types |= SpecialKind;
                if (p.special.isEmpty())
                    p.special = latinText(token).toLower() +
                                (same(token, "CAR") ? QStringLiteral(" phone") : QString());
            }
        }
    }
}

void setEncoding(Property& p, QByteArrayView token)
{
    if (token.compare("QUOTED-PRINTABLE", Qt::CaseInsensitive) == 0)
        p.encoding = Encoding::QuotedPrintable;
    else if (token.compare("BASE64", Qt::CaseInsensitive) == 0 ||
             token.compare("B", Qt::CaseInsensitive) == 0)
        p.encoding = Encoding::Base64;
}

void addParameter(Property& p, QByteArrayView segment)
{
    segment = segment.trimmed();
    const qsizetype eq = segment.indexOf('=');
    if (eq < 0) {
        // A bare 2.1 token names an encoding or else a type.
        if (same(segment, "QUOTED-PRINTABLE") || same(segment, "BASE64"))
            setEncoding(p, segment);
        else if (!same(segment, "8BIT") && !same(segment, "7BIT"))
            addType(p, segment);
        return;
    }
    const QByteArrayView param = segment.first(eq).trimmed();
    QByteArrayView value = segment.sliced(eq + 1).trimmed();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.sliced(1, value.size() - 2);
    if (same(param, "TYPE")) {
        qsizetype start = 0;
        for (qsizetype i = 0; i <= value.size(); ++i) {
            if (i == value.size() || value[i] == ',') {
                QByteArrayView token = value.sliced(start, i - start).trimmed();
                if (token.startsWith('"'))
                    token = token.sliced(1);
                if (token.endsWith('"'))
                    token.chop(1);
                addType(p, token);
                start = i + 1;
            }
        }
    } else if (same(param, "ENCODING")) {
        setEncoding(p, value);
    } else if (same(param, "CHARSET")) {
        p.charset = value.toByteArray();
    } else if (same(param, "X-APPLE-OMIT-YEAR")) {
        p.omitYear = value.toByteArray();
    } else if (same(param, "X-VANTREL-FIELD")) {
        p.field = value.toByteArray();
    }
}

// Parses `[group.]name *(;param):value`; false for a line that is no property.
bool parseProperty(QByteArrayView line, Property& p)
{
    const qsizetype colon = colonOf(line);
    if (colon <= 0)
        return false;
    const QByteArrayView header = line.first(colon);
    qsizetype end = 0;
    while (end < header.size() && header[end] != ';')
        ++end;
    QByteArrayView name = header.first(end).trimmed();
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArrayView group = dot >= 0 ? name.first(dot) : QByteArrayView();
    if (dot >= 0)
        name = name.sliced(dot + 1);
    if (name.isEmpty())
        return false;
    for (const char c : name) {
        if (!isNameChar(c))
            return false;
    }
    for (const char c : group) {
        if (!isNameChar(c) && c != '.')
            return false;
    }
    p.id = knownId(name);
    p.name = p.id == Unknown ? name.toByteArray().toUpper() : knownNames[p.id];
    if (!group.isEmpty())
        p.group = group.toByteArray().toUpper();
    p.value = line.sliced(colon + 1).toByteArray();

    bool quoted = false;
    qsizetype start = end + 1;
    for (qsizetype i = start; i <= header.size(); ++i) {
        if (i < header.size() && header[i] == '"')
            quoted = !quoted;
        if (i == header.size() || (header[i] == ';' && !quoted)) {
            if (i > start)
                addParameter(p, header.sliced(start, i - start));
            start = i + 1;
        }
    }
    return true;
}

} // namespace

VCardReader::VCardReader(ByteSource& source) : m_source(source) {}

VCardReader::~VCardReader() = default;

bool VCardReader::readPhysical(QByteArray& line, int& number)
{
    if (m_hasPending) {
        m_hasPending = false;
        line.swap(m_pending);
        number = m_pendingNumber;
        return true;
    }
    if (!m_source.readLine(line))
        return false;
    number = ++m_lineNumber;
    const qsizetype binary = text::firstBinaryByte(line);
    if (binary >= 0) {
        return fail(number,
                    QStringLiteral("Line %1 holds binary data (byte 0x%2), not text: this is not a vCard "
                                   "file, or it is damaged")
                        .arg(number)
                        .arg(static_cast<uchar>(line[binary]), 2, 16, QLatin1Char('0')));
    }
    return true;
}

// One content line: folded lines unfolded, quoted-printable soft line breaks
// joined. The continuation lines of a picture or sound are read and dropped.
bool VCardReader::readLogical(QByteArray& line, int& number)
{
    if (!readPhysical(line, number))
        return false;
    const qsizetype colon = colonOf(line);
    bool media = false;
    bool qp = false;
    bool base64 = false;
    if (colon > 0) {
        const QByteArrayView header = QByteArrayView(line).first(colon);
        qp = containsCi(header, "QUOTED-PRINTABLE");
        base64 = containsCi(header, "BASE64") || containsCi(header, "ENCODING=B") ||
                 QByteArrayView(line).sliced(colon + 1).startsWith("data:");
        media = isMediaName(headerName(header)) && (base64 || colon + 1 < line.size());
    }
    QByteArray& next = m_next;
    int nextNumber = 0;
    while (readPhysical(next, nextNumber)) {
        if (startsWithBlank(next)) {
            if (!media)
                line.append(QByteArrayView(next).sliced(1));
            continue;
        }
        if (media && base64) {
            // A 2.1 block may go on without indenting and ends at a blank line.
            if (next.isEmpty())
                break;
            if (isBase64Line(next))
                continue;
        } else if (qp && line.endsWith('=')) {
            line.chop(1);
            line.append(next);
            continue;
        }
        m_pending.swap(next);
        m_pendingNumber = nextNumber;
        m_hasPending = true;
        break;
    }
    return !failed();
}

bool VCardReader::next(Entry& entry)
{
    entry.clear();
    QByteArray& line = m_line;
    int number = 0;
    bool inCard = false;
    bool afterNote = false;
    while (readLogical(line, number)) {
        const QByteArrayView trimmed = QByteArrayView(line).trimmed();
        if (trimmed.compare("BEGIN:VCARD", Qt::CaseInsensitive) == 0) {
            if (inCard) {
                return fail(number,
                            QStringLiteral("Line %1 begins a card inside the card that begins at line "
                                           "%2, which has no END:VCARD")
                                .arg(number)
                                .arg(m_cardLine));
            }
            inCard = true;
            m_sawCard = true;
            m_cardLine = number;
            m_cardJunk = 0;
            m_properties.clear();
            continue;
        }
        if (trimmed.compare("END:VCARD", Qt::CaseInsensitive) == 0) {
            if (!inCard)
                return fail(number,
                            QStringLiteral("Line %1 ends a card that was never begun (END:VCARD without "
                                           "BEGIN:VCARD)")
                                .arg(number));
            return finishCard(entry);
        }
        if (trimmed.isEmpty())
            continue;
        if (!inCard) {
            if (!m_sawCard)
                return fail(
                    number,
                    QStringLiteral("Line %1 is not BEGIN:VCARD: this is not a vCard file").arg(number));
            ++m_strayLines;
            continue;
        }
        Property& p = m_properties.emplaceBack();
        p.line = number;
        if (!parseProperty(line, p)) {
            m_properties.removeLast();
            // Some phones leave raw line breaks in a note.
            if (!afterNote)
                ++m_cardJunk;
            continue;
        }
        afterNote = p.id == NameNOTE;
    }
    if (failed())
        return false;
    if (!m_source.readError().isEmpty())
        return fail(m_lineNumber, QStringLiteral("The file could not be read after line %1: %2")
                                      .arg(m_lineNumber)
                                      .arg(m_source.readError()));
    if (inCard)
        return fail(m_cardLine,
                    QStringLiteral("The card that begins at line %1 has no END:VCARD: the file is "
                                   "truncated or damaged")
                        .arg(m_cardLine));
    if (!m_sawCard)
        return fail(qMax(m_lineNumber, 1), QStringLiteral("The file holds no vCard (no BEGIN:VCARD)"));
    return false;
}

namespace {

struct DateCandidate
{
    int rank = 0;
    std::optional<DateParts> parts;
    QString text;
};

class CardReading
{
public:
    CardReading(Entry& entry, int version, ByteSource& source)
        : e(entry), m_version(version), m_source(source)
    {
    }

    // The value's components: split on unescaped separators and unescaped. A
    // quoted-printable value is split on its raw separators and then decoded;
    // backslashes in it are plain text.
    QStringList components(const Property& p, char separator, bool split = true)
    {
        QStringList out;
        if (p.encoding == Encoding::QuotedPrintable) {
            const QList<QByteArray> parts = split ? p.value.split(separator) : QList<QByteArray>{p.value};
            for (const QByteArray& part : parts)
                out << decodeBytes(text::decodeQuotedPrintable(part), p);
            return out;
        }
        const QString value = decodeBytes(p.value, p);
        const bool v21 = m_version == 21;
        if (!value.contains(QLatin1Char('\\')) && (!split || !value.contains(QLatin1Char(separator))))
            return {value};
        out << QString();
        qsizetype run = 0;
        for (qsizetype i = 0; i < value.size(); ++i) {
            const QChar c = value[i];
            if (c == QLatin1Char('\\') && i + 1 < value.size()) {
                const QChar n = value[i + 1];
                const bool literal = v21 ? n == QLatin1Char(';')
                                         : (n == QLatin1Char('\\') || n == QLatin1Char(',') ||
                                            n == QLatin1Char(';') || n == QLatin1Char(':'));
                const bool lineBreak = !v21 && (n == QLatin1Char('n') || n == QLatin1Char('N'));
                if (literal || lineBreak) {
                    out.last() += QStringView(value).sliced(run, i - run);
                    out.last() += lineBreak ? QChar(u'\n') : n;
                    run = ++i + 1;
                }
            } else if (split && c == QLatin1Char(separator)) {
                out.last() += QStringView(value).sliced(run, i - run);
                out << QString();
                run = i + 1;
            }
        }
        out.last() += QStringView(value).sliced(run);
        return out;
    }

    QString single(const Property& p)
    {
        if (p.encoding != Encoding::QuotedPrintable && !p.value.contains('\\'))
            return decodeBytes(p.value, p);
        return components(p, ';', false).value(0);
    }

    void read(const QList<Property>& properties)
    {
        // Apple's labels name the type of the property in their group.
        QHash<QByteArray, QString> labels;
        for (const Property& p : properties) {
            if (p.id == NameXABLABEL && !p.group.isEmpty())
                labels.insert(p.group, single(p));
        }
        for (const Property& p : properties) {
            const bool labelled =
                !labels.isEmpty() && !p.group.isEmpty() &&
                (p.id == NameTEL || p.id == NameEMAIL || p.id == NameADR || p.id == NameXABDATE);
            const Label label = labelled ? readLabel(labels.value(p.group)) : Label();
            switch (p.id) {
            case NameN: {
                const QStringList c = components(p, ';');
                e.family = c.value(0);
                e.given = c.value(1);
                const char* extras[] = {"middle name", "name prefix", "name suffix"};
                for (int i = 0; i < 3; ++i) {
                    if (!c.value(i + 2).trimmed().isEmpty())
                        e.nameExtras
                            << QStringLiteral("%1 \"%2\"").arg(QLatin1String(extras[i]), c.value(i + 2));
                }
                break;
            }
            case NameFN:
                e.formatted = single(p);
                break;
            case NameORG:
                e.organization = components(p, ';').value(0);
                break;
            case NameTEL:
                phone(p, label);
                break;
            case NameEMAIL:
                e.emails << EmailItem{single(p), label.place.value_or(placeOf(p.types)), nullptr};
                break;
            case NameADR: {
                const QStringList c = components(p, ';');
                const QString address = composeAddress({c.value(0), c.value(1), c.value(2)}, c.value(3),
                                                       c.value(4), c.value(5), c.value(6));
                if (!address.isEmpty())
                    e.addresses << AddressItem{address, label.place.value_or(placeOf(p.types))};
                break;
            }
            case NameBDAY:
            case NameOwnBDAY:
                date(p, m_birthdays);
                break;
            case NameXABDATE:
                if (!label.anniversary) {
                    ignore(p.name);
                    break;
                }
                Q_FALLTHROUGH();
            case NameANNIVERSARY:
            case NameXANNIVERSARY:
            case NameEvolutionANNIVERSARY:
            case NameMsANNIVERSARY:
            case NameKAddressBookANNIVERSARY:
            case NameOwnANNIVERSARY:
                date(p, m_anniversaries);
                break;
            case NameCATEGORIES:
                if (!p.value.isEmpty())
                    e.categories << components(p, m_version == 21 ? ';' : ',');
                break;
            case NameXABLABEL:
            case NameVERSION:
                break;
            case NameUID:
                e.uid = single(p).trimmed();
                break;
            default:
                if (isMediaName(p.name)) {
                    // An empty one (PHOTO:, or SOUND;X-IRMC-N:;;;; from some phones) loses nothing;
                    // a key is no picture: it is a value with no field.
                    if (isEmptyValue(p.value) && p.encoding != Encoding::Base64)
                        break;
                    if (same(p.name, "KEY"))
                        ignore(p.name);
                    else
                        ++e.photos;
                } else if (!isSilent(p.name)) {
                    ignore(p.name);
                }
            }
        }
        e.birthday = resolve(m_birthdays, QStringLiteral("birthday"));
        e.anniversary = resolve(m_anniversaries, QStringLiteral("anniversary"));
    }

private:
    void ignore(const QByteArray& name)
    {
        const QString text = latinText(name);
        if (!e.ignored.contains(text))
            e.ignored << text;
    }

    static bool isSilent(QByteArrayView n)
    {
        for (const char* name :
             {"VERSION", "PRODID", "REV", "UID", "X-ABUID", "X-ABSHOWAS", "X-ABLABEL", "X-IRMC-LUID", "KIND",
              "SOURCE", "NAME", "PROFILE", "CLIENTPIDMAP", "SORT-STRING", "X-ABADR", "X-EVOLUTION-FILE-AS"}) {
            if (n == name)
                return true;
        }
        return false;
    }

    static Place placeOf(quint32 types)
    {
        if (types & Home)
            return Place::Home;
        if (types & Work)
            return Place::Work;
        if (types & OtherPlace)
            return Place::Other;
        return Place::Unspecified;
    }

    void phone(const Property& p, const Label& label)
    {
        PhoneItem item;
        item.text = single(p);
        if (item.text.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
            item.text = telNumber(item.text);
        item.place = label.place.value_or(placeOf(p.types));
        item.kind = (p.types & Fax)           ? PhoneKind::Fax
                    : (p.types & Cell)        ? PhoneKind::Cell
                    : (p.types & SpecialKind) ? PhoneKind::Special
                                              : PhoneKind::Voice;
        item.special = p.special;
        if (label.kind) {
            item.kind = *label.kind;
            item.special = label.special;
        }
        for (const data::ContactColumn& column : data::contactColumns) {
            if (!p.field.isEmpty() && column.name == QLatin1String(p.field))
                item.field = column.member;
        }
        e.phones << item;
    }

    // 4.0's URI form, tel:+44-555-555-5555;ext=5555: the number before its
    // parameters (RFC 3966), which are not digits of it and are noted.
    QString telNumber(const QString& uri)
    {
        const QStringList parts = uri.sliced(4).split(QLatin1Char(';'));
        for (qsizetype i = 1; i < parts.size(); ++i) {
            const QString name = parts[i].section(QLatin1Char('='), 0, 0).trimmed().toLower();
            const QString value = parts[i].section(QLatin1Char('='), 1);
            if (name == QLatin1String("ext"))
                e.notes << QStringLiteral("The extension %1 of the number %2 was not stored")
                               .arg(value, parts[0]);
            else if (!name.isEmpty())
                e.notes
                    << QStringLiteral("The \"%1\" of the number %2 was not stored").arg(parts[i], parts[0]);
        }
        return parts[0];
    }

    void date(const Property& p, QList<DateCandidate>& candidates)
    {
        static constexpr int ranked[] = {NameOwnBDAY,
                                         NameOwnANNIVERSARY,
                                         NameBDAY,
                                         NameANNIVERSARY,
                                         NameXANNIVERSARY,
                                         NameXABDATE,
                                         NameEvolutionANNIVERSARY,
                                         NameMsANNIVERSARY,
                                         NameKAddressBookANNIVERSARY};
        DateCandidate candidate;
        candidate.rank = 0;
        while (ranked[candidate.rank] != p.id)
            ++candidate.rank;
        candidate.text = single(p);
        if (candidate.rank < 2) {
            const QStringList c = components(p, ';');
            candidate.parts = DateParts{c.value(0), c.value(1), c.value(2)};
        } else {
            candidate.parts = dates::parseIso(candidate.text);
            // Apple's placeholder year stands for none.
            if (candidate.parts && !p.omitYear.isEmpty() && candidate.parts->year == latinText(p.omitYear))
                candidate.parts->year.clear();
        }
        candidates << candidate;
    }

    // Our own X-VANTREL-... property wins, since it holds the parts exactly; then
    // the standard property, then the other spellings in the order ranked above.
    // Without ours, a date that cannot be read or that differs is reported.
    std::optional<DateParts> resolve(const QList<DateCandidate>& candidates, const QString& what)
    {
        const DateCandidate* best = nullptr;
        for (const DateCandidate& c : candidates) {
            if (c.parts && (!best || c.rank < best->rank))
                best = &c;
        }
        if (best && best->rank < 2)
            return best->parts;
        for (const DateCandidate& c : candidates) {
            if (!c.parts && !c.text.trimmed().isEmpty())
                e.notes << QStringLiteral("The %1 \"%2\" could not be read as a date").arg(what, c.text);
            else if (c.parts && best && *c.parts != *best->parts)
                e.notes << QStringLiteral("Another %1 \"%2\" was not stored").arg(what, c.text);
        }
        return best ? best->parts : std::nullopt;
    }

    // A value in its declared character set, or else in the file's encoding. A
    // byte that cannot be read costs only itself (U+FFFD) and is noted.
    QString decodeBytes(QByteArrayView bytes, const Property& p)
    {
        if (p.charset.isEmpty()) {
            const text::Decoded decoded = m_source.decode(bytes);
            if (decoded.damaged)
                noteOnce(text::unreadableBytesNote(p.line, latinText(p.name), m_source.encoding(), false));
            return decoded.text;
        }
        // A raw value that is UTF-8 is taken as such: UTF-16 files reach us as UTF-8.
        if (p.encoding != Encoding::QuotedPrintable) {
            if (std::optional<QString> text = text::utf8(bytes))
                return *text;
        }
        bool unknown = false;
        const text::Decoded decoded = text::decode(bytes, p.charset, &unknown);
        if (unknown)
            noteOnce(QStringLiteral("Line %1: %2 names the character set \"%3\", which is not known; what "
                                    "is not ASCII shows as \uFFFD")
                         .arg(p.line)
                         .arg(latinText(p.name), latinText(p.charset)));
        else if (decoded.damaged)
            noteOnce(text::unreadableBytesNote(p.line, latinText(p.name), p.charset, true));
        return decoded.text;
    }

    // A value is decoded once per component: say it once.
    void noteOnce(const QString& note)
    {
        if (!e.notes.contains(note))
            e.notes << note;
    }

    Entry& e;
    int m_version;
    ByteSource& m_source;
    QList<DateCandidate> m_birthdays, m_anniversaries;
};

} // namespace

bool VCardReader::finishCard(Entry& entry)
{
    int version = 0;
    bool anyQp = false;
    for (const Property& p : m_properties) {
        if (p.id == NameVERSION)
            version = p.value.trimmed() == "2.1" ? 21 : p.value.trimmed().startsWith("4") ? 40 : 30;
        anyQp = anyQp || p.encoding == Encoding::QuotedPrintable;
    }
    if (!version)
        version = anyQp ? 21 : 30;
    entry.line = m_cardLine;
    CardReading reading(entry, version, m_source);
    reading.read(m_properties);
    entry.junkLines += m_cardJunk;
    m_properties.clear();
    return true;
}

} // namespace exchange
