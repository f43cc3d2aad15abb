#include "StoredPassword.h"

#include <QEventLoop>
#include <qt6keychain/keychain.h>

namespace {

// Runs a keyring job to its end. The job may finish within start() when the
// keyring refuses at once, so the loop runs only when it has not.
void runToEnd(QKeychain::Job& job, const QString& key)
{
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    job.setKey(key);
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    job.start();
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
}

[[noreturn]] void keyringFailed(const QKeychain::Job& job)
{
    throw KeyringError(QStringLiteral("The keyring could not be used (%1), so the CardDAV password is "
                                      "not remembered: type it each time.")
                           .arg(job.errorString()));
}

} // namespace

StoredPassword::StoredPassword(const QString& davUser, const QUrl& server)
    : m_key(QStringLiteral("%1@%2:%3")
                .arg(davUser, server.host())
                .arg(server.port(server.scheme() == QLatin1String("http") ? 80 : 443)))
{
}

std::optional<QString> StoredPassword::read() const
{
    QKeychain::ReadPasswordJob job(service);
    runToEnd(job, m_key);
    if (job.error() == QKeychain::EntryNotFound)
        return std::nullopt;
    if (job.error() != QKeychain::NoError)
        keyringFailed(job);
    return job.textData();
}

void StoredPassword::write(const QString& password) const
{
    QKeychain::WritePasswordJob job(service);
    job.setTextData(password);
    runToEnd(job, m_key);
    if (job.error() != QKeychain::NoError)
        keyringFailed(job);
}

void StoredPassword::remove() const
{
    QKeychain::DeletePasswordJob job(service);
    runToEnd(job, m_key);
    if (job.error() != QKeychain::NoError && job.error() != QKeychain::EntryNotFound)
        keyringFailed(job);
}
