#pragma once

#include "exchange/ByteSource.h"
#include "exchange/Entry.h"
#include "exchange/Exchange.h"

#include <QHash>

namespace exchange {

// Reads contacts from CSV as Outlook, Thunderbird and Google write it, and as we do.
// The whole file is read as RFC 4180 records (line breaks inside quoted fields);
// the delimiter and the date order are told from its first 256 KiB, the encoding
// by the ByteSource.
class CsvReader final : public EntryReader
{
public:
    // `delimiter` 0 detects it among ",", ";" and tab.
    CsvReader(ByteSource& source, char delimiter, DateOrder order);
    ~CsvReader() override;
    bool next(Entry& entry) override;

    char delimiter() const { return m_delimiter; }
    DateOrder dateOrder() const { return m_order; }

    struct Column;

private:
    bool start();
    bool readRecord(QList<QByteArray>& fields, int& line, bool& end);
    // A field in the file's encoding; what cannot be read is noted on `entry`.
    QString decode(const QByteArray& bytes, Entry* entry = nullptr, qsizetype column = 0);
    void readRow(const QList<QByteArray>& fields, Entry& entry);

    ByteSource& m_source;
    char m_delimiter;
    DateOrder m_order;
    bool m_started = false;
    int m_line = 1;
    QList<Column> m_columns;
    QStringList m_headers;
};

} // namespace exchange
