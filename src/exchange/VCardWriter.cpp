#include "exchange/VCardWriter.h"

#include "exchange/PartialDate.h"

#include <QList>
#include <QRegularExpression>
#include <QStringEncoder>

namespace exchange::vcard {

using data::Contact;
using Components = std::initializer_list<QStringView>;

namespace {

constexpr qsizetype lineLimit = 75;
const char hexDigits[] = "0123456789ABCDEF";

// UTF-8 straight into the buffer, without a temporary array per value.
void appendUtf8(QByteArray& out, QStringView text)
{
    thread_local QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const qsizetype old = out.size();
    out.resize(old + encoder.requiredSpace(text.size()));
    char* end = encoder.appendToBuffer(out.data() + old, text);
    out.truncate(end - out.constData());
}

// Begins with a URI scheme, as urn:uuid:... does.
bool isUri(QStringView text)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    return scheme.match(text).hasMatch();
}

bool allEmpty(Components components)
{
    for (const QStringView c : components) {
        if (!c.isEmpty())
            return false;
    }
    return true;
}

class CardWriter
{
public:
    CardWriter(QByteArray& out, Format version) : m_out(out), m_version(version) {}

    // A property whose value is the components joined by `separator`; one whose
    // components are all empty is left out unless `always`.
    void property(QByteArrayView header, Components components, char separator = ';', bool always = false)
    {
        if (!always && allEmpty(components))
            return;
        if (m_version == Format::VCard21) {
            property21(header, components);
            return;
        }
        thread_local QByteArray line;
        line.truncate(0);
        line += header;
        line += ':';
        bool first = true;
        for (const QStringView c : components) {
            if (!first)
                line += separator;
            first = false;
            appendEscaped(line, c);
        }
        appendFolded(m_out, line);
    }

    void text(QByteArrayView header, QStringView value) { property(header, {value}); }

    // A date property in its standard form and, when that does not give the parts
    // back exactly, our own X-VANTREL-... property holding them as day;month;year.
    void date(QByteArrayView name, const DateParts& parts, QByteArrayView ownName, QByteArrayView group = {})
    {
        if (parts.isEmpty())
            return;
        const VCardDate form = dates::vcardForm(parts, m_version);
        if (!form.value.isEmpty()) {
            if (!group.isEmpty()) {
                m_out += group;
                m_out += '.';
            }
            m_out += name;
            if (form.omitYear)
                m_out += ";X-APPLE-OMIT-YEAR=1604";
            m_out += ':';
            m_out += form.value.toLatin1();
            m_out += "\r\n";
            if (!group.isEmpty()) {
                m_out += group;
                m_out += ".X-ABLabel:_$!<Anniversary>!$_\r\n";
            }
        }
        if (!form.exact && !ownName.isEmpty())
            property(ownName, {parts.day, parts.month, parts.year}, ';', true);
    }

private:
    // 2.1 writes plain ASCII as it is and anything else (other scripts, line
    // breaks, backslashes, a ";" inside a component, blanks at an end, a line
    // too long to fit) in quoted-printable, so that no escapes are needed.
    void property21(QByteArrayView header, Components components)
    {
        qsizetype length = header.size();
        bool ascii = true;
        bool plain = true;
        for (const QStringView c : components) {
            length += c.size() + 1;
            for (const QChar ch : c) {
                if (ch.unicode() >= 0x80)
                    ascii = false;
                if (ch.unicode() < 0x20 || ch.unicode() >= 0x7F || ch == QLatin1Char('\\') ||
                    ch == QLatin1Char(';'))
                    plain = false;
            }
        }
        const QStringView first = *components.begin();
        const QStringView last = *(components.end() - 1);
        auto blankAt = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
        if ((!first.isEmpty() && blankAt(first.front())) || (!last.isEmpty() && blankAt(last.back())))
            plain = false;
        if (plain && length <= lineLimit) {
            m_out += header;
            m_out += ':';
            bool firstComponent = true;
            for (const QStringView c : components) {
                if (!firstComponent)
                    m_out += ';';
                firstComponent = false;
                m_out += c.toLatin1();
            }
            m_out += "\r\n";
            return;
        }
        const qsizetype start = m_out.size();
        m_out += header;
        if (!ascii)
            m_out += ";CHARSET=UTF-8";
        m_out += ";ENCODING=QUOTED-PRINTABLE:";
        appendQuotedPrintable(m_out, m_out.size() - start, components);
    }

    QByteArray& m_out;
    Format m_version;
};

} // namespace

void appendEscaped(QByteArray& out, QStringView text)
{
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char* escape = c == QLatin1Char('\\')   ? "\\\\"
                             : c == QLatin1Char(',')  ? "\\,"
                             : c == QLatin1Char(';')  ? "\\;"
                             : c == QLatin1Char('\n') ? "\\n"
                             : c == QLatin1Char('\r') ? "\\n"
                                                      : nullptr;
        if (!escape)
            continue;
        appendUtf8(out, text.sliced(run, i - run));
        out += escape;
        // CRLF and a lone CR are one line break: 3.0 and 4.0 know only \n.
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            ++i;
        run = i + 1;
    }
    appendUtf8(out, text.sliced(run));
}

void appendFolded(QByteArray& out, QByteArrayView line)
{
    qsizetype pos = 0;
    qsizetype room = lineLimit;
    while (line.size() - pos > room) {
        qsizetype cut = pos + room;
        // Back off to the first byte of a UTF-8 sequence.
        while (cut > pos && (static_cast<uchar>(line[cut]) & 0xC0) == 0x80)
            --cut;
        out += line.sliced(pos, cut - pos);
        out += "\r\n ";
        pos = cut;
        room = lineLimit - 1; // the continuation's leading blank counts
    }
    out += line.sliced(pos);
    out += "\r\n";
}

void appendQuotedPrintable(QByteArray& out, qsizetype headerLength, Components components)
{
    QByteArray bytes;
    QList<bool> separator;
    bool first = true;
    for (const QStringView c : components) {
        if (!first) {
            bytes += ';';
            separator.resize(bytes.size(), true);
        }
        first = false;
        appendUtf8(bytes, c);
        separator.resize(bytes.size(), false);
    }
    auto tokenLength = [&](qsizetype i) {
        const auto b = static_cast<uchar>(bytes[i]);
        const bool literal = separator[i] || (b > 32 && b < 127 && b != '=' && b != ';');
        return literal ? 1 : 3;
    };
    qsizetype used = headerLength;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<uchar>(bytes[i]);
        qsizetype length = tokenLength(i);
        // A blank may stay literal unless a line would end with it.
        if (b == ' ' || b == '\t') {
            const bool last = i + 1 == bytes.size();
            const bool breakFollows = !last && used + 1 + tokenLength(i + 1) > lineLimit - 1;
            length = last || breakFollows ? 3 : 1;
        }
        if (used + length > lineLimit - 1) {
            out += "=\r\n";
            used = 0;
        }
        if (length == 1) {
            out += static_cast<char>(b);
        } else {
            out += '=';
            out += hexDigits[b >> 4];
            out += hexDigits[b & 0xF];
        }
        used += length;
    }
    out += "\r\n";
}

void appendCard(QByteArray& out, const Contact& c, Format version, QStringView uid)
{
    const int v = version == Format::VCard21 ? 0 : version == Format::VCard30 ? 1 : 2;
    CardWriter w(out, version);
    out += "BEGIN:VCARD\r\n";
    out += v == 0 ? "VERSION:2.1\r\n" : v == 1 ? "VERSION:3.0\r\n" : "VERSION:4.0\r\n";
    // The same value in every version; 4.0 takes a URI unless told it is text.
    w.text(v == 2 && !isUri(uid) ? "UID;VALUE=text" : "UID", uid);
    w.property("N", {c.secondName, c.firstName, {}, {}, {}}, ';', true);
    if (c.firstName.isEmpty() || c.secondName.isEmpty())
        w.property("FN", {c.firstName.isEmpty() ? c.secondName : c.firstName}, ';', true);
    else
        w.property("FN", {QString(c.firstName + QLatin1Char(' ') + c.secondName)}, ';', true);

    // The whole address goes in the street component, its line breaks kept.
    const char* const adr[2][3] = {{"ADR;HOME", "ADR;TYPE=HOME", "ADR;TYPE=home"},
                                   {"ADR;WORK", "ADR;TYPE=WORK", "ADR;TYPE=work"}};
    w.property(adr[0][v], {{}, {}, c.address, {}, {}, {}, {}});
    w.property(adr[1][v], {{}, {}, c.addressOff, {}, {}, {}, {}});

    struct Number
    {
        const QString& value;
        const char* header[3];
        const char* field; // set when the value would otherwise land in another box
    };
    const Number numbers[] = {
        {c.phone, {"TEL;HOME;VOICE", "TEL;TYPE=HOME,VOICE", "TEL;TYPE=home,voice"}, nullptr},
        {c.phone2,
         {"TEL;HOME;VOICE", "TEL;TYPE=HOME,VOICE", "TEL;TYPE=home,voice"},
         c.phone.isEmpty() ? ";X-VANTREL-FIELD=phone2" : nullptr},
        // The home mobile and fax without HOME, as phones write them: abook, for one, files any
        // number typed HOME as its home phone. Read back, a number without a place takes a home box.
        {c.mobile, {"TEL;CELL", "TEL;TYPE=CELL", "TEL;TYPE=cell"}, nullptr},
        {c.fax, {"TEL;FAX", "TEL;TYPE=FAX", "TEL;TYPE=fax"}, nullptr},
        {c.phoneOff, {"TEL;WORK;VOICE", "TEL;TYPE=WORK,VOICE", "TEL;TYPE=work,voice"}, nullptr},
        {c.phone2Off,
         {"TEL;WORK;VOICE", "TEL;TYPE=WORK,VOICE", "TEL;TYPE=work,voice"},
         c.phoneOff.isEmpty() ? ";X-VANTREL-FIELD=phone2Off" : nullptr},
        {c.mobileOff, {"TEL;WORK;CELL", "TEL;TYPE=WORK,CELL", "TEL;TYPE=work,cell"}, nullptr},
        {c.faxOff, {"TEL;WORK;FAX", "TEL;TYPE=WORK,FAX", "TEL;TYPE=work,fax"}, nullptr},
    };
    for (const Number& n : numbers) {
        if (n.value.isEmpty())
            continue;
        // Our own parameter: a second phone without a first one stays the second.
        if (n.field)
            w.text(QByteArray(n.header[v]) + n.field, n.value);
        else
            w.text(n.header[v], n.value);
    }
    const char* const email[2][3] = {{"EMAIL;INTERNET;HOME", "EMAIL;TYPE=INTERNET,HOME", "EMAIL;TYPE=home"},
                                     {"EMAIL;INTERNET;WORK", "EMAIL;TYPE=INTERNET,WORK", "EMAIL;TYPE=work"}};
    w.text(email[0][v], c.EMailH);
    w.text(email[1][v], c.EMailO);

    w.date("BDAY", {c.dobDate, c.dobMonth, c.dobYear}, "X-VANTREL-BDAY");
    const DateParts anniversary{c.aniDate, c.aniMonth, c.aniYear};
    if (v == 2) {
        w.date("ANNIVERSARY", anniversary, "X-VANTREL-ANNIVERSARY");
    } else {
        w.date("X-ANNIVERSARY", anniversary, "X-VANTREL-ANNIVERSARY");
        if (v == 1)
            w.date("X-ABDATE", anniversary, {}, "item1"); // Apple's labelled date
    }

    // Category then sub-category; an empty category before a sub-category keeps its place.
    if (c.subCategory.isEmpty())
        w.property("CATEGORIES", {c.category});
    else
        w.property("CATEGORIES", {c.category, c.subCategory}, v == 0 ? ';' : ',');
    out += "END:VCARD\r\n";
}

} // namespace exchange::vcard
