#include "data/Passwords.h"

#include "data/DataError.h"

#include <QByteArray>
#include <QRegularExpression>
#include <sodium.h>

namespace data::passwords {

namespace {

constexpr unsigned long long passes = 2;
constexpr size_t memoryBytes = size_t(19) << 20;
constexpr size_t keyBytes = 32;

void ready()
{
    static const bool initialised = sodium_init() >= 0;
    if (!initialised)
        throw DataError(QStringLiteral("The password library cannot start."));
}

// libsodium writes the salt and key in base64 without padding.
QByteArray unpadded(const QByteArray& base64)
{
    QByteArray bytes = base64;
    while (bytes.endsWith('='))
        bytes.chop(1);
    return bytes;
}

} // namespace

QString hash(const QString& typed)
{
    ready();
    const QByteArray password = typed.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, password.constData(), password.size(), passes, memoryBytes,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw DataError(QStringLiteral("Not enough memory to protect the password."));
    return QString::fromLatin1(out);
}

bool isHashed(const QString& stored)
{
    return stored.startsWith(QLatin1String(crypto_pwhash_argon2id_STRPREFIX));
}

bool matches(const QVariant& stored, const QString& typed)
{
    if (stored.isNull())
        return false;
    ready();
    const QByteArray password = typed.toUtf8();
    const QString text = stored.toString();
    if (isHashed(text)) {
        const QByteArray encoded = text.toLatin1();
        return crypto_pwhash_str_verify(encoded.constData(), password.constData(), password.size()) == 0;
    }
    // As typed: the two digests are compared, so the time does not tell how much was alike.
    unsigned char a[crypto_generichash_BYTES];
    unsigned char b[crypto_generichash_BYTES];
    const QByteArray kept = text.toUtf8();
    crypto_generichash(a, sizeof a, reinterpret_cast<const unsigned char*>(kept.constData()), kept.size(),
                       nullptr, 0);
    crypto_generichash(b, sizeof b, reinterpret_cast<const unsigned char*>(password.constData()),
                       password.size(), nullptr, 0);
    return sodium_memcmp(a, b, sizeof a) == 0;
}

QString settingsOf(const QString& hashed)
{
    return hashed.left(hashed.lastIndexOf(QLatin1Char('$')) + 1);
}

QString keyFor(const QString& settings, const QString& typed)
{
    static const QRegularExpression form(
        QStringLiteral("^\\$argon2id\\$v=19\\$m=(\\d+),t=(\\d+),p=1\\$([A-Za-z0-9+/]+)\\$"));
    const QRegularExpressionMatch parts = form.match(settingsOf(settings));
    if (!parts.hasMatch())
        return {};
    const size_t memory = parts.captured(1).toULongLong() * 1024;
    const unsigned long long rounds = parts.captured(2).toULongLong();
    const QByteArray salt = QByteArray::fromBase64(parts.captured(3).toLatin1());
    if (salt.size() != crypto_pwhash_SALTBYTES || rounds < crypto_pwhash_OPSLIMIT_MIN ||
        memory < crypto_pwhash_MEMLIMIT_MIN)
        return {};
    ready();
    const QByteArray password = typed.toUtf8();
    unsigned char key[keyBytes];
    if (crypto_pwhash(key, sizeof key, password.constData(), password.size(),
                      reinterpret_cast<const unsigned char*>(salt.constData()), rounds, memory,
                      crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw DataError(QStringLiteral("Not enough memory to check the password."));
    const QByteArray encoded = QByteArray(reinterpret_cast<const char*>(key), sizeof key).toBase64();
    sodium_memzero(key, sizeof key);
    return QString::fromLatin1(unpadded(encoded));
}

} // namespace data::passwords
