#pragma once

#include "Run.h"

#include <QFile>
#include <QTemporaryFile>
#include <QUrl>

namespace testsupport {

// The CardDAV server a test runs against (tests/radicale/radicale.sh writes
// what is needed beside it), and the phone: curl, with the login on its standard
// input, never on its command line.
struct Phone
{
    QString folder; // the server's, empty when no server was started
    QUrl server;
    QString user, password;

    static Phone fromFolder(const QString& folder)
    {
        auto line = [&](const char* name) {
            QFile file(folder + QLatin1Char('/') + QLatin1String(name));
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll().trimmed()) : QString();
        };
        return {folder, QUrl(line("url")), line("user"), line("password")};
    }

    // The status of a request with `body` as a vCard; `etag` asks If-Match.
    int request(const char* verb, const QUrl& url, const QByteArray& body = {}, const QByteArray& etag = {},
                QByteArray* answer = nullptr) const
    {
        QTemporaryFile data, out;
        if (!data.open() || data.write(body) != body.size() || !data.flush() || !out.open())
            return -1;
        QStringList args{QStringLiteral("-sS"),
                         QStringLiteral("-K"),
                         QStringLiteral("-"),
                         QStringLiteral("-o"),
                         out.fileName(),
                         QStringLiteral("-w"),
                         QStringLiteral("%{http_code}"),
                         QStringLiteral("-X"),
                         QLatin1String(verb),
                         QStringLiteral("-H"),
                         QStringLiteral("Content-Type: text/vcard"),
                         QStringLiteral("--data-binary"),
                         QLatin1Char('@') + data.fileName()};
        if (!etag.isEmpty())
            args << QStringLiteral("-H") << QStringLiteral("If-Match: ") + QString::fromLatin1(etag);
        args << QString::fromLatin1(url.toEncoded());
        const Finished curl = runProgram(QStringLiteral("curl"), args,
                                         {QStringLiteral("user = \"%1:%2\"\n").arg(user, password).toUtf8()});
        if (answer)
            *answer = out.readAll();
        return curl.out.toInt();
    }
    QByteArray get(const QUrl& url) const
    {
        QByteArray card;
        return request("GET", url, {}, {}, &card) == 200 ? card : QByteArray();
    }
};

} // namespace testsupport
