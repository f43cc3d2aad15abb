// The CardDAV client against a real Radicale that ctest starts on the loopback
// (tests/radicale/radicale.sh), with curl playing the phone; and the merge of a
// stored card with the book's, on the samples in tests/samples/merge.
#include "sync/CardDavClient.h"
#include "sync/CardMerge.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTemporaryFile>
#include <QtTest>

using namespace davsync;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray card(const char* uid, const char* given, const char* mobile, const QByteArray& extra = {})
{
    return QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:") + uid + "\r\nN:Lind;" + given +
           ";;;\r\nFN:" + given + " Lind\r\nTEL;TYPE=CELL:" + mobile + "\r\n" + extra + "END:VCARD\r\n";
}

} // namespace

class TestCardDav : public QObject
{
    Q_OBJECT

private:
    QString m_server; // the fixture's folder
    Account m_account;
    QUrl m_book;

    QString line(const char* name) const
    {
        return QString::fromUtf8(fileBytes(m_server + "/" + name).trimmed());
    }

    // A request of the phone: curl with the login on its standard input, never on its command line.
    int phone(const char* verb, const QUrl& url, const QByteArray& body = {})
    {
        QTemporaryFile data;
        if (!data.open() || data.write(body) != body.size() || !data.flush())
            return -1;
        QProcess curl;
        curl.start(QStringLiteral("curl"),
                   {QStringLiteral("-sS"), QStringLiteral("-K"), QStringLiteral("-"), QStringLiteral("-o"),
                    QStringLiteral("/dev/null"), QStringLiteral("-w"), QStringLiteral("%{http_code}"),
                    QStringLiteral("-X"), QLatin1String(verb), QStringLiteral("-H"),
                    QStringLiteral("Content-Type: text/vcard"), QStringLiteral("--data-binary"),
                    QLatin1Char('@') + data.fileName(), QString::fromLatin1(url.toEncoded())});
        curl.write(QStringLiteral("user = \"%1:%2\"\n").arg(m_account.user, m_account.password).toUtf8());
        curl.closeWriteChannel();
        curl.waitForFinished(-1);
        return curl.readAllStandardOutput().toInt();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_server = qEnvironmentVariable("VANTREL_TEST_RADICALE");
        if (m_server.isEmpty())
            return;
        m_account = {QUrl(line("url")), line("user"), line("password")};
        QVERIFY(m_account.url.isValid() && !m_account.password.isEmpty());
    }

    void init()
    {
        if (m_server.isEmpty() && qstrcmp(QTest::currentTestFunction(), "mergesSamples") != 0)
            QSKIP("No CardDAV server: run through ctest, which starts one.");
    }

    // From the server's root to the user's address book, made by extended MKCOL when she has none.
    void discoversTheBook()
    {
        CardDavClient client(m_account);
        Result<Discovery> found = client.discover();
        QVERIFY2(found.ok(), qPrintable(found.error.message));
        qInfo() << "well-known answered:" << found.value.wellKnownUsed
                << "principal:" << found.value.principal << "home:" << found.value.homeSet;
        QVERIFY(!found.value.homeSet.isEmpty());
        if (found.value.books.isEmpty()) {
            const DavError made =
                client.createAddressBook(found.value.homeSet.resolved(QUrl("contacts/")), "Contacts");
            QVERIFY2(!made, qPrintable(made.message));
            found = client.discover();
        }
        QCOMPARE(found.value.books.size(), 1);
        const AddressBook& book = found.value.books.first();
        qInfo() << "sync-collection offered:" << book.syncCollection << "token:" << book.syncToken;
        QCOMPARE(book.displayName, QStringLiteral("Contacts"));
        m_book = book.url;

        // The principal's URL and the book's own are account URLs too.
        for (const QUrl& url : {found.value.principal, m_book}) {
            const Result<Discovery> again =
                CardDavClient({url, m_account.user, m_account.password}).discover();
            QVERIFY2(again.ok(), qPrintable(again.error.message));
            QCOMPARE(again.value.books.size(), 1);
            QCOMPARE(again.value.books.first().url, m_book);
        }
    }

    // New cards, their ETags, changes by token, conditional updates and what the phone changed meanwhile.
    void uploadsAndFollowsChanges()
    {
        QVERIFY(m_book.isValid());
        CardDavClient client(m_account);
        const QUrl ann = m_book.resolved(QUrl("ann.vcf")), bo = m_book.resolved(QUrl("Bo Berg+Å.vcf"));
        const Result<Changes> before = client.changesSince(m_book, QString());
        QVERIFY2(before.ok(), qPrintable(before.error.message));

        const Result<QByteArray> annTag = client.put(ann, card("ann", "Ann", "0701"), {});
        const Result<QByteArray> boTag = client.put(bo, card("bo", "Bo", "0702"), {});
        QVERIFY2(annTag.ok() && boTag.ok(), qPrintable(annTag.error.message + boTag.error.message));
        QVERIFY(!annTag.value.isEmpty() && annTag.value != boTag.value);
        // A new card where one exists already (If-None-Match: *).
        QCOMPARE(client.put(ann, card("ann", "Ann", "0709"), {}).error.kind, DavError::Kind::Precondition);
        QCOMPARE(client.put(m_book.resolved(QUrl("ann2.vcf")), card("ann", "Ann", "0709"), {}).error.kind,
                 DavError::Kind::UidConflict);

        const Result<QList<CardRef>> listed = client.listCards(m_book);
        QVERIFY(listed.ok());
        QCOMPARE(listed.value.size(), 2);
        for (const CardRef& ref : listed.value)
            QCOMPARE(ref.etag, ref.url == ann ? annTag.value : boTag.value);

        const Result<Changes> first = client.changesSince(m_book, before.value.syncToken);
        QVERIFY2(first.ok(), qPrintable(first.error.message));
        QCOMPARE(first.value.changed.size(), 2);
        QVERIFY(first.value.syncToken != before.value.syncToken);

        const Result<QByteArray> annTag2 = client.put(ann, card("ann", "Ann", "0711"), annTag.value);
        QVERIFY2(annTag2.ok(), qPrintable(annTag2.error.message));
        QCOMPARE(phone("PUT", bo, card("bo", "Bo", "0799")) / 100, 2);
        const Result<Changes> second = client.changesSince(m_book, first.value.syncToken);
        QVERIFY(second.ok());
        QCOMPARE(second.value.changed.size(), 2);
        QVERIFY(second.value.removed.isEmpty());

        // Bo changed on the phone: our ETag is stale, nothing is overwritten.
        const Result<QByteArray> stale = client.put(bo, card("bo", "Bo", "0712"), boTag.value);
        QCOMPARE(stale.error.kind, DavError::Kind::Precondition);
        QCOMPARE(stale.error.status, 412);
        const Result<QList<Card>> now = client.fetch(m_book, {bo, m_book.resolved(QUrl("gone.vcf"))});
        QVERIFY(now.ok());
        QCOMPARE(now.value.size(), 1);
        QVERIFY(now.value.first().data.contains("TEL;TYPE=CELL:0799\r\n"));

        QCOMPARE(phone("DELETE", bo), 200);
        const Result<Changes> third = client.changesSince(m_book, second.value.syncToken);
        QVERIFY(third.ok());
        QCOMPARE(third.value.removed, QList<QUrl>{bo});
        QCOMPARE(client.changesSince(m_book, "http://radicale.org/ns/sync/nonsense").error.kind,
                 DavError::Kind::SyncTokenInvalid);
    }

    // The phone's card keeps its photo, note and organisation when the book changes the mobile.
    void updatesOnlyTheBooksProperties()
    {
        QVERIFY(m_book.isValid());
        const QUrl url = m_book.resolved(QUrl("cy.vcf"));
        const QByteArray kept = "ORG:Lind & Co\r\nNOTE:Allergic to nuts\r\nPHOTO;ENCODING=b;TYPE=JPEG:"
                                "/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAgGBgcGBQgHBwcJCQgKDBQNDAsLDBkSEw8U\r\n";
        QCOMPARE(phone("PUT", url, card("cy", "Cy", "0703", kept)), 201);
        CardDavClient client(m_account);
        const Result<QList<Card>> stored = client.fetch(m_book, {url});
        QVERIFY(stored.ok() && stored.value.size() == 1);
        QString why;
        const auto merged = cardmerge::merge(stored.value.first().data, card("cy", "Cy", "0704"), &why);
        QVERIFY2(merged && merged->changed, qPrintable(why));
        QVERIFY(client.put(url, merged->card, stored.value.first().etag).ok());

        const QByteArray after = client.fetch(m_book, {url}).value.value(0).data;
        for (const char* line :
             {"ORG:Lind & Co", "NOTE:Allergic to nuts", "PHOTO;ENCODING=b;TYPE=JPEG:", "CELL:0704"})
            QVERIFY2(after.contains(line), line);
        QVERIFY(!after.contains("0703"));
    }

    void refusesWhatItMustNot()
    {
        CardDavClient wrong({m_account.url, m_account.user, "not-" + m_account.password});
        const DavError denied = wrong.discover().error;
        QCOMPARE(denied.kind, DavError::Kind::Auth);
        QVERIFY(denied.message.contains("user name or password"));
        QVERIFY(!denied.message.contains(m_account.password));

        for (const char* url :
             {"http://contacts.example.org/", "http://localhost.example.org/", "ftp://localhost/"}) {
            CardDavClient far({QUrl(url), m_account.user, m_account.password});
            QCOMPARE(far.discover().error.kind, DavError::Kind::Refused);
        }
        for (const char* url :
             {"https://contacts.example.org/", "http://localhost:1/", "http://127.0.0.2/", "http://[::1]/"})
            QVERIFY2(!CardDavClient::checkUrl(QUrl(url)), url);
        CardDavClient stopped({QUrl("http://127.0.0.1:1/"), m_account.user, m_account.password});
        QCOMPARE(stopped.discover().error.kind, DavError::Kind::Network);
    }

    // HTTPS is verified against the system's authorities and the server's name.
    void verifiesTheCertificate()
    {
        const QUrl tls(line("tls-url"));
        const DavError untrusted = CardDavClient({tls, m_account.user, m_account.password}).discover().error;
        QCOMPARE(untrusted.kind, DavError::Kind::Network);
        qInfo() << untrusted.message;

        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.addCaCertificates(QSslCertificate::fromPath(m_server + "/ca.crt"));
        QSslConfiguration::setDefaultConfiguration(config);
        const Result<Discovery> trusted = CardDavClient({tls, m_account.user, m_account.password}).discover();
        QVERIFY2(trusted.ok(), qPrintable(trusted.error.message));
        QCOMPARE(trusted.value.principal.path(), QStringLiteral("/ann/"));
        QUrl byAddress = tls; // the certificate names localhost only
        byAddress.setHost(QStringLiteral("127.0.0.1"));
        QCOMPARE(CardDavClient({byAddress, m_account.user, m_account.password}).discover().error.kind,
                 DavError::Kind::Network);
    }

    // Each NAME.stored.vcf merged with NAME.ours.vcf gives NAME.expected.vcf, and merging
    // that again changes nothing.
    void mergesSamples()
    {
        const QDir dir(VANTREL_SAMPLES "/merge");
        const QStringList stored = dir.entryList({"*.stored.vcf"});
        QVERIFY(!stored.isEmpty());
        for (const QString& name : stored) {
            const QString base = dir.filePath(name.chopped(int(strlen(".stored.vcf"))));
            const QByteArray ours = fileBytes(base + ".ours.vcf"),
                             expected = fileBytes(base + ".expected.vcf");
            const auto merged = cardmerge::merge(fileBytes(base + ".stored.vcf"), ours);
            QVERIFY2(merged, qPrintable(name));
            QCOMPARE(merged->card, expected);
            const auto again = cardmerge::merge(expected, ours);
            QVERIFY2(again && !again->changed && again->card == expected, qPrintable(name));
        }
        QVERIFY(
            !cardmerge::merge(card("a", "A", "1"), QByteArray(card("a", "A", "1")).replace("3.0", "4.0")));
    }
};

QTEST_GUILESS_MAIN(TestCardDav)
#include "tst_carddav.moc"
