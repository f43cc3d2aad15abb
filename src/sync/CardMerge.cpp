#include "sync/CardMerge.h"

#include "exchange/VCardWriter.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <algorithm>

namespace davsync::cardmerge {

namespace {

// One property (content line) of a card.
struct Property
{
    QByteArray raw;          // as it was in the input: its physical lines with their line ends
    QByteArray logical;      // unfolded, without the line end
    QByteArray group;        // "item1" of "item1.TEL", as written
    QByteArray name;         // upper case
    QList<QByteArray> types; // lower case
    qsizetype valueStart = 0;
    bool quotedPrintable = false;

    QByteArrayView value() const { return QByteArrayView(logical).sliced(valueStart); }
    QByteArrayView withoutGroup() const
    {
        return group.isEmpty() ? QByteArrayView(logical) : QByteArrayView(logical).sliced(group.size() + 1);
    }
};

// Parts of a header split at `separator` outside double quotes.
QList<QByteArray> splitOutsideQuotes(QByteArrayView text, char separator)
{
    QList<QByteArray> parts(1);
    bool quoted = false;
    for (const char c : text) {
        if (c == '"')
            quoted = !quoted;
        if (c == separator && !quoted)
            parts.append(QByteArray());
        else
            parts.last() += c;
    }
    return parts;
}

// Encodings that vCard 2.1 writes as bare parameters; they are not TYPE words.
bool isEncodingWord(const QByteArray& upper)
{
    return upper == "QUOTED-PRINTABLE" || upper == "BASE64" || upper == "8BIT" || upper == "7BIT" ||
           upper == "B";
}

void parseHeader(Property& p)
{
    qsizetype colon = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < p.logical.size() && colon < 0; ++i) {
        if (p.logical[i] == '"')
            quoted = !quoted;
        else if (p.logical[i] == ':' && !quoted)
            colon = i;
    }
    if (colon < 0)
        colon = p.logical.size(); // a line that is not a property (a blank one): no value
    p.valueStart = std::min(colon + 1, p.logical.size());
    const QList<QByteArray> parts = splitOutsideQuotes(QByteArrayView(p.logical).first(colon), ';');
    const QByteArray& fullName = parts.first();
    const qsizetype dot = fullName.indexOf('.');
    if (dot >= 0)
        p.group = fullName.first(dot);
    p.name = fullName.sliced(dot + 1).toUpper();
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const qsizetype equals = parts[i].indexOf('=');
        const QByteArray key = (equals < 0 ? parts[i] : parts[i].first(equals)).trimmed().toUpper();
        if (equals < 0) {
            if (isEncodingWord(key))
                p.quotedPrintable = p.quotedPrintable || key == "QUOTED-PRINTABLE";
            else
                p.types << key.toLower();
            continue;
        }
        const QByteArray value = parts[i].sliced(equals + 1);
        if (key == "ENCODING")
            p.quotedPrintable = p.quotedPrintable || value.trimmed().toUpper() == "QUOTED-PRINTABLE";
        if (key != "TYPE")
            continue;
        for (QByteArray word : splitOutsideQuotes(value, ','))
            p.types << word.replace('"', QByteArray()).trimmed().toLower();
    }
}

// Splits a card into its properties. A physical line that begins with a blank
// continues the one before (RFC 6350 §3.2), as does any line after a
// quoted-printable one that ends with "=" (vCard 2.1's soft line break).
QList<Property> properties(QByteArrayView card)
{
    QList<Property> out;
    bool softBreak = false;
    qsizetype pos = 0;
    while (pos < card.size()) {
        qsizetype end = card.indexOf('\n', pos);
        end = end < 0 ? card.size() : end + 1;
        const QByteArrayView physical = card.sliced(pos, end - pos);
        QByteArrayView content = physical;
        while (content.endsWith('\n') || content.endsWith('\r'))
            content.chop(1);
        const bool folded = !out.isEmpty() && !content.isEmpty() && (content[0] == ' ' || content[0] == '\t');
        if (!out.isEmpty() && (folded || softBreak)) {
            Property& p = out.last();
            p.raw += physical;
            if (softBreak)
                p.logical.chop(1); // the "=" of the soft break
            p.logical += softBreak ? content : content.sliced(1);
        } else {
            Property p;
            p.raw = physical.toByteArray();
            p.logical = content.toByteArray();
            out << p;
        }
        pos = end;
        Property& last = out.last();
        parseHeader(last);
        softBreak = last.quotedPrintable && last.logical.endsWith('=');
    }
    return out;
}

bool onlyWords(const QList<QByteArray>& types, std::initializer_list<const char*> allowed)
{
    return std::all_of(types.cbegin(), types.cend(), [&](const QByteArray& t) {
        return std::any_of(allowed.begin(), allowed.end(), [&](const char* a) { return t == a; });
    });
}

// The boxes of the book a property may fill, in order of preference.
struct Slot
{
    QList<QByteArray> keys; // none: not the book's
    int boxes = 0;          // how many of each key the book keeps
    bool placed = true;     // false for a number, e-mail or address of no place: it fills a box last
};

bool has(const QList<QByteArray>& types, const char* word)
{
    return types.contains(QByteArray(word));
}

// The book's rule of ownership for one property outside a labelled group. As
// the import fits a card (exchange::fitContact): a number or address without a
// place takes a home box; an e-mail without one the home box, else the office one.
Slot slotOf(const Property& p)
{
    static const QSet<QByteArray> single{"UID",
                                         "N",
                                         "FN",
                                         "BDAY",
                                         "ANNIVERSARY",
                                         "X-ANNIVERSARY",
                                         "CATEGORIES",
                                         "X-VANTREL-BDAY",
                                         "X-VANTREL-ANNIVERSARY"};
    if (single.contains(p.name))
        return {{p.name}, 1};
    const bool home = has(p.types, "home"), work = has(p.types, "work");
    if (home && work)
        return {};
    const QByteArray place = work ? "work" : "home";
    if (p.name == "TEL") {
        const bool cell = has(p.types, "cell"), fax = has(p.types, "fax");
        if ((cell && fax) || !onlyWords(p.types, {"home", "work", "voice", "cell", "fax", "pref"}))
            return {};
        const QByteArray kind = cell ? "cell" : fax ? "fax" : "voice";
        return {{"TEL;" + place + ';' + kind}, cell || fax ? 1 : 2, home || work};
    }
    if (p.name == "EMAIL" && onlyWords(p.types, {"home", "work", "internet", "pref"})) {
        if (home || work)
            return {{"EMAIL;" + place}, 1};
        return {{"EMAIL;home", "EMAIL;work"}, 1, false};
    }
    if (p.name == "ADR" && onlyWords(p.types, {"home", "work", "pref", "postal", "parcel", "dom", "intl"}))
        return {{"ADR;" + place}, 1, home || work};
    return {};
}

// A property alone, or all of one group's: what is kept or replaced together.
struct Unit
{
    QList<qsizetype> members; // indices into the card's properties, in card order
    Slot slot;
};

QList<Unit> units(const QList<Property>& props)
{
    QList<Unit> out;
    QHash<QByteArray, qsizetype> unitOfGroup;
    for (qsizetype i = 0; i < props.size(); ++i) {
        const QByteArray group = props[i].group.toLower();
        if (group.isEmpty()) {
            out.append(Unit{{i}, {}});
            continue;
        }
        const auto known = unitOfGroup.constFind(group);
        if (known != unitOfGroup.cend()) {
            out[*known].members << i;
            continue;
        }
        unitOfGroup.insert(group, out.size());
        out.append(Unit{{i}, {}});
    }
    for (Unit& u : out) {
        const Property* label = nullptr;
        const Property* date = nullptr;
        for (const qsizetype i : u.members) {
            if (props[i].name == "X-ABLABEL")
                label = &props[i];
            else if (props[i].name == "X-ABDATE")
                date = &props[i];
        }
        if (u.members.size() == 1 && !label)
            u.slot = slotOf(props[u.members.first()]);
        else if (u.members.size() == 2 && label && date &&
                 label->value().toByteArray().toLower().contains("anniversary"))
            u.slot = {{"X-ABDATE"}, 1};
    }
    return out;
}

// Which box of the book each unit fills ("TEL;home;voice" #1), in card order,
// placed ones first; empty for the server's and for those beyond the boxes.
struct Box
{
    QByteArray key;
    int index = 0;

    bool operator==(const Box&) const = default;
};

QList<Box> boxesOf(const QList<Unit>& units)
{
    QList<Box> out(units.size());
    QHash<QByteArray, int> filled;
    for (const bool placed : {true, false}) {
        for (qsizetype k = 0; k < units.size(); ++k) {
            const Slot& slot = units[k].slot;
            if (slot.placed != placed)
                continue;
            for (const QByteArray& key : slot.keys) {
                if (filled[key] < slot.boxes) {
                    out[k] = {key, filled[key]++};
                    break;
                }
            }
        }
    }
    return out;
}

// The value of a unit, for comparing: its date for Apple's anniversary, else its one property.
const Property& valueOf(const QList<Property>& props, const Unit& u)
{
    for (const qsizetype i : u.members) {
        if (props[i].name != "X-ABLABEL")
            return props[i];
    }
    return props[u.members.first()];
}

bool sameByDefault(QByteArrayView storedLine, QByteArrayView ourLine)
{
    Property a, b;
    a.logical = storedLine.toByteArray();
    b.logical = ourLine.toByteArray();
    parseHeader(a);
    parseHeader(b);
    return a.value() == b.value();
}

struct Card
{
    QList<Property> props;
    QList<Unit> units;
    qsizetype end = -1; // index of END:VCARD
    QByteArray version;
};

std::optional<Card> readCard(QByteArrayView bytes, const char* which, QString* why)
{
    Card card;
    card.props = properties(bytes);
    int begins = 0;
    for (qsizetype i = 0; i < card.props.size(); ++i) {
        const Property& p = card.props[i];
        const QByteArray value = p.value().trimmed().toByteArray().toUpper();
        if (p.name == "BEGIN" && value == "VCARD")
            ++begins;
        else if (p.name == "END" && value == "VCARD")
            card.end = i;
        else if (p.name == "VERSION" && card.version.isEmpty())
            card.version = p.value().trimmed().toByteArray();
    }
    if (begins != 1 || card.end < 0) {
        if (why)
            *why = QStringLiteral("The %1 card is not one vCard.").arg(QLatin1String(which));
        return std::nullopt;
    }
    card.units = units(card.props);
    return card;
}

// A unit of ours as it goes into the stored card: under `group` when it has one, folded.
void appendOurs(QByteArray& out, const Card& ours, const Unit& u, const QByteArray& group)
{
    for (const qsizetype i : u.members) {
        const Property& p = ours.props[i];
        if (p.quotedPrintable) {
            // vCard 2.1's soft line breaks are already within the limit; only the line ends are made CRLF.
            out += p.raw.endsWith("\r\n") ? p.raw : p.raw.trimmed() + "\r\n";
            continue;
        }
        QByteArray line = group.isEmpty() ? p.logical : group + '.' + p.withoutGroup().toByteArray();
        exchange::vcard::appendFolded(out, line);
    }
}

// A group name that no kept property of the stored card uses.
QByteArray freeGroup(const QSet<QByteArray>& used)
{
    for (int n = 1;; ++n) {
        QByteArray name = "item" + QByteArray::number(n);
        if (!used.contains(name))
            return name;
    }
}

} // namespace

QByteArray versionOf(QByteArrayView card)
{
    for (const Property& p : properties(card)) {
        if (p.name == "VERSION")
            return p.value().trimmed().toByteArray();
    }
    return {};
}

std::optional<Merged> merge(QByteArrayView storedBytes, QByteArrayView ourBytes, QString* why,
                            const SameValue& same)
{
    const std::optional<Card> stored = readCard(storedBytes, "stored", why);
    const std::optional<Card> ours = stored ? readCard(ourBytes, "book's", why) : std::nullopt;
    if (!ours)
        return std::nullopt;
    if (stored->version != ours->version) {
        if (why)
            *why = QStringLiteral("The stored card is vCard %1, the book's %2.")
                       .arg(QString::fromLatin1(stored->version), QString::fromLatin1(ours->version));
        return std::nullopt;
    }
    const SameValue& equal = same ? same : SameValue(sameByDefault);

    // Each stored unit in a box of the book is kept, replaced by ours of that box, or dropped.
    const QList<Box> storedBoxes = boxesOf(stored->units);
    const QList<Box> ourBoxes = boxesOf(ours->units);
    enum class Action
    {
        Keep,
        Replace,
        Drop
    };
    QList<Action> action(stored->units.size(), Action::Keep);
    QList<const Unit*> replacement(stored->units.size(), nullptr);
    for (qsizetype k = 0; k < stored->units.size(); ++k) {
        if (storedBoxes[k].key.isEmpty())
            continue;
        const qsizetype mine = ourBoxes.indexOf(storedBoxes[k]);
        if (mine < 0) {
            action[k] = Action::Drop;
            continue;
        }
        const Unit& our = ours->units[mine];
        if (!equal(valueOf(stored->props, stored->units[k]).withoutGroup(),
                   valueOf(ours->props, our).withoutGroup())) {
            action[k] = Action::Replace;
            replacement[k] = &our;
        }
    }

    QSet<QByteArray> usedGroups;
    for (qsizetype k = 0; k < stored->units.size(); ++k) {
        const Property& first = stored->props[stored->units[k].members.first()];
        if (action[k] == Action::Keep && !first.group.isEmpty())
            usedGroups.insert(first.group.toLower());
    }
    auto groupFor = [&](const Unit& u) {
        const QByteArray& group = ours->props[u.members.first()].group;
        if (group.isEmpty())
            return QByteArray();
        QByteArray chosen = usedGroups.contains(group.toLower()) ? freeGroup(usedGroups) : group;
        usedGroups.insert(chosen.toLower());
        return chosen;
    };

    Merged out;
    QHash<qsizetype, qsizetype> unitOf; // property index -> stored unit
    for (qsizetype k = 0; k < stored->units.size(); ++k) {
        for (const qsizetype i : stored->units[k].members)
            unitOf.insert(i, k);
    }
    for (qsizetype i = 0; i < stored->props.size(); ++i) {
        if (i == stored->end) {
            // The book's values that had no place in the stored card.
            for (qsizetype k = 0; k < ours->units.size(); ++k) {
                if (!ourBoxes[k].key.isEmpty() && !storedBoxes.contains(ourBoxes[k])) {
                    appendOurs(out.card, *ours, ours->units[k], groupFor(ours->units[k]));
                    out.changed = true;
                }
            }
        }
        const qsizetype k = unitOf.value(i);
        if (action[k] == Action::Keep) {
            out.card += stored->props[i].raw;
        } else {
            out.changed = true;
            if (action[k] == Action::Replace && stored->units[k].members.first() == i)
                appendOurs(out.card, *ours, *replacement[k], groupFor(*replacement[k]));
        }
    }
    return out;
}

} // namespace davsync::cardmerge
