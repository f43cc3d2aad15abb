#include "exchange/PartialDate.h"

#include <QDate>
#include <QList>

namespace exchange::dates {

namespace {

bool allDigits(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

int number(QStringView text)
{
    return allDigits(text) && text.size() <= 4 ? text.toInt() : -1;
}

// Day and month must fit together; without a year, 29 February is allowed.
bool fits(int year, int month, int day)
{
    if (month <= 0 || day <= 0)
        return true;
    return QDate(year > 0 ? year : 2000, month, day).isValid();
}

std::optional<DateParts> make(int year, int month, int day, QStringView yearText = {})
{
    if ((month != 0 && (month < 1 || month > 12)) || (day != 0 && (day < 1 || day > 31)) || year < 0)
        return std::nullopt;
    if (!fits(year, month, day))
        return std::nullopt;
    DateParts parts;
    if (day)
        parts.day = QString::number(day);
    if (month)
        parts.month = QString::number(month);
    if (!yearText.isEmpty())
        parts.year = yearText.toString();
    return parts;
}

// The part as a number when it is written as the lists write it, 0 when empty, -1 otherwise.
int canonical(const QString& part, int highest)
{
    if (part.isEmpty())
        return 0;
    const int n = number(part);
    return n >= 1 && n <= highest && QString::number(n) == part ? n : -1;
}

int canonicalYear(const QString& year)
{
    if (year.isEmpty())
        return 0;
    return year.size() == 4 && allDigits(year) && year.toInt() > 0 ? year.toInt() : -1;
}

QString two(int n)
{
    const QChar digits[2] = {QChar(u'0' + n / 10), QChar(u'0' + n % 10)};
    return QString(digits, 2);
}

QString escapePart(const QString& part)
{
    QString out;
    for (const QChar c : part) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('|'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

} // namespace

std::optional<DateParts> parseIso(QStringView text)
{
    text = text.trimmed();
    const qsizetype time = text.indexOf(QLatin1Char('T'));
    if (time > 0)
        text = text.first(time);
    if (text.startsWith(u"---")) {
        const QStringView day = text.sliced(3);
        return day.size() == 2 && allDigits(day) ? make(0, 0, day.toInt()) : std::nullopt;
    }
    if (text.startsWith(u"--")) {
        const QStringView rest = text.sliced(2);
        if (rest.size() == 4 && allDigits(rest))
            return make(0, rest.first(2).toInt(), rest.sliced(2).toInt());
        if (rest.size() == 2 && allDigits(rest))
            return make(0, rest.toInt(), 0);
        const QList<QStringView> md = rest.split(QLatin1Char('-'));
        if (md.size() == 2 && md[0].size() <= 2 && md[1].size() <= 2 && allDigits(md[0]) && allDigits(md[1]))
            return make(0, md[0].toInt(), md[1].toInt());
        return std::nullopt;
    }
    if (text.size() == 8 && allDigits(text))
        return make(text.first(4).toInt(), text.sliced(4, 2).toInt(), text.sliced(6).toInt(), text.first(4));
    const QList<QStringView> ymd = text.split(QLatin1Char('-'));
    if (ymd[0].size() != 4 || !allDigits(ymd[0]) || ymd[0].toInt() == 0 || ymd.size() > 3)
        return std::nullopt;
    for (qsizetype i = 1; i < ymd.size(); ++i) {
        if (ymd[i].size() > 2 || !allDigits(ymd[i]))
            return std::nullopt;
    }
    return make(ymd[0].toInt(), ymd.size() > 1 ? ymd[1].toInt() : 0, ymd.size() > 2 ? ymd[2].toInt() : 0,
                ymd[0]);
}

VCardDate vcardForm(const DateParts& parts, Format version)
{
    int day = canonical(parts.day, 31);
    int month = canonical(parts.month, 12);
    int year = canonicalYear(parts.year);
    const bool v4 = version == Format::VCard40;
    if (!v4 && year == 1604)
        year = -1;
    bool exact = day >= 0 && month >= 0 && year >= 0;
    day = qMax(day, 0);
    month = qMax(month, 0);
    year = qMax(year, 0);
    if (!fits(year, month, day))
        return {QString(), false, parts.isEmpty()};

    const QString y = parts.year;
    if (v4) {
        if (year && month && day)
            return {y + two(month) + two(day), false, exact};
        if (year && month)
            return {y + QLatin1Char('-') + two(month), false, exact};
        if (month && day)
            return {QStringLiteral("--") + two(month) + two(day), false, exact};
        if (year)
            return {y, false, exact && !day};
        if (month)
            return {QStringLiteral("--") + two(month), false, exact};
        if (day)
            return {QStringLiteral("---") + two(day), false, exact};
        return {QString(), false, exact};
    }
    if (year && month && day)
        return {y + QLatin1Char('-') + two(month) + QLatin1Char('-') + two(day), false, exact};
    if (month && day && !year)
        return {QStringLiteral("1604-") + two(month) + QLatin1Char('-') + two(day), true, exact};
    return {QString(), false, exact && !year && !month && !day};
}

QString csvForm(const DateParts& parts)
{
    if (parts.isEmpty())
        return QString();
    const int day = canonical(parts.day, 31);
    const int month = canonical(parts.month, 12);
    const int year = canonicalYear(parts.year);
    if (day > 0 && month > 0 && year >= 0 && fits(year, month, day)) {
        const QString md = two(month) + QLatin1Char('-') + two(day);
        return year ? parts.year + QLatin1Char('-') + md : QStringLiteral("--") + md;
    }
    return escapePart(parts.year) + QLatin1Char('|') + escapePart(parts.month) + QLatin1Char('|') +
           escapePart(parts.day);
}

namespace {

// Our year|month|day form, or nothing when the text has no unescaped "|".
std::optional<DateParts> parseOwnCsv(QStringView text)
{
    QStringList parts(1);
    bool escaped = false;
    for (const QChar c : text) {
        if (escaped) {
            parts.last() += c;
            escaped = false;
        } else if (c == QLatin1Char('\\')) {
            escaped = true;
        } else if (c == QLatin1Char('|')) {
            parts.append(QString());
        } else {
            parts.last() += c;
        }
    }
    if (parts.size() != 3)
        return std::nullopt;
    return DateParts{parts[2], parts[1], parts[0]};
}

struct Numbers
{
    QList<QStringView> parts;
    QChar separator;
};

std::optional<Numbers> splitNumbers(QStringView text)
{
    text = text.trimmed();
    const qsizetype space = text.indexOf(QLatin1Char(' '));
    if (space > 0)
        text = text.first(space); // a time after the date
    for (const QChar separator : {QLatin1Char('/'), QLatin1Char('.'), QLatin1Char('-')}) {
        QList<QStringView> parts = text.split(separator);
        // Day and month alone (3/4) are a date without a year.
        const bool yearless = parts.size() == 2 && separator != QLatin1Char('-');
        if (parts.size() != 3 && !yearless)
            continue;
        bool ok = true;
        for (const QStringView part : parts)
            ok = ok && allDigits(part) && part.size() <= (yearless ? 2 : 4);
        if (ok)
            return Numbers{parts, separator};
    }
    return std::nullopt;
}

} // namespace

DateOrder revealedOrder(QStringView text)
{
    const std::optional<Numbers> numbers = splitNumbers(text);
    if (!numbers || numbers->separator != QLatin1Char('/') || numbers->parts[0].size() > 2)
        return DateOrder::Detect;
    const int a = numbers->parts[0].toInt();
    const int b = numbers->parts[1].toInt();
    if (a > 12 && b <= 12)
        return DateOrder::DayFirst;
    if (b > 12 && a <= 12)
        return DateOrder::MonthFirst;
    return DateOrder::Detect;
}

ParsedDate parseCsv(QStringView text, DateOrder order)
{
    text = text.trimmed();
    if (text.isEmpty())
        return {DateParts{}, QString()};
    if (text.contains(QLatin1Char('|')))
        return {parseOwnCsv(text), QString()};
    if (std::optional<DateParts> iso = parseIso(text))
        return {iso, QString()};
    const std::optional<Numbers> numbers = splitNumbers(text);
    if (!numbers)
        return {std::nullopt, QString()};
    const QList<QStringView>& p = numbers->parts;
    if (p[0].toInt() == 0 && p[1].toInt() == 0 && p.value(2).toInt() == 0)
        return {DateParts{}, QString()}; // Outlook's 0/0/00: no date
    QStringView yearText = p.value(2);
    int first = p[0].toInt();
    int second = p[1].toInt();
    int month = 0;
    int day = 0;
    if (p[0].size() == 4) { // 1980/01/02
        yearText = p[0];
        month = second;
        day = p[2].toInt();
    } else {
        bool dayFirst = numbers->separator == QLatin1Char('.') || order == DateOrder::DayFirst;
        const DateOrder revealed = revealedOrder(text);
        if (revealed != DateOrder::Detect)
            dayFirst = revealed == DateOrder::DayFirst;
        day = dayFirst ? first : second;
        month = dayFirst ? second : first;
    }
    QString problem;
    if (!yearText.isEmpty() && yearText.size() != 4) {
        problem = QStringLiteral("the year \"%1\" has not four digits and was left out").arg(yearText);
        yearText = {};
    }
    std::optional<DateParts> parts = make(yearText.isEmpty() ? 0 : yearText.toInt(), month, day, yearText);
    if (!parts)
        return {std::nullopt, QString()};
    return {parts, problem};
}

} // namespace exchange::dates
