#pragma once

#include "data/Contact.h"
#include "exchange/Exchange.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>
#include <initializer_list>

namespace exchange::vcard {

// Appends one contact as a card in UTF-8 with CRLF line ends, with its UID
// unless that is empty. Format::Csv is not a card.
void appendCard(QByteArray& out, const data::Contact& contact, Format version, QStringView uid = {});

// One content line folded at 75 octets, never inside a UTF-8 sequence.
void appendFolded(QByteArray& out, QByteArrayView line);

// Appends a 3.0/4.0 text value in UTF-8: backslash, comma, semicolon and line
// breaks escaped.
void appendEscaped(QByteArray& out, QStringView text);

// A 2.1 value in quoted-printable after a header of `headerLength` octets, with
// soft line breaks that keep every line within 75 octets and never split "=XX".
// Components are joined by a raw ";"; a ";" inside one is written =3B.
void appendQuotedPrintable(QByteArray& out, qsizetype headerLength,
                           std::initializer_list<QStringView> components);

} // namespace exchange::vcard
