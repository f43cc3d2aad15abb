#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <optional>

// Updating a card stored on a CardDAV server with the book's version of it,
// so that nothing the book does not keep (a photo, notes, an organisation,
// extra numbers, custom labels, X- properties) is lost on the phone.
//
// Which properties the book owns (everything else is the server's):
// - UID, N, FN, BDAY, ANNIVERSARY, X-ANNIVERSARY, CATEGORIES and our own
//   X-VANTREL-BDAY and X-VANTREL-ANNIVERSARY: one of each;
// - TEL whose TYPE words are only home, work, voice, cell, fax and pref, with at
//   most one place and not both cell and fax: per place (none counts as home)
//   two voice numbers and one each of cell and fax, as the book has boxes;
// - EMAIL whose TYPE words are only home, work, internet and pref: one per place;
//   one of no place takes the home box, else the office one;
// - ADR whose TYPE words are only home, work, pref, postal, parcel, dom and intl:
//   one per place (none counts as home);
// - Apple's anniversary, an X-ABDATE in a group labelled _$!<Anniversary>!$_,
//   with its X-ABLabel.
// TYPE words count from TYPE= parameters and from vCard 2.1's bare ones (TEL;HOME).
// A property in a group with a label (Apple's itemN.X-ABLabel) is the server's,
// as is any of a kind beyond the book's boxes (a third home phone): the first
// ones in the card fill the boxes, in card order, those with a place first (as the
// import fills the book's fields, exchange::fitContact). When unsure a property is the
// server's: keeping one can at worst show a value twice, replacing one loses it.
//
// The merge keeps the stored card's bytes and order: an owned property whose
// value the book has unchanged stays as it was, parameters and folding included;
// a changed one is replaced where it stood; one the book no longer has is
// removed; the book's others are added before END:VCARD. Lines that are added
// are folded at 75 octets with CRLF (RFC 6350 §3.2). Merging a card with the
// book's own rendering of it leaves it byte for byte unchanged.
namespace davsync::cardmerge {

struct Merged
{
    QByteArray card;
    bool changed = false; // whether the card differs from the stored one
};

// Whether two owned properties of the same kind hold the same value; given the
// unfolded content lines without their group. By default, the bytes after the
// first ':' outside quotes.
using SameValue = std::function<bool(QByteArrayView storedLine, QByteArrayView ourLine)>;

// The VERSION of a card ("3.0"), empty when it has none.
QByteArray versionOf(QByteArrayView card);

// `storedBytes`: the card as the server has it. `ourBytes`: a whole card of the same
// VERSION written by the book (only its owned properties are used). Nothing,
// with `why` set, when either is not one vCard or their versions differ.
std::optional<Merged> merge(QByteArrayView storedBytes, QByteArrayView ourBytes, QString* why = nullptr,
                            const SameValue& same = {});

} // namespace davsync::cardmerge
