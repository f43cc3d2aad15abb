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

// The text in a named character set (a CHARSET parameter). ISO-8859-1 and US-ASCII
// are read as windows-1252, its superset, as mail programs do. Nothing when the
// name is unknown or the bytes are not valid in it.
std::optional<QString> decode(QByteArrayView bytes, QByteArrayView charset, bool* unknownCharset = nullptr);

// Where the first byte that no text file holds is (NUL and most C0 controls;
// tab, line ends, form feed, DOS end-of-file and escape are allowed), or -1.
qsizetype firstBinaryByte(QByteArrayView bytes);

// Quoted-printable: "=XX" becomes the byte; a "=" not followed by two hex
// digits stays as it is. Soft line breaks are joined before this is called.
QByteArray decodeQuotedPrintable(QByteArrayView encoded);

} // namespace exchange::text
