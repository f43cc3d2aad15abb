#include "exchange/Text.h"

#include <QStringDecoder>

namespace exchange::text {

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<uchar>(c) >= 0x80)
            return false;
    }
    return true;
}

std::optional<QString> utf8(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    thread_local QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    decoder.resetState();
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString cp1252(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    // Qt reaches the Windows code pages through ICU, which Debian's Qt is built with.
    thread_local QStringDecoder decoder("windows-1252", QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    decoder.resetState();
    return decoder(bytes);
}

bool isUtf8Name(QByteArrayView charset)
{
    return charset.compare("UTF-8", Qt::CaseInsensitive) == 0 ||
           charset.compare("UTF8", Qt::CaseInsensitive) == 0;
}

std::optional<QString> decode(QByteArrayView bytes, QByteArrayView charset, bool* unknownCharset)
{
    if (unknownCharset)
        *unknownCharset = false;
    if (isUtf8Name(charset))
        return utf8(bytes);
    const bool western = charset.compare("ISO-8859-1", Qt::CaseInsensitive) == 0 ||
                         charset.compare("ISO8859-1", Qt::CaseInsensitive) == 0 ||
                         charset.compare("LATIN1", Qt::CaseInsensitive) == 0 ||
                         charset.compare("US-ASCII", Qt::CaseInsensitive) == 0 ||
                         charset.compare("ASCII", Qt::CaseInsensitive) == 0;
    if (western)
        return cp1252(bytes);
    QStringDecoder decoder(charset.toByteArray().constData(), QStringConverter::Flag::Stateless);
    if (!decoder.isValid()) {
        if (unknownCharset)
            *unknownCharset = true;
        return std::nullopt;
    }
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

qsizetype firstBinaryByte(QByteArrayView bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<uchar>(bytes[i]);
        if (c < 0x20 && (c <= 0x08 || (c >= 0x0E && c <= 0x19) || c >= 0x1C))
            return i;
    }
    return -1;
}

namespace {
int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
} // namespace

QByteArray decodeQuotedPrintable(QByteArrayView encoded)
{
    QByteArray bytes;
    bytes.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '=' && i + 2 < encoded.size() && hexValue(encoded[i + 1]) >= 0 &&
            hexValue(encoded[i + 2]) >= 0) {
            bytes.append(static_cast<char>(hexValue(encoded[i + 1]) * 16 + hexValue(encoded[i + 2])));
            i += 2;
        } else {
            bytes.append(encoded[i]);
        }
    }
    return bytes;
}

} // namespace exchange::text
