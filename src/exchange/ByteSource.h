#pragma once

#include "exchange/Text.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <optional>

class QIODevice;

namespace exchange {

// Reads a device in chunks, so that a file of any size takes the same memory.
// A UTF-8 byte-order mark is dropped (it tells the encoding); a UTF-16 file (told by its
// byte-order mark, or without one by the zero bytes of its ASCII characters) is
// handed on as UTF-8, so the readers only ever see bytes of an ASCII-compatible
// encoding. It also knows the encoding of the file's text (see decode()).
class ByteSource
{
public:
    explicit ByteSource(QIODevice& device);

    // The next line without its end (LF, CRLF or a lone CR); false at the end.
    bool readLine(QByteArray& line);

    // The next byte, or -1 at the end.
    int get()
    {
        if (m_pos >= m_buf.size() && !fill())
            return -1;
        return static_cast<uchar>(m_buf[m_pos++]);
    }
    int peek()
    {
        if (m_pos >= m_buf.size() && !fill())
            return -1;
        return static_cast<uchar>(m_buf[m_pos]);
    }

    // Up to `size` bytes ahead, not consumed (fewer at the end).
    QByteArrayView lookAhead(qsizetype size);

    qint64 bytesRead() const { return m_rawRead; }
    qint64 totalBytes() const { return m_total; }

    // Bytes of a value that does not name its encoding, in the file's. That is
    // UTF-8 after a byte-order mark; otherwise uchardet tells it, once, from the
    // first value that is not ASCII and the bytes that follow it. What is not
    // valid in it becomes U+FFFD.
    text::Decoded decode(QByteArrayView bytes);
    // The file's encoding as told so far ("UTF-8" until a value says otherwise).
    QByteArray encoding() const { return m_encoding.isEmpty() ? QByteArray("UTF-8") : m_encoding; }
    // Set when the file's encoding was told but cannot be decoded here: the
    // import must stop rather than store text it cannot read.
    QString encodingProblem() const { return m_encodingProblem; }

    // The device's message when reading failed, else empty.
    QString readError() const { return m_readError; }

private:
    bool fill();

    QIODevice& m_device;
    QByteArray m_buf;
    qsizetype m_pos = 0;
    qint64 m_rawRead = 0;
    qint64 m_total = -1;
    bool m_started = false;
    bool m_end = false;
    bool m_utf8Bom = false;
    std::optional<QStringDecoder> m_utf16;
    QByteArray m_encoding; // empty until told
    QString m_encodingProblem;
    QString m_readError;
};

} // namespace exchange
