#pragma once

#include <QString>
#include <QUrl>
#include <optional>
#include <stdexcept>

// No keyring answered (none installed, no desktop session, locked and not
// unlocked): the password cannot be kept and is asked each time.
class KeyringError final : public std::runtime_error
{
public:
    explicit KeyringError(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

// The CardDAV password of one account, kept in the desktop's keyring (the
// Secret Service of GNOME and others, or KWallet) through QtKeychain, and
// nowhere else: QtKeychain's fallback to a plain settings file stays off. Each
// call waits for the keyring in a local event loop that takes no input.
class StoredPassword final
{
public:
    static inline const QString service = QStringLiteral("vantrel-sync");

    // The account is the CardDAV user at the server's host and port.
    StoredPassword(const QString& davUser, const QUrl& server);

    // "<dav user>@<host:port>": the entry's name in the keyring.
    const QString& key() const { return m_key; }

    // The password kept, or none. Throws KeyringError.
    std::optional<QString> read() const;
    // Throws KeyringError.
    void write(const QString& password) const;
    // Forgets the password; none kept is fine. Throws KeyringError.
    void remove() const;

private:
    QString m_key;
};
