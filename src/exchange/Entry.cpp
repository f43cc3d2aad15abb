#include "exchange/Entry.h"

#include <algorithm>

namespace exchange {

using data::Contact;

EntryReader::~EntryReader() = default;

namespace {

struct FieldInfo
{
    ContactField field;
    const char* label;
};

constexpr FieldInfo fields[] = {
    {&Contact::phone, "home phone"},        {&Contact::phone2, "home phone 2"},
    {&Contact::mobile, "home mobile"},      {&Contact::fax, "home fax"},
    {&Contact::phoneOff, "office phone"},   {&Contact::phone2Off, "office phone 2"},
    {&Contact::mobileOff, "office mobile"}, {&Contact::faxOff, "office fax"},
    {&Contact::EMailH, "home e-mail"},      {&Contact::EMailO, "office e-mail"},
    {&Contact::address, "home address"},    {&Contact::addressOff, "office address"},
};

const FieldInfo& infoOf(ContactField field)
{
    for (const FieldInfo& info : fields) {
        if (info.field == field)
            return info;
    }
    return fields[0];
}

bool blank(const QString& text)
{
    return text.trimmed().isEmpty();
}

// A value on one line inside quotes, for a note.
QString quoted(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(", "));
    text.replace(QLatin1Char('\n'), QLatin1String(", "));
    text.replace(QLatin1Char('\r'), QLatin1String(", "));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString placeWord(Place place)
{
    switch (place) {
    case Place::Home:
        return QStringLiteral("home ");
    case Place::Work:
        return QStringLiteral("office ");
    case Place::Other:
        return QStringLiteral("other ");
    case Place::Unspecified:
        break;
    }
    return QString();
}

QString describe(const PhoneItem& item)
{
    switch (item.kind) {
    case PhoneKind::Cell:
        return placeWord(item.place) + QStringLiteral("mobile");
    case PhoneKind::Fax:
        return placeWord(item.place) + QStringLiteral("fax");
    case PhoneKind::Special:
        return placeWord(item.place) + (item.special.isEmpty() ? QStringLiteral("number") : item.special);
    case PhoneKind::Voice:
        break;
    }
    return placeWord(item.place) + QStringLiteral("phone");
}

// First name and second name. N's given name and family name when there is a
// given name. Otherwise the formatted name (FN, a display name): a family name
// it ends or starts with becomes the second name and the rest the first name;
// without a family name its first word is the first name and the rest the
// second. A formatted name that is the organization's name is kept whole. Last,
// the organization's name as the first name.
void chooseNames(const Entry& e, Contact& c)
{
    if (!blank(e.given)) {
        c.firstName = e.given;
        // abook writes a one-word name as both, N:Bo;Bo with FN:Bo.
        const bool repeated = e.family == e.given && e.formatted.trimmed() == e.given.trimmed();
        c.secondName = repeated ? QString() : e.family;
        return;
    }
    const QString formatted = e.formatted.trimmed();
    if (!formatted.isEmpty()) {
        const QString family = e.family.trimmed();
        if (formatted == e.organization.trimmed() || formatted == family) {
            c.firstName = formatted;
        } else if (!family.isEmpty()) {
            c.secondName = e.family;
            c.firstName = formatted;
            if (formatted.endsWith(QLatin1Char(' ') + family))
                c.firstName = formatted.chopped(family.size()).trimmed();
            else if (formatted.startsWith(family + QLatin1Char(' ')))
                c.firstName = formatted.sliced(family.size()).trimmed();
        } else {
            const qsizetype space = formatted.indexOf(QLatin1Char(' '));
            c.firstName = space < 0 ? formatted : formatted.first(space);
            c.secondName = space < 0 ? QString() : formatted.sliced(space).trimmed();
        }
        return;
    }
    if (!blank(e.organization)) {
        c.firstName = e.organization;
        c.secondName = e.family;
    }
}

// Blanks and the visual separators of RFC 3966 (and "/") only lay a number out.
bool isSeparator(QChar ch)
{
    return ch.isSpace() || ch == QLatin1Char('-') || ch == QLatin1Char('.') || ch == QLatin1Char('(') ||
           ch == QLatin1Char(')') || ch == QLatin1Char('/');
}

struct SplitNumber
{
    QString digits;
    QString dropped; // what was neither a digit nor a separator: "+", letters, "*", ...
};

SplitNumber splitDigits(const QString& text)
{
    const bool plain = std::all_of(text.cbegin(), text.cend(),
                                   [](QChar ch) { return ch >= QLatin1Char('0') && ch <= QLatin1Char('9'); });
    if (plain) // most numbers: no copy
        return {text, QString()};
    SplitNumber out;
    for (const QChar ch : text) {
        if (ch.isDigit())
            out.digits += QChar(u'0' + ch.digitValue());
        else if (!isSeparator(ch))
            out.dropped += ch;
    }
    return out;
}

class Fitter
{
public:
    Fitter(Contact& contact, QStringList& notes) : c(contact), m_notes(notes) {}

    // Numbers are kept as their digits, since the boxes take digits only.
    bool putNumber(ContactField field, const PhoneItem& item)
    {
        if (!(c.*field).isEmpty())
            return false;
        const FieldInfo& info = infoOf(field);
        const auto [digits, dropped] = splitDigits(item.text);
        if (digits.isEmpty()) {
            if (!item.text.trimmed().isEmpty()) // an empty number is nothing to report
                m_notes << QStringLiteral("Not stored: %1 %2 has no digits")
                               .arg(describe(item), quoted(item.text));
            return true;
        }
        c.*field = digits;
        if (!dropped.isEmpty()) {
            m_notes << QStringLiteral("The %1 %2 was stored as its digits %3; dropped: %4")
                           .arg(QLatin1String(info.label), quoted(item.text), digits, quoted(dropped));
        }
        // The window's number boxes take no more digits than this at Save.
        const int longest = data::columnOf(field).digits;
        if (digits.size() > longest) {
            m_notes << QStringLiteral("The %1 %2 has %3 digits; the window takes %4 and will ask for a "
                                      "shorter one at the next save")
                           .arg(QLatin1String(info.label), digits)
                           .arg(digits.size())
                           .arg(longest);
        }
        return true;
    }

    bool putText(ContactField field, const QString& text)
    {
        if (!(c.*field).isEmpty())
            return false;
        c.*field = text;
        return true;
    }

    void noField(const QString& what, const QString& text)
    {
        m_notes << QStringLiteral("No field for the %1 %2").arg(what, quoted(text));
    }

    void numbers(const QList<PhoneItem>& items)
    {
        // Exact fields first, then numbers with a place, then those without one:
        // a number without a place takes a free home box, never an office one.
        for (int pass = 0; pass < 3; ++pass) {
            for (const PhoneItem& item : items) {
                const bool placed = item.place == Place::Home || item.place == Place::Work;
                if ((pass == 0) != (item.field != nullptr) || (pass == 1 && !placed) || (pass == 2 && placed))
                    continue;
                bool stored = false;
                if (item.field) {
                    stored = putNumber(item.field, item);
                } else if (item.kind != PhoneKind::Special) {
                    for (const ContactField field : slots(item))
                        stored = stored || putNumber(field, item);
                }
                if (!stored)
                    noField(describe(item), item.text);
            }
        }
    }

    void emails(const QList<EmailItem>& items)
    {
        for (int pass = 0; pass < 3; ++pass) {
            for (const EmailItem& item : items) {
                const bool placed = item.place == Place::Home || item.place == Place::Work;
                if ((pass == 0) != (item.field != nullptr) || (pass == 1 && !placed) || (pass == 2 && placed))
                    continue;
                bool stored = false;
                if (item.field)
                    stored = putText(item.field, item.text);
                else if (item.place == Place::Home)
                    stored = putText(&Contact::EMailH, item.text);
                else if (item.place == Place::Work)
                    stored = putText(&Contact::EMailO, item.text);
                else
                    stored = putText(&Contact::EMailH, item.text) || putText(&Contact::EMailO, item.text);
                if (!stored)
                    noField(placeWord(item.place) + QStringLiteral("e-mail"), item.text);
            }
        }
    }

    // An address typed "other" has no field; one without a place is a home address.
    void addresses(const QList<AddressItem>& items)
    {
        for (const bool placed : {true, false}) {
            for (const AddressItem& item : items) {
                if (placed != (item.place == Place::Home || item.place == Place::Work))
                    continue;
                bool stored = false;
                if (item.place == Place::Work)
                    stored = putText(&Contact::addressOff, item.text);
                else if (item.place != Place::Other)
                    stored = putText(&Contact::address, item.text);
                if (!stored)
                    noField(placeWord(item.place) + QStringLiteral("address"), item.text);
            }
        }
    }

private:
    static QList<ContactField> slots(const PhoneItem& item)
    {
        const bool work = item.place == Place::Work;
        switch (item.kind) {
        case PhoneKind::Cell:
            return {work ? &Contact::mobileOff : &Contact::mobile};
        case PhoneKind::Fax:
            return {work ? &Contact::faxOff : &Contact::fax};
        case PhoneKind::Voice:
            return work ? QList<ContactField>{&Contact::phoneOff, &Contact::phone2Off}
                        : QList<ContactField>{&Contact::phone, &Contact::phone2};
        case PhoneKind::Special:
            break;
        }
        return {};
    }

    Contact& c;
    QStringList& m_notes;
};

} // namespace

FittedContact fitContact(const Entry& e)
{
    FittedContact out;
    Contact& c = out.contact;
    out.notes = e.notes;
    chooseNames(e, c);
    out.hasFirstName = !blank(c.firstName);
    out.organizationUnused =
        !blank(e.organization) && c.firstName != e.organization && c.firstName != e.organization.trimmed();
    for (const QString& extra : e.nameExtras)
        out.notes << QStringLiteral("Not stored: the %1").arg(extra);

    Fitter fitter(c, out.notes);
    fitter.numbers(e.phones);
    fitter.emails(e.emails);
    fitter.addresses(e.addresses);

    if (e.birthday) {
        c.dobDate = e.birthday->day;
        c.dobMonth = e.birthday->month;
        c.dobYear = e.birthday->year;
    }
    if (e.anniversary) {
        c.aniDate = e.anniversary->day;
        c.aniMonth = e.anniversary->month;
        c.aniYear = e.anniversary->year;
    }
    if (!e.categories.isEmpty())
        c.category = e.categories[0];
    if (e.categories.size() > 1)
        c.subCategory = e.categories[1];
    for (qsizetype i = 2; i < e.categories.size(); ++i)
        fitter.noField(QStringLiteral("category"), e.categories[i]);
    return out;
}

Label readLabel(QStringView text)
{
    QString label = text.trimmed().toString().toLower();
    if (label.startsWith(QLatin1String("* ")))
        label.remove(0, 2);
    label.remove(QLatin1String("_$!<"));
    label.remove(QLatin1String(">!$_"));
    Label out;
    auto has = [&label](const char* word) { return label.contains(QLatin1String(word)); };
    if (has("home"))
        out.place = Place::Home;
    else if (has("work") || has("business") || has("office") || has("company"))
        out.place = Place::Work;
    else if (has("other"))
        out.place = Place::Other;
    if (has("fax")) {
        out.kind = PhoneKind::Fax;
    } else if (has("mobile") || has("cell") || has("iphone")) {
        out.kind = PhoneKind::Cell;
    } else if (has("pager")) {
        out.kind = PhoneKind::Special;
        out.special = QStringLiteral("pager");
    } else if (has("main") || has("phone") || has("voice")) {
        out.kind = PhoneKind::Voice;
    }
    out.anniversary = has("anniversary");
    return out;
}

QString composeAddress(const QStringList& streetLines, const QString& city, const QString& region,
                       const QString& postalCode, const QString& country)
{
    QStringList lines;
    for (const QString& line : streetLines) {
        if (!line.isEmpty())
            lines << line;
    }
    QStringList locality;
    for (const QString* part : {&city, &region, &postalCode}) {
        if (!part->trimmed().isEmpty())
            locality << part->trimmed();
    }
    if (!locality.isEmpty())
        lines << locality.join(QLatin1Char(' '));
    if (!country.trimmed().isEmpty())
        lines << country.trimmed();
    return lines.join(QLatin1Char('\n'));
}

} // namespace exchange
