#pragma once

#include "data/Contact.h"

#include <QPageSize>
#include <QString>
#include <memory>
#include <stdexcept>

class QPagedPaintDevice;
class QTextDocument;

namespace report {

// A date assembled from the parts a person picked or typed. Parts are trimmed;
// a day or month written as a number loses its leading zeros and a month of
// 1 to 12 is named in English:
//   7 March 1980 | March 1980 | 7 March | 1980 | day 7 | day 7, 1980
// A day without a month is still shown ("day 7"), since a bare number would not
// read as a date. Anything else typed by hand is shown as it was typed.
QString dateText(const QString& day, const QString& month, const QString& year);

// "First Second", either part alone, or empty.
QString fullName(const data::Contact& contact);
// A file name for the card: the contact's name without characters that file
// systems refuse, or "contact", with ".pdf".
QString suggestedFileName(const data::Contact& contact);

// Limits that keep any card on one page: a longer field is cut at a character
// boundary and ends in an ellipsis.
inline constexpr int maxFieldCharacters = 300;
inline constexpr int maxFieldLines = 10;

// The card as a document: category line, the names as a heading, the dates,
// then home and office columns. Empty fields are left out with their captions.
std::unique_ptr<QTextDocument> cardDocument(const data::Contact& contact);

// Draws the card on the device's current page, within its margins. A card
// taller than the page is drawn smaller (down to minimumScale, which the
// limits above never reach on A4 or Letter), so it is always one page.
// Returns false when the device cannot be painted on.
inline constexpr double minimumScale = 0.5;
bool paintCard(const data::Contact& contact, QPagedPaintDevice& device);

// A card that could not be written, with the reason a person reads.
class WriteError final : public std::runtime_error
{
public:
    explicit WriteError(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

// Writes the card as a one-page PDF file with margins of 20 mm, whole or not
// at all; throws WriteError when it cannot.
void writeCardPdf(const data::Contact& contact, const QString& filePath,
                  const QPageSize& pageSize = QPageSize(QPageSize::A4));

} // namespace report
