// A person's book kept in step with an address book on a real Radicale of the
// suite's own on the loopback, with curl playing the phone: both ways, the
// phone's own properties kept, conflicts, deletions, refusals, and a server
// that goes away or changes a card while it is being sent.
#include "Files.h"
#include "Phone.h"
#include "ProgramFolder.h"

#include "booksync/BookSync.h"
#include "data/Accounts.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "data/SyncState.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QtTest>
#include <future>

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

    QTemporaryDir m_server; // the suite's Radicale
    Phone m_phone;
    std::unique_ptr<testing::ProgramFolder> m_folder;
    std::unique_ptr<data::Connection> m_shared, m_person;
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

    int server(const char* command) const
    {
        return testsupport::runProgram(qEnvironmentVariable("VANTREL_RADICALE_SCRIPT"),
                                       {command, m_server.path()})
            .status;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("VANTREL_RADICALE_SCRIPT"),
                 "run through ctest, which names the server's script");
        QCOMPARE(server("start"), 0);
    }
    void cleanupTestCase() { server("stop"); }

    void init()
    {
        m_folder = std::make_unique<testing::ProgramFolder>();
        m_folder->addUser(QStringLiteral("ann"), QStringLiteral("pw"));
        m_shared = std::make_unique<data::Connection>();
        m_person = std::make_unique<data::Connection>();
        m_shared->openProgramDatabase(m_folder->path());
        data::Accounts accounts(*m_shared);
        QVERIFY(accounts.logIn(QStringLiteral("ann"), QStringLiteral("pw"), m_person.get()));
        m_book = accounts.onServer() ? m_person.get() : m_shared.get();
        QVERIFY(startWith(Phone::fromFolder(m_server.path())));
    }
    void cleanup()
    {
        m_person.reset();
        m_shared.reset();
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
        // The phone adds a note to the cards the book wrote or merged: they read
        // back as the book has them, so nothing changes in the book.
        for (const auto& [url, data] : cards()) {
            QCOMPARE(
                m_phone.request("PUT", url, QByteArray(data).replace("END:VCARD", "NOTE:seen\r\nEND:VCARD")),
                201);
        }
        const SyncSummary after = sync();
        QVERIFY2(after.completed, qPrintable(after.toText()));
        QCOMPARE((std::tuple{after.received, after.sent, after.updated}), (std::tuple{0, 0, 0}));
    }

    // Changed on both sides: the phone's version in the book, the book's kept
    // in the conflicts file; a card deleted on the phone leaves the book; cards
    // the book cannot take are named with the reason.
    void losesNothingOnEitherSide()
    {
        addContact("Ann", "Lind", "0701");
        addContact("Bo", "Berg", "0702");
        QVERIFY(sync().completed);
        const QString ann = uidOf("Ann"), bo = uidOf("Bo");
        QCOMPARE(m_phone.request("PUT", cards().value(ann).first, card(ann, "Ann", "Lind", "0799")), 201);
        setMobile("Ann", "0788");
        QCOMPARE(m_phone.request("DELETE", cards().value(bo).first), 200);
        const QList<std::pair<const char*, QByteArray>> added{
            {"eve.vcf", card("eve-1", "Eve", "Falk", "0705")},
            {"nameless.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:nameless-1\r\nN:;;;;\r\nFN:\r\nTEL:0706\r\n"
                             "END:VCARD\r\n"},
            {"twin.vcf", card("twin-1", "Ann", "Lind", "0707")}};
        for (const auto& [file, body] : added)
            QCOMPARE(m_phone.request("PUT", m_addressBook.resolved(QUrl(file)), body), 201);

        const SyncSummary summary = sync();
        QVERIFY2(summary.completed, qPrintable(summary.toText()));
        qInfo().noquote() << summary.toText();
        QCOMPARE(summary.received, 1);
        QCOMPARE(summary.removed, QStringList{"Bo Berg"});
        QCOMPARE(summary.conflicts.size(), 1);
        QCOMPARE(summary.conflicts[0].name, QStringLiteral("Ann Lind"));
        QCOMPARE(mobileOf("Ann"), QStringLiteral("0799"));
        QVERIFY(cards().value(ann).second.contains("0799"));
        const QByteArray kept = testsupport::fileBytes(summary.conflictFile).value_or(QByteArray());
        QVERIFY2(kept.contains("0788") && kept.contains(ann.toUtf8()), kept.constData());
        QVERIFY(QFile::permissions(summary.conflictFile) ==
                (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                 QFileDevice::WriteUser));
        QStringList skipped;
        for (const Skipped& s : summary.skipped)
            skipped << s.name + QLatin1Char('=') + QString::number(int(s.reason));
        skipped.sort();
        QCOMPARE(skipped,
                 (QStringList{"Ann Lind=" + QString::number(int(Skipped::Reason::SameNames)),
                              "nameless.vcf=" + QString::number(int(Skipped::Reason::NoFirstName))}));
        QCOMPARE(contacts(), 2); // Ann and Eve
        QVERIFY(summary.toText().contains(summary.conflictFile));
    }

    // A server that goes away on the way in changes nothing; on the way out,
    // what it confirmed stays confirmed; the next sync completes without
    // sending anything twice. A card changed on the phone while the book sends
    // its own change is read again, never overwritten. A wrong password is said.
    void survivesServerFaults()
    {
        SyncSummary refused = sync({}, "not her password");
        QVERIFY(!refused.completed);
        QCOMPARE(refused.error.kind, davsync::DavError::Kind::Auth);

        for (const char* first : {"Ann", "Bo", "Cy", "Di", "Eve"})
            addContact(first, "Lind", "0701");
        SyncSummary cut = sync([&](const QString& step) {
            if (step == QLatin1String("Sending 3 of 5 contacts"))
                server("kill");
        });
        QVERIFY(!cut.completed);
        QCOMPARE(cut.error.kind, davsync::DavError::Kind::Network);
        QCOMPARE(cut.sent, 2);
        QCOMPARE(server("resume"), 0);
        SyncSummary rest = sync();
        QVERIFY2(rest.completed, qPrintable(rest.toText()));
        QCOMPARE(rest.sent, 3);
        QCOMPARE(cards().size(), 5);

        for (const char* uid : {"p1", "p2", "p3"})
            QCOMPARE(m_phone.request("PUT", m_addressBook.resolved(QUrl(QString(uid) + ".vcf")),
                                     card(uid, uid, "Phone", "0702")),
                     201);
        SyncSummary inCut = sync([&](const QString& step) {
            if (step.startsWith(QLatin1String("Reading")))
                server("kill");
        });
        QVERIFY(!inCut.completed);
        QCOMPARE(contacts(), 5);
        QCOMPARE(server("resume"), 0);
        QCOMPARE(sync().received, 3);

        const QString ann = uidOf("Ann");
        const QUrl annCard = cards().value(ann).first;
        setMobile("Ann", "0788");
        SyncSummary raced = sync([&](const QString& step) {
            if (step == QLatin1String("Sending 1 of 1 contacts"))
                m_phone.request("PUT", annCard, card(ann, "Ann", "Lind", "0799"));
        });
        QVERIFY2(raced.completed, qPrintable(raced.toText()));
        QCOMPARE(raced.sent, 0);
        QCOMPARE(raced.conflicts.size(), 1);
        QVERIFY(m_phone.get(annCard).contains("0799"));
        QCOMPARE(mobileOf("Ann"), QStringLiteral("0799"));
    }

    // Two workstations sync one person at once: each contact once on either
    // side and in the state, and the next sync has nothing to do.
    void twoWorkstationsAtOnce()
    {
        for (int i = 0; i < 15; ++i) {
            addContact(QStringLiteral("Book%1").arg(i), "Lind", "0701");
            QCOMPARE(m_phone.request("PUT", m_addressBook.resolved(QUrl(QStringLiteral("p%1.vcf").arg(i))),
                                     card(QStringLiteral("p%1").arg(i), QStringLiteral("Phone%1").arg(i),
                                          "Berg", "0702")),
                     201);
        }
        std::function<QString()> syncElsewhere;
        auto workstation = [&]() -> QString {
            try {
                return syncElsewhere();
            } catch (const data::DataError& error) {
                return error.description();
            }
        };
        syncElsewhere = [&] {
            data::Connection shared, person;
            shared.openProgramDatabase(m_folder->path());
            data::Accounts accounts(shared);
            if (!accounts.logIn(QStringLiteral("ann"), QStringLiteral("pw"), &person))
                return QStringLiteral("no login");
            davsync::CardDavClient client({m_addressBook, m_phone.user, m_phone.password});
            const SyncSummary done =
                booksync::synchronize(accounts.onServer() ? person : shared, QStringLiteral("ann"), client,
                                      m_addressBook, {m_conflicts.path(), {}});
            return done.completed && done.conflicts.isEmpty() ? QString() : done.toText();
        };
        std::future<QString> one = std::async(std::launch::async, workstation);
        std::future<QString> other = std::async(std::launch::async, workstation);
        const QString first = one.get(), second = other.get();
        QVERIFY2(first.isEmpty() && second.isEmpty(), qPrintable(first + second));
        QCOMPARE(contacts(), 30);
        QCOMPARE(cards().size(), 30);
        QCOMPARE(m_folder->rows("select count(*), count(distinct uid) from syncCards where user = 'ann'"),
                 (QList<QVariantList>{{30, 30}}));
        const SyncSummary idle = sync();
        QVERIFY(idle.completed);
        QCOMPARE((std::tuple{idle.received, idle.sent, idle.updated, int(idle.conflicts.size())}),
                 (std::tuple{0, 0, 0, 0}));
    }

    // A large address book from the phone (VANTREL_SYNC_CONTACTS, 10,000 by
    // default), and contacts of the book's own into a new one
    // (VANTREL_SYNC_SENT, 300: Radicale's time for each new card grows with
    // the cards it holds). The figures are the README's.
    void aLargeBookBothWays()
    {
        const int size = qEnvironmentVariableIsSet("VANTREL_SYNC_CONTACTS")
                             ? qEnvironmentVariableIntValue("VANTREL_SYNC_CONTACTS")
                             : 10000;
        QByteArray all; // the phone's cards, written as one collection (Radicale's own way to fill one fast)
        for (int i = 0; i < size; ++i)
            all += card(QStringLiteral("phone-%1").arg(i), QStringLiteral("Given%1").arg(i), "Phone", "0701");
        QVERIFY(m_phone.request("DELETE", m_addressBook) / 100 == 2);
        QCOMPARE(m_phone.request("PUT", m_addressBook, all), 201);
        QElapsedTimer timer;
        timer.start();
        const SyncSummary first = sync();
        const qint64 firstMs = timer.restart();
        QVERIFY2(first.completed, qPrintable(first.toText()));
        QCOMPARE(first.received, size);
        const SyncSummary idle = sync();
        const qint64 idleMs = timer.restart();
        QCOMPARE((std::tuple{idle.received, idle.sent, idle.updated}), (std::tuple{0, 0, 0}));
        setMobile("Given7", "0777");
        QCOMPARE(sync().sent, 1);
        const qint64 oneMs = timer.restart();

        const int sent = qEnvironmentVariableIsSet("VANTREL_SYNC_SENT")
                             ? qEnvironmentVariableIntValue("VANTREL_SYNC_SENT")
                             : 300;
        m_folder->exec("delete from main");
        for (int i = 0; i < sent; ++i)
            addContact(QStringLiteral("Book%1").arg(i), "Lind", "0702");
        QVERIFY(startWith(m_phone));
        timer.restart();
        const SyncSummary up = sync();
        const qint64 upMs = timer.elapsed();
        QVERIFY2(up.completed, qPrintable(up.toText()));
        QCOMPARE(up.sent, sent);
        qInfo("%d contacts from the server %lld ms, nothing to do %lld ms, one changed %lld ms; %d to the "
              "server %lld ms",
              size, firstMs, idleMs, oneMs, sent, upMs);
    }
};

QTEST_GUILESS_MAIN(BookSyncTest)
#include "tst_booksync.moc"
