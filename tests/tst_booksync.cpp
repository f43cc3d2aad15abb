// A person's book kept in step with an address book on a real Radicale that
// ctest starts on the loopback, with curl playing the phone: both ways, the
// phone's own properties kept, conflicts, deletions, refusals, and a server
// that goes away or changes a card while it is being sent.
#include "Files.h"
#include "Phone.h"
#include "ProgramFolder.h"

#include "booksync/BookSync.h"
#include "data/Accounts.h"
#include "data/Connection.h"
#include "data/SyncState.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QtTest>

using booksync::Skipped;
using booksync::SyncSummary;
using testsupport::Phone;

namespace {

QByteArray card(const QString& uid, const QString& given, const QString& family, const QString& mobile,
                const QByteArray& extra = {})
{
    return QStringLiteral(
               "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nN:%3;%2;;;\r\nFN:%2 %3\r\nTEL;TYPE=CELL:%4\r\n")
               .arg(uid, given, family, mobile)
               .toUtf8() +
           extra + "END:VCARD\r\n";
}

QString uidIn(const QByteArray& card)
{
    static const QRegularExpression uid(QStringLiteral("(?:^|\\n)UID:([^\\r\\n]*)"));
    return uid.match(QString::fromUtf8(card)).captured(1);
}

} // namespace

class BookSyncTest : public QObject
{
    Q_OBJECT

    Phone m_phone;
    std::unique_ptr<testing::ProgramFolder> m_folder;
    data::Connection m_shared, m_person;
    data::Connection* m_book = nullptr;
    QTemporaryDir m_conflicts;
    QUrl m_addressBook;

    // The phone's server and a fresh address book for the test.
    bool startWith(const Phone& phone)
    {
        m_phone = phone;
        davsync::CardDavClient client({m_phone.server, m_phone.user, m_phone.password});
        const auto found = client.discover();
        if (!found.ok() || found.value.homeSet.isEmpty())
            return false;
        m_addressBook =
            found.value.homeSet.resolved(QUrl(QStringLiteral("%1-%2/")
                                                  .arg(QTest::currentTestFunction())
                                                  .arg(m_folder->engine() == data::Engine::SQLite)));
        m_phone.request("DELETE", m_addressBook);
        return !client.createAddressBook(m_addressBook, QStringLiteral("Tests"));
    }

    SyncSummary sync(const booksync::Progress& progress = {}, const QString& password = {})
    {
        davsync::CardDavClient client(
            {m_addressBook, m_phone.user, password.isEmpty() ? m_phone.password : password});
        return booksync::synchronize(*m_book, QStringLiteral("ann"), client, m_addressBook,
                                     {m_conflicts.path(), progress});
    }

    void addContact(const QString& first, const QString& second, const QString& mobile)
    {
        m_folder->addContact(QStringLiteral("ann"),
                             {{"firstName", first}, {"secondName", second}, {"mobile", mobile}});
    }
    QString mobileOf(const QString& first) const
    {
        return m_folder->value("select mobile from main where user = 'ann' and firstName = ?", {first})
            .toString();
    }
    QString uidOf(const QString& first) const
    {
        return m_folder->value("select uid from main where user = 'ann' and firstName = ?", {first})
            .toString();
    }
    void setMobile(const QString& first, const QString& mobile) const
    {
        m_folder->exec("update main set mobile = ? where user = 'ann' and firstName = ?", {mobile, first});
    }
    qint64 contacts() const
    {
        return m_folder->value("select count(*) from main where user = 'ann'").toLongLong();
    }

    // The address book's cards by UID, as the phone reads them.
    QMap<QString, std::pair<QUrl, QByteArray>> cards() const
    {
        davsync::CardDavClient client({m_addressBook, m_phone.user, m_phone.password});
        const auto listed = client.listCards(m_addressBook);
        QList<QUrl> urls;
        for (const davsync::CardRef& ref : listed.value)
            urls << ref.url;
        QMap<QString, std::pair<QUrl, QByteArray>> byUid;
        for (const davsync::Card& card : client.fetch(m_addressBook, urls).value)
            byUid.insert(uidIn(card.data), {card.url, card.data});
        return byUid;
    }

private Q_SLOTS:
    void init()
    {
        const QString server = qEnvironmentVariable("VANTREL_TEST_RADICALE");
        if (server.isEmpty())
            QSKIP("No CardDAV server: run through ctest, which starts one.");
        m_folder = std::make_unique<testing::ProgramFolder>();
        m_folder->addUser(QStringLiteral("ann"), QStringLiteral("pw"));
        m_shared.openProgramDatabase(m_folder->path());
        data::Accounts accounts(m_shared);
        QVERIFY(accounts.logIn(QStringLiteral("ann"), QStringLiteral("pw"), &m_person));
        m_book = accounts.onServer() ? &m_person : &m_shared;
        QVERIFY(startWith(Phone::fromFolder(server)));
    }
    void cleanup()
    {
        m_person.close();
        m_shared.close();
        m_folder.reset();
    }

    // New and changed contacts both ways; the phone's photo and notes stay on
    // a card whose number the book changed; a sync with nothing to do does nothing.
    void keepsBookAndPhoneInStep()
    {
        addContact("Ann", "Lind", "0701");
        addContact("Bo", "Berg", "0702");
        const QUrl cy = m_addressBook.resolved(QUrl("cy.vcf")), di = m_addressBook.resolved(QUrl("di.vcf"));
        QCOMPARE(m_phone.request("PUT", cy,
                                 card("cy-1", "Cy", "Dahl", "0703",
                                      "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRg==\r\n"
                                      "NOTE:met at the fair\r\nORG:Fair AB\r\n")),
                 201);
        QCOMPARE(m_phone.request("PUT", di, card("di-1", "Di", "Ek", "0704")), 201);

        SyncSummary first = sync();
        QVERIFY2(first.completed, qPrintable(first.toText()));
        QCOMPARE((std::tuple{first.received, first.sent, first.updated}), (std::tuple{2, 2, 0}));
        QCOMPARE(contacts(), 4);
        QStringList both{"cy-1", "di-1", uidOf("Ann"), uidOf("Bo")};
        both.sort();
        QCOMPARE(cards().keys(), both);
        QVERIFY(cards().value(uidOf("Ann")).second.contains("0701"));

        const SyncSummary idle = sync();
        QVERIFY(idle.completed);
        QCOMPARE((std::tuple{idle.received, idle.sent, idle.updated}), (std::tuple{0, 0, 0}));

        QCOMPARE(m_phone.request("PUT", di, card("di-1", "Di", "Ek", "0744")), 201);
        setMobile("Ann", "0711");
        setMobile("Cy", "0733");
        const SyncSummary second = sync();
        QVERIFY2(second.completed, qPrintable(second.toText()));
        QCOMPARE((std::tuple{second.received, second.sent, second.updated}), (std::tuple{0, 2, 1}));
        QCOMPARE(mobileOf("Di"), QStringLiteral("0744"));
        QVERIFY(cards().value(uidOf("Ann")).second.contains("0711"));
        const QByteArray cyNow = m_phone.get(cy);
        for (const char* kept :
             {"PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRg==", "NOTE:met at the fair", "ORG:Fair AB", "0733"})
            QVERIFY2(cyNow.contains(kept), cyNow.constData());
        QVERIFY(!cyNow.contains("0703"));
    }
};

QTEST_GUILESS_MAIN(BookSyncTest)
#include "tst_booksync.moc"
