#include "exchange/Text.h"

#include <QStringDecoder>
#include <memory>
#include <type_traits>
#include <uchardet.h>

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

Decoded decodeLeniently(QByteArrayView bytes, QByteArrayView encoding)
{
    if (isAscii(bytes))
        return {QString::fromLatin1(bytes)};
    if (encoding.isEmpty() || isUtf8Name(encoding)) {
        if (std::optional<QString> text = utf8(bytes))
            return {*text};
        return {QString::fromUtf8(bytes), true}; // Qt replaces what is not UTF-8 by U+FFFD
    }
    // A decoder of its own for each value: Qt's ICU decoders keep an error after
    // resetState(), and a fresh one costs well under a microsecond.
    QStringDecoder decoder(encoding.toByteArray().constData(), QStringConverter::Flag::Stateless);
    Decoded out{decoder(bytes)};
    out.damaged = decoder.hasError() || !decoder.isValid();
    // ICU puts U+001A for what a code page with that substitute (Shift_JIS) cannot read.
    if (out.damaged && !bytes.contains('\x1A'))
        out.text.replace(QChar(0x1A), QChar(QChar::ReplacementCharacter));
    return out;
}

Decoded decode(QByteArrayView bytes, QByteArrayView charset, bool* unknownCharset)
{
    if (unknownCharset)
        *unknownCharset = false;
    const bool western = charset.compare("ISO-8859-1", Qt::CaseInsensitive) == 0 ||
                         charset.compare("ISO8859-1", Qt::CaseInsensitive) == 0 ||
                         charset.compare("LATIN1", Qt::CaseInsensitive) == 0 ||
                         charset.compare("US-ASCII", Qt::CaseInsensitive) == 0 ||
                         charset.compare("ASCII", Qt::CaseInsensitive) == 0;
    if (western)
        return {cp1252(bytes)};
    if (isUtf8Name(charset) || canDecode(charset))
        return decodeLeniently(bytes, charset);
    if (unknownCharset)
        *unknownCharset = true;
    Decoded out{QString(), !isAscii(bytes)};
    out.text.reserve(bytes.size());
    for (const char c : bytes)
        out.text += static_cast<uchar>(c) < 0x80 ? QChar::fromLatin1(c) : QChar(QChar::ReplacementCharacter);
    return out;
}

namespace {
// Whether the bytes are UTF-8, allowing a sequence cut off at their end.
bool looksUtf8(QByteArrayView bytes)
{
    qsizetype lead = bytes.size();
    for (int back = 0; back < 3 && lead > 0 && (static_cast<uchar>(bytes[lead - 1]) & 0xC0) == 0x80; ++back)
        --lead;
    qsizetype end = bytes.size();
    if (lead > 0) {
        const auto b = static_cast<uchar>(bytes[lead - 1]);
        const qsizetype needed = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        if (needed > end - (lead - 1))
            end = lead - 1;
    }
    return utf8(bytes.first(end)).has_value();
}
} // namespace

QByteArray detectEncoding(QByteArrayView sample)
{
    // Text in another encoding is hardly ever valid UTF-8, while a short UTF-8
    // sample can look like several legacy ones to a detector.
    if (looksUtf8(sample))
        return "UTF-8";
    const std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(uchardet_new(),
                                                                                            uchardet_delete);
    if (uchardet_handle_data(detector.get(), sample.data(), static_cast<size_t>(sample.size())) != 0)
        return {};
    uchardet_data_end(detector.get());
    const QByteArray name(uchardet_get_charset(detector.get()));
    return name == "ASCII" ? QByteArray("UTF-8") : name;
}

bool canDecode(QByteArrayView encoding)
{
    return QStringDecoder(encoding.toByteArray().constData()).isValid();
}

QString unreadableBytesNote(int line, const QString& what, QByteArrayView encoding, bool declared)
{
    return QStringLiteral("Line %1: %2 is not valid %3 text%4; what could not be read shows as \uFFFD")
        .arg(line)
        .arg(what, QString::fromLatin1(encoding),
             declared ? QStringLiteral(", though it says it is") : QString());
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
