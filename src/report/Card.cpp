#include "report/Card.h"

#include <QAbstractTextDocumentLayout>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <algorithm>
#include <vector>

namespace report {

namespace {

// A number of 1..last written with or without leading zeros, else 0.
int numberIn(const QString& text, int last)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 1 && value <= last ? value : 0;
}

// Line breaks of every platform become "\n"; blanks at either end go.
QString cleaned(const QString& text)
{
    QString value = text;
    value.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return value.trimmed();
}

// Cuts at a grapheme boundary, so that no accent or emoji is split.
QString cutAt(const QString& text, qsizetype length)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(length);
    if (!finder.isAtBoundary())
        finder.toPreviousBoundary();
    return text.left(std::max<qsizetype>(finder.position(), 0)).trimmed() + QChar(0x2026);
}

// The value as the card shows it: cleaned and held within the card's limits.
QString shown(const QString& text)
{
    QString value = cleaned(text);
    const qsizetype lineEnd = [&value] {
        qsizetype at = -1;
        for (int line = 0; line < maxFieldLines; ++line) {
            at = value.indexOf(QLatin1Char('\n'), at + 1);
            if (at < 0)
                break;
        }
        return at;
    }();
    if (lineEnd >= 0)
        value = cutAt(value, lineEnd);
    if (value.size() > maxFieldCharacters)
        value = cutAt(value, maxFieldCharacters);
    return value;
}

QFont cardFont(qreal pointSize, bool bold = false)
{
    QFont font;
    // Outline fonts only: Qt embeds them in PDF files, where a colour bitmap
    // emoji font would leave blanks. Symbola covers emoji in black and white.
    font.setFamilies({QStringLiteral("Noto Sans"), QStringLiteral("Noto Sans Arabic"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Symbola"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    // A hair of letter spacing turns off Latin ligatures, so that text copied
    // from the PDF ("office@...") is the text typed; Arabic still joins.
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.1);
    return font;
}

QTextCharFormat textFormat(qreal pointSize, const QColor& colour, bool bold = false)
{
    QTextCharFormat format;
    format.setFont(cardFont(pointSize, bold));
    format.setForeground(colour);
    return format;
}

const QColor ink(0x1a, 0x1a, 0x1a);
const QColor captionInk(0x5a, 0x62, 0x70);
const QColor ruleInk(0xc8, 0xcd, 0xd6);

struct Row
{
    QString caption;
    QString home;
    QString office;
};

QString lines(const QString& first, const QString& second)
{
    const QString a = shown(first);
    const QString b = shown(second);
    return a.isEmpty() || b.isEmpty() ? a + b : a + QLatin1Char('\n') + b;
}

void setCell(QTextTable* table, int row, int column, const QString& text, const QTextCharFormat& format)
{
    QTextTableCell cell = table->cellAt(row, column);
    QTextTableCellFormat cellFormat = cell.format().toTableCellFormat();
    cellFormat.setBottomBorder(1);
    cellFormat.setBottomBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    cellFormat.setBottomBorderBrush(ruleInk);
    cellFormat.setTopPadding(3);
    cellFormat.setBottomPadding(3);
    // Right-to-left text ends at a cell's right edge: keep it off the next column.
    cellFormat.setLeftPadding(column == 0 ? 0 : 4);
    cellFormat.setRightPadding(10);
    cell.setFormat(cellFormat);
    QTextCursor cursor = cell.firstCursorPosition();
    cursor.setCharFormat(format);
    // "\n" becomes a block of its own, so each line takes its own direction.
    cursor.insertText(text, format);
}

} // namespace

QString dateText(const QString& day, const QString& month, const QString& year)
{
    const QString d = cleaned(day);
    const QString m = cleaned(month);
    const QString y = cleaned(year);
    const int dayNumber = numberIn(d, 31);
    const int monthNumber = numberIn(m, 12);
    const QString dayShown = dayNumber ? QString::number(dayNumber) : d;
    const QString monthShown =
        monthNumber ? QLocale(QLocale::English).monthName(monthNumber, QLocale::LongFormat) : m;

    QStringList parts;
    if (!dayShown.isEmpty())
        parts << (monthShown.isEmpty() ? QLatin1String("day ") + dayShown : dayShown);
    if (!monthShown.isEmpty())
        parts << monthShown;
    QString text = parts.join(QLatin1Char(' '));
    if (!y.isEmpty())
        text += text.isEmpty() ? y : (monthShown.isEmpty() ? QLatin1String(", ") : QLatin1String(" ")) + y;
    return text;
}

QString fullName(const data::Contact& contact)
{
    const QString first = cleaned(contact.firstName);
    const QString second = cleaned(contact.secondName);
    return first.isEmpty() || second.isEmpty() ? first + second : first + QLatin1Char(' ') + second;
}

QString suggestedFileName(const data::Contact& contact)
{
    QString name = fullName(contact);
    static const QRegularExpression refused(QStringLiteral("[\\x00-\\x1f/\\\\:*?\"<>|]+"));
    name.replace(refused, QStringLiteral(" "));
    name = name.simplified();
    while (name.startsWith(QLatin1Char('.')))
        name = name.mid(1).trimmed(); // no hidden file, and no name that begins with a blank
    if (name.size() > 80) {
        qsizetype cut = 80;
        if (name.at(cut - 1).isHighSurrogate()) // never half a character
            --cut;
        name = name.left(cut).trimmed();
    }
    return (name.isEmpty() ? QStringLiteral("contact") : name) + QLatin1String(".pdf");
}

std::unique_ptr<QTextDocument> cardDocument(const data::Contact& contact)
{
    auto document = std::make_unique<QTextDocument>();
    document->setDocumentMargin(0);
    document->setDefaultFont(cardFont(10.5));
    QTextCursor cursor(document.get());
    bool firstBlock = true;
    const auto startBlock = [&](const QTextBlockFormat& format) {
        if (firstBlock)
            cursor.setBlockFormat(format);
        else
            cursor.insertBlock(format);
        firstBlock = false;
    };

    const QTextCharFormat caption = textFormat(9, captionInk);
    const QTextCharFormat value = textFormat(10.5, ink);

    // Category and sub-category, small, above the name.
    const QString category = shown(contact.category);
    const QString subCategory = shown(contact.subCategory);
    if (!category.isEmpty() || !subCategory.isEmpty()) {
        QTextBlockFormat block;
        block.setBottomMargin(4);
        startBlock(block);
        const QTextCharFormat small = textFormat(9.5, ink);
        if (!category.isEmpty()) {
            cursor.insertText(QStringLiteral("Category  "), caption);
            cursor.insertText(QString(category).replace(QLatin1Char('\n'), QLatin1Char(' ')), small);
        }
        if (!subCategory.isEmpty()) {
            if (!category.isEmpty())
                cursor.insertText(QStringLiteral("      "), small);
            cursor.insertText(QStringLiteral("Sub-category  "), caption);
            cursor.insertText(QString(subCategory).replace(QLatin1Char('\n'), QLatin1Char(' ')), small);
        }
    }

    // The names as the heading, with a rule under it.
    const QString name = shown(fullName(contact));
    if (!name.isEmpty()) {
        QTextBlockFormat block;
        block.setBottomMargin(10);
        block.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth,
                          QTextLength(QTextLength::PercentageLength, 100));
        startBlock(block);
        cursor.insertText(QString(name).replace(QLatin1Char('\n'), QLatin1Char(' ')),
                          textFormat(20, ink, true));
    }

    std::vector<Row> dates;
    const QString born = dateText(contact.dobDate, contact.dobMonth, contact.dobYear);
    const QString anniversary = dateText(contact.aniDate, contact.aniMonth, contact.aniYear);
    if (!born.isEmpty())
        dates.push_back({QStringLiteral("Date of birth"), shown(born), {}});
    if (!anniversary.isEmpty())
        dates.push_back({QStringLiteral("Anniversary"), shown(anniversary), {}});

    std::vector<Row> rows;
    const auto add = [&rows](const char* rowCaption, const QString& home, const QString& office) {
        if (!home.isEmpty() || !office.isEmpty())
            rows.push_back({QLatin1String(rowCaption), home, office});
    };
    add("Address", shown(contact.address), shown(contact.addressOff));
    add("Phone", lines(contact.phone, contact.phone2), lines(contact.phoneOff, contact.phone2Off));
    add("Mobile", shown(contact.mobile), shown(contact.mobileOff));
    add("Fax", shown(contact.fax), shown(contact.faxOff));
    add("E-mail", shown(contact.EMailH), shown(contact.EMailO));

    const bool anyHome =
        std::any_of(rows.begin(), rows.end(), [](const Row& r) { return !r.home.isEmpty(); });
    const bool anyOffice =
        std::any_of(rows.begin(), rows.end(), [](const Row& r) { return !r.office.isEmpty(); });
    const int valueColumns = (anyHome ? 1 : 0) + (anyOffice ? 1 : 0);
    const int tableRows =
        static_cast<int>(dates.size()) + (rows.empty() ? 0 : 1 + static_cast<int>(rows.size()));
    if (tableRows == 0)
        return document;

    // The grid of the contact window: captions, then home and office columns.
    const int columns = 1 + std::max(valueColumns, 1);
    QTextTableFormat tableFormat;
    tableFormat.setBorder(0);
    tableFormat.setCellSpacing(0);
    tableFormat.setCellPadding(0);
    tableFormat.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    tableFormat.setTopMargin(6);
    QList<QTextLength> widths{QTextLength(QTextLength::PercentageLength, 20)};
    for (int i = 1; i < columns; ++i)
        widths << QTextLength(QTextLength::PercentageLength, 80.0 / (columns - 1));
    tableFormat.setColumnWidthConstraints(widths);
    cursor.movePosition(QTextCursor::End);
    QTextTable* table = cursor.insertTable(tableRows, columns, tableFormat);

    int row = 0;
    for (const Row& date : dates) {
        setCell(table, row, 0, date.caption, caption);
        setCell(table, row, 1, date.home, value);
        if (columns > 2) {
            setCell(table, row, 2, {}, value);
            table->mergeCells(row, 1, 1, columns - 1);
        }
        ++row;
    }
    if (rows.empty())
        return document;
    const QTextCharFormat heading = textFormat(9, captionInk, true);
    setCell(table, row, 0, {}, caption);
    int column = 1;
    if (anyHome)
        setCell(table, row, column++, QStringLiteral("Home"), heading);
    if (anyOffice)
        setCell(table, row, column, QStringLiteral("Office"), heading);
    ++row;
    for (const Row& field : rows) {
        setCell(table, row, 0, field.caption, caption);
        column = 1;
        if (anyHome)
            setCell(table, row, column++, field.home, value);
        if (anyOffice)
            setCell(table, row, column, field.office, value);
        ++row;
    }
    return document;
}

bool paintCard(const data::Contact& contact, QPagedPaintDevice& device)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const std::unique_ptr<QTextDocument> document = cardDocument(contact);
    // Laid out in the device's own units, so text is measured as it will print.
    document->documentLayout()->setPaintDevice(&device);
    const QSizeF area(device.width(), device.height()); // within the margins

    qreal scale = 1.0;
    document->setTextWidth(area.width());
    while (document->size().height() * scale > area.height() && scale > minimumScale) {
        scale = std::max(minimumScale, scale * 0.92);
        document->setTextWidth(area.width() / scale);
    }
    painter.scale(scale, scale);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(QPointF(0, 0), area / scale);
    context.palette.setColor(QPalette::Text, ink);
    document->documentLayout()->draw(&painter, context);
    return painter.end();
}

void writeCardPdf(const data::Contact& contact, const QString& filePath, const QPageSize& pageSize)
{
    // The file appears whole or not at all.
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        throw WriteError(QStringLiteral("Could not write %1: %2").arg(filePath, file.errorString()));
    {
        QPdfWriter writer(&file);
        writer.setTitle(fullName(contact).isEmpty() ? QStringLiteral("Contact") : fullName(contact));
        writer.setCreator(QStringLiteral("Vantrel Report"));
        writer.setPageLayout(
            QPageLayout(pageSize, QPageLayout::Portrait, QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter));
        if (!paintCard(contact, writer))
            throw WriteError(QStringLiteral("Could not write %1.").arg(filePath));
    }
    if (!file.commit())
        throw WriteError(QStringLiteral("Could not write %1: %2").arg(filePath, file.errorString()));
}

} // namespace report
