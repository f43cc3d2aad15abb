#pragma once

#include "data/Contact.h"
#include "exchange/Exchange.h"

#include <QString>
#include <functional>

class QIODevice;

namespace exchange {

// Fills in the next contact to write, and its UID (left empty: none is
// written); false when there are no more. The caller streams them from its
// storage in the order it wants them written.
using NextContact = std::function<bool(data::Contact&, QString& uid)>;

struct ExportResult
{
    Outcome outcome = Outcome::Completed;
    QString error;
    qint64 written = 0; // contacts
};

// Writes every contact `next` gives, as vCard (one card each, UTF-8, no byte-order
// mark) or CSV (UTF-8, with a byte-order mark for Outlook and Google). `total` (or -1) is passed on to
// `progress`, which is told the contacts written and may cancel. A cancelled or
// failed export leaves what was written so far on the device.
ExportResult exportContacts(QIODevice& device, Format format, const NextContact& next, qint64 total = -1,
                            const Progress& progress = {});

// The same into a file that is replaced only when the export completes.
ExportResult exportFile(const QString& path, Format format, const NextContact& next, qint64 total = -1,
                        const Progress& progress = {});

} // namespace exchange
