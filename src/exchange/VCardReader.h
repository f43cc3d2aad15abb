#pragma once

#include "exchange/ByteSource.h"
#include "exchange/Entry.h"

namespace exchange {

// Reads vCard 2.1, 3.0 and 4.0 cards one at a time (the version is read per card).
class VCardReader final : public EntryReader
{
public:
    explicit VCardReader(ByteSource& source);
    ~VCardReader() override;
    bool next(Entry& entry) override;

    struct Property;

private:
    bool readPhysical(QByteArray& line, int& number);
    bool readLogical(QByteArray& line, int& number);
    bool finishCard(Entry& entry);

    ByteSource& m_source;
    int m_lineNumber = 0;
    QByteArray m_line, m_next, m_pending;
    int m_pendingNumber = 0;
    bool m_hasPending = false;
    bool m_sawCard = false;
    QList<Property> m_properties;
    int m_cardLine = 0;
    int m_cardJunk = 0;
};

} // namespace exchange
