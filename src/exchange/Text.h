#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// Byte and character level helpers shared by the readers and writers.
namespace exchange::text {

bool isAscii(QByteArrayView bytes);

// The text when the bytes are well-formed UTF-8, else nothing.
std::optional<QString> utf8(QByteArrayView bytes);

// Windows code page 1252, the usual encoding of files written by Windows programs
// that do not say which one they use.
QString cp1252(QByteArrayView bytes);

bool isUtf8Name(QByteArrayView charset);

// Text decoded without giving up: a byte sequence that is not valid in the
// encoding becomes U+FFFD, and `damaged` says so.
struct Decoded
{
    QString text;
    bool damaged = false;
};

// The bytes in `encoding` (a name Qt or ICU knows); UTF-8 when it is empty.
Decoded decodeLeniently(QByteArrayView bytes, QByteArrayView encoding);

// The text in a named character set (a CHARSET parameter). ISO-8859-1 and US-ASCII
// are read as windows-1252, its superset, as mail programs do. A name that is not
// known sets `unknownCharset` and keeps only the ASCII bytes, the others U+FFFD.
Decoded decode(QByteArrayView bytes, QByteArrayView charset, bool* unknownCharset = nullptr);

// What uchardet tells of a sample's encoding: "UTF-8" for UTF-8 and ASCII, else
// its name for the encoding (such as "SHIFT_JIS"), or empty when it cannot tell.
QByteArray detectEncoding(QByteArrayView sample);

// Whether text in this encoding can be decoded here (Qt, through ICU).
bool canDecode(QByteArrayView encoding);

// The contact's note for a value with bytes that are not valid in its encoding.
QString unreadableBytesNote(int line, const QString& what, QByteArrayView encoding, bool declared);

// Where the first byte that no text file holds is (NUL and most C0 controls;
// tab, line ends, form feed, DOS end-of-file and escape are allowed), or -1.
qsizetype firstBinaryByte(QByteArrayView bytes);

// Quoted-printable: "=XX" becomes the byte; a "=" not followed by two hex
// digits stays as it is. Soft line breaks are joined before this is called.
QByteArray decodeQuotedPrintable(QByteArrayView encoded);

} // namespace exchange::text
