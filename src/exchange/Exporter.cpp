#include "exchange/Exporter.h"

#include "exchange/CsvWriter.h"
#include "exchange/VCardWriter.h"

#include <QIODevice>
#include <QSaveFile>

namespace exchange {

namespace {
constexpr qsizetype flushSize = 64 * 1024;
constexpr qint64 progressStep = 256;

bool writeAll(QIODevice& device, QByteArray& buffer, ExportResult& result)
{
    if (device.write(buffer) != buffer.size()) {
        result.outcome = Outcome::Failed;
        result.error = QStringLiteral("The file could not be written: %1").arg(device.errorString());
        return false;
    }
    buffer.truncate(0);
    return true;
}
} // namespace

ExportResult exportContacts(QIODevice& device, Format format, const NextContact& next, qint64 total,
                            const Progress& progress)
{
    ExportResult result;
    QByteArray buffer;
    buffer.reserve(flushSize + 4096);
    // Thunderbird writes no byte-order mark, and its import matches the header
    // without one; Outlook takes UTF-8 for sure only with it.
    if (format == Format::Csv)
        buffer += "\xEF\xBB\xBF";
    if (isCsv(format))
        buffer += csv::header(format);
    data::Contact contact;
    QString uid;
    while (next(contact, uid)) {
        if (isCsv(format))
            csv::appendRecord(buffer, contact, format);
        else
            vcard::appendCard(buffer, contact, format, uid);
        ++result.written;
        if (buffer.size() >= flushSize && !writeAll(device, buffer, result))
            return result;
        if (progress && result.written % progressStep == 0 && !progress(result.written, total)) {
            result.outcome = Outcome::Cancelled;
            return result;
        }
        contact = data::Contact();
        uid.clear();
    }
    if (!writeAll(device, buffer, result))
        return result;
    if (progress && !progress(result.written, total))
        result.outcome = Outcome::Cancelled;
    return result;
}

ExportResult exportFile(const QString& path, Format format, const NextContact& next, qint64 total,
                        const Progress& progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {Outcome::Failed,
                QStringLiteral("The file %1 could not be created: %2").arg(path, file.errorString()), 0};
    }
    ExportResult result = exportContacts(file, format, next, total, progress);
    if (result.outcome != Outcome::Completed) {
        file.cancelWriting();
        return result;
    }
    if (!file.commit())
        return {Outcome::Failed,
                QStringLiteral("The file %1 could not be written: %2").arg(path, file.errorString()),
                result.written};
    return result;
}

} // namespace exchange
