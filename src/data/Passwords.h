#pragma once

#include <QString>
#include <QVariant>

// How a person's password is kept: never as typed. Argon2id through libsodium,
// at OWASP's minimum cost (19 MiB, 2 passes) or more, in its usual text form
//
//   $argon2id$v=19$m=19456,t=2,p=1$<salt>$<key>
//
// whose part up to the last '$' (the settings) is public and whose key is what
// the typed password gives under those settings.
namespace data::passwords {

// A new hash of the typed password, with a salt of its own.
QString hash(const QString& typed);
// Whether a stored value is such a hash (else a password stored as typed,
// by a book from before, or by hand).
bool isHashed(const QString& stored);
// Whether the typed password is the one stored: a hash is verified by
// libsodium, a password stored as typed is compared; both in constant time.
// Null matches nothing.
bool matches(const QVariant& stored, const QString& typed);

// A hash's public part: its parameters and salt, ending in '$'.
QString settingsOf(const QString& hashed);
// The key the typed password gives under settings (settingsOf a hash, or the
// settings themselves); empty when the settings are not Argon2id's. A server
// book's person logs in with it, so the server never learns the password.
QString keyFor(const QString& settings, const QString& typed);

} // namespace data::passwords
