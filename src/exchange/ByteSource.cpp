#include "exchange/ByteSource.h"

#include <QIODevice>

namespace exchange {

namespace {
constexpr qint64 chunkSize = 64 * 1024;
constexpr qsizetype detectionSample = 64 * 1024;

// UTF-16 without a byte-order mark shows itself by the zero half of its ASCII
// characters (line ends, separators, property names), always on the same side.
std::optional<QStringConverter::Encoding> utf16ByZeros(QByteArrayView start)
{
    qsizetype even = 0;
    qsizetype odd = 0;
    const qsizetype pairs = start.size() / 2;
    for (qsizetype i = 0; i < pairs * 2; ++i) {
        if (start[i] == 0)
            ++(i % 2 ? odd : even);
    }
    if (pairs < 8)
        return std::nullopt;
    if (odd * 4 >= pairs && even * 20 <= odd)
        return QStringConverter::Utf16LE;
    if (even * 4 >= pairs && odd * 20 <= even)
        return QStringConverter::Utf16BE;
    return std::nullopt;
}
} // namespace

ByteSource::ByteSource(QIODevice& device) : m_device(device)
{
    if (!device.isSequential())
        m_total = device.size() - device.pos();
}

bool ByteSource::fill()
{
    if (m_end)
        return false;
    // Drop what was consumed before reading more.
    if (m_pos > 0) {
        m_buf.remove(0, m_pos);
        m_pos = 0;
    }
    const qsizetype before = m_buf.size();
    while (m_buf.size() == before && !m_end) {
        QByteArray raw(chunkSize, Qt::Uninitialized);
        const qint64 got = m_device.read(raw.data(), chunkSize);
        if (got < 0) {
            m_readError = m_device.errorString();
            m_end = true;
            break;
        }
        if (got == 0 && (m_device.atEnd() || !m_device.waitForReadyRead(30000))) {
            m_end = true;
            break;
        }
        raw.truncate(got);
        m_rawRead += got;
        if (!m_started) {
            m_started = true;
            if (raw.startsWith("\xEF\xBB\xBF")) {
                m_utf8Bom = true;
                raw.remove(0, 3);
            } else if (raw.startsWith("\xFF\xFE")) {
                m_utf16.emplace(QStringConverter::Utf16LE);
                raw.remove(0, 2);
            } else if (raw.startsWith("\xFE\xFF")) {
                m_utf16.emplace(QStringConverter::Utf16BE);
                raw.remove(0, 2);
            } else if (const auto utf16 = utf16ByZeros(raw)) {
                m_utf16.emplace(*utf16);
            }
            if (m_utf8Bom || m_utf16)
                m_encoding = "UTF-8"; // what the readers are handed
        }
        if (m_utf16)
            m_buf.append(QString((*m_utf16)(raw)).toUtf8());
        else
            m_buf.append(raw);
    }
    return m_buf.size() > before;
}

bool ByteSource::readLine(QByteArray& line)
{
    line.truncate(0);
    bool any = false;
    for (;;) {
        if (m_pos >= m_buf.size() && !fill())
            return any;
        any = true;
        const char* begin = m_buf.constData() + m_pos;
        const char* end = m_buf.constData() + m_buf.size();
        const char* p = begin;
        while (p != end && *p != '\n' && *p != '\r')
            ++p;
        line.append(begin, p - begin);
        m_pos += p - begin;
        if (p == end)
            continue;
        ++m_pos;
        if (*p == '\r' && peek() == '\n')
            ++m_pos;
        return true;
    }
}

text::Decoded ByteSource::decode(QByteArrayView bytes)
{
    if (m_encoding.isEmpty() && !text::isAscii(bytes)) {
        // The value has been read already (the caller's copy): it and what follows
        // make the sample.
        QByteArray sample = bytes.toByteArray();
        sample += lookAhead(detectionSample);
        m_encoding = text::detectEncoding(sample);
        if (m_encoding.isEmpty()) {
            m_encoding = "UTF-8"; // nothing told: what is not UTF-8 shows as U+FFFD
        } else if (!text::canDecode(m_encoding)) {
            m_encodingProblem = QStringLiteral("The file's text is in %1 (as told from its bytes), an "
                                               "encoding this program cannot read")
                                    .arg(QString::fromLatin1(m_encoding));
            m_encoding = "UTF-8";
        }
    }
    return text::decodeLeniently(bytes, encoding());
}

QByteArrayView ByteSource::lookAhead(qsizetype size)
{
    while (m_buf.size() - m_pos < size) {
        if (m_pos > 0) {
            m_buf.remove(0, m_pos);
            m_pos = 0;
        }
        if (!fill())
            break;
    }
    return QByteArrayView(m_buf).sliced(m_pos, qMin(size, m_buf.size() - m_pos));
}

} // namespace exchange
