// The record set's cursor and storage rules, which every window relies on.
#include "TestSupport.h"

#include "app/clsConnection.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "data/RecordSet.h"

using data::RecordSet;
using testsupport::Program;

namespace {
const QString first = QStringLiteral("firstName");
const QString second = QStringLiteral("secondName");

QStringList firstNames(RecordSet& set)
{
    QStringList names;
    set.moveFirst();
    while (!set.eof()) {
        names << set.value(first).toString();
        set.moveNext();
    }
    return names;
}
} // namespace

class RecordSetTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptySetIsAtBothEnds()
    {
        Program program;
        RecordSet set(clsConnection::DbConnection(), data::statements::contactsOf(QStringLiteral("nobody")));
        QCOMPARE(set.recordCount(), 0);
        QVERIFY(set.bof());
        QVERIFY(set.eof());
        QVERIFY_THROWS_EXCEPTION(data::DataError, set.moveFirst());
        QVERIFY_THROWS_EXCEPTION(data::DataError, set.moveLast());
        QVERIFY_THROWS_EXCEPTION(data::DataError, set.moveNext());
        QVERIFY_THROWS_EXCEPTION(data::DataError, set.value(first));
        set.find(first, QStringLiteral("x"));
        QVERIFY(set.eof());
    }

    void orderAndEndsOfASet()
    {
        Program program;
        program.addContact(QStringLiteral("ann"), {{QStringLiteral("category"), QStringLiteral("Relatives")}, {first, QStringLiteral("Zed")}});
        program.addContact(QStringLiteral("ann"), {{QStringLiteral("category"), QStringLiteral("Friends")}, {first, QStringLiteral("Bob")}});
        program.addContact(QStringLiteral("bob"), {{QStringLiteral("category"), QStringLiteral("Friends")}, {first, QStringLiteral("Other")}});
        program.addContact(QStringLiteral("ann"), {{QStringLiteral("category"), QStringLiteral("Friends")}, {first, QStringLiteral("Amy")}});
        program.addContact(QStringLiteral("ann"), {{first, QStringLiteral("NoCategory")}});

        RecordSet set(clsConnection::DbConnection(), data::statements::contactsOf(QStringLiteral("ann")));
        QCOMPARE(set.recordCount(), 4);
        // Null category sorts first; then category, then first name.
        QCOMPARE(firstNames(set), (QStringList{QStringLiteral("NoCategory"), QStringLiteral("Amy"), QStringLiteral("Bob"), QStringLiteral("Zed")}));
        QVERIFY(set.eof());
        QVERIFY(!set.bof());
        QVERIFY_THROWS_EXCEPTION(data::DataError, set.moveNext());
        set.movePrevious(); // from EOF: the last row
        QCOMPARE(set.value(first).toString(), QStringLiteral("Zed"));
        set.moveFirst();
        set.movePrevious();
        QVERIFY(set.bof());
        QVERIFY_THROWS_EXCEPTION(data::DataError, set.value(first));
        QVERIFY_THROWS_EXCEPTION(data::DataError, set.movePrevious());
        set.moveNext(); // from BOF: the first row
        QCOMPARE(set.value(first).toString(), QStringLiteral("NoCategory"));
    }

    void nullStaysDistinctFromEmptyText()
    {
        Program program;
        program.addContact(QStringLiteral("ann"), {{first, QStringLiteral("")}, {second, QVariant()}});
        RecordSet set(clsConnection::DbConnection(), data::statements::contactsOf(QStringLiteral("ann")));
        QVERIFY(!set.value(first).isNull());
        QCOMPARE(set.value(first).toString(), QString());
        QVERIFY(set.value(second).isNull());

        // Empty text written through the set is stored as text, not Null.
        set.setValue(second, QString());
        set.update();
        const auto stored = program.rows(QStringLiteral("select secondName is null, secondName from main"));
        QCOMPARE(stored.at(0).at(0).toInt(), 0);
        QCOMPARE(stored.at(0).at(1).toString(), QString());
    }

    void addedRowIsLastUntilReopenedAndMovesStoreEdits()
    {
        Program program;
        program.addContact(QStringLiteral("ann"), {{QStringLiteral("category"), QStringLiteral("B")}, {first, QStringLiteral("b1")}});
        program.addContact(QStringLiteral("ann"), {{QStringLiteral("category"), QStringLiteral("B")}, {first, QStringLiteral("b2")}});
        RecordSet set(clsConnection::DbConnection(), data::statements::contactsOf(QStringLiteral("ann")));
        set.addNew();
        QVERIFY(!set.eof() && !set.bof());
        QVERIFY(set.value(first).isNull());
        set.setValue(QStringLiteral("user"), QStringLiteral("ann"));
        set.setValue(QStringLiteral("category"), QStringLiteral("A"));
        set.setValue(first, QStringLiteral("a0"));
        QCOMPARE(set.value(first).toString(), QStringLiteral("a0"));
        set.update();
        QCOMPARE(set.recordCount(), 3);
        QCOMPARE(firstNames(set), (QStringList{QStringLiteral("b1"), QStringLiteral("b2"), QStringLiteral("a0")}));

        // An edit of a stored row is kept pending until a move, which stores it.
        set.moveFirst();
        set.setValue(second, QStringLiteral("edited"));
        QVERIFY(program.rows(QStringLiteral("select 1 from main where secondName = 'edited'")).isEmpty());
        set.moveLast();
        QCOMPARE(program.rows(QStringLiteral("select firstName from main where secondName = 'edited'")).size(), 1);

        // Staying on the row (MoveLast on the last row) leaves its edit pending.
        set.setValue(second, QStringLiteral("late"));
        set.moveLast();
        QVERIFY(program.rows(QStringLiteral("select 1 from main where secondName = 'late'")).isEmpty());
        set.update();
        QCOMPARE(program.rows(QStringLiteral("select firstName from main where secondName = 'late'")).at(0).at(0).toString(),
                 QStringLiteral("a0"));

        RecordSet reopened(clsConnection::DbConnection(), data::statements::contactsOf(QStringLiteral("ann")));
        QCOMPARE(firstNames(reopened), (QStringList{QStringLiteral("a0"), QStringLiteral("b1"), QStringLiteral("b2")}));
    }

    void findSearchesForwardFromTheCurrentRow()
    {
        Program program;
        const QString cat = QStringLiteral("category");
        program.addContact(QStringLiteral("ann"), {{cat, QStringLiteral("1")}, {first, QStringLiteral("Al")}, {second, QStringLiteral("X")}});
        program.addContact(QStringLiteral("ann"), {{cat, QStringLiteral("2")}, {first, QStringLiteral("Bo")}, {second, QStringLiteral("Y")}});
        program.addContact(QStringLiteral("ann"), {{cat, QStringLiteral("3")}, {first, QStringLiteral("Al")}, {second, QStringLiteral("Y")}});
        program.addContact(QStringLiteral("eve"), {{cat, QStringLiteral("0")}, {first, QStringLiteral("Al")}, {second, QStringLiteral("Y")}});
        RecordSet set(clsConnection::DbConnection(), data::statements::contactsOf(QStringLiteral("ann")));

        set.find(first, QStringLiteral("Al")); // the current row counts
        QCOMPARE(set.position(), 0);
        set.find(second, QStringLiteral("Y"));
        QCOMPARE(set.position(), 1);
        set.moveNext();
        set.find(first, QStringLiteral("Al"));
        QCOMPARE(set.position(), 2);
        set.find(first, QStringLiteral("al")); // exact, case-sensitive
        QVERIFY(set.eof());
        set.find(first, QStringLiteral("Al")); // started at EOF: nothing
        QVERIFY(set.eof());

        set.moveFirst();
        set.find({{first, QStringLiteral("Al")}, {second, QStringLiteral("Y")}});
        QCOMPARE(set.position(), 2);
        set.moveFirst();
        set.find({{first, QStringLiteral("Bo")}, {second, QStringLiteral("X")}}); // names split over two rows
        QVERIFY(set.eof());
    }

    void typedTextIsNeverSql()
    {
        Program program;
        const QStringList hostile{QStringLiteral("O'Brien"), QStringLiteral("x' or '1'='1"),
                                  QStringLiteral("\"; drop table main; --"), QStringLiteral("%"), QStringLiteral("_")};
        for (const QString& name : hostile)
            program.addContact(name, {{first, name}});
        for (const QString& name : hostile) {
            RecordSet set(clsConnection::DbConnection(), data::statements::contactsOf(name));
            QCOMPARE(set.recordCount(), 1);
            set.find(first, name);
            QVERIFY(!set.eof());
            QCOMPARE(set.value(first).toString(), name);
        }
        RecordSet none(clsConnection::DbConnection(), data::statements::contactsOf(QStringLiteral("x' or '1'='1' --")));
        QCOMPARE(none.recordCount(), 0);
    }

    void openingAFaultyFileFailsWithTheEngineText_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing") << QByteArray() << QStringLiteral("Could not find file");
        QTest::newRow("empty") << QByteArray("") << QStringLiteral("no table 'userMaster'");
        QTest::newRow("not a database") << QByteArray(4096, 'x') << QStringLiteral("not a database");
    }

    void openingAFaultyFileFailsWithTheEngineText()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vantrel.mdb"));
        if (QByteArrayLiteral("missing") != QTest::currentDataTag()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        data::Connection connection;
        try {
            connection.open(path);
            QFAIL("opened a faulty file");
        } catch (const data::DataError& error) {
            QVERIFY2(error.description().contains(expected), qPrintable(error.description()));
        }
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            QCOMPARE(file.readAll(), content); // left untouched
        else
            QVERIFY(!QFile::exists(path)); // and never created
    }

    void existingDatabaseGetsItsIndexesWithoutTouchingRows()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vantrel.mdb"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plain"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("create table userMaster (user, Password)")));
            QVERIFY(query.exec(QStringLiteral("create table main (user, category, subCategory, firstName, secondName, address, phone, phone2, mobile, fax, dobDate, dobMonth, dobYear, aniDate, aniMonth, aniYear, addressOff, phoneOff, phone2Off, mobileOff, faxOff, EMailH, EMailO)")));
            QVERIFY(query.exec(QStringLiteral("create table printDetails (category, subCategory, firstName, secondName, address, phone, phone2, mobile, fax, dobDate, dobMonth, dobYear, aniDate, aniMonth, aniYear, addressOff, phoneOff, phone2Off, mobileOff, faxOff, EMailH, EMailO)")));
            QVERIFY(query.exec(QStringLiteral("insert into main (user, firstName) values ('ann', 'Kept')")));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("plain"));
        data::Connection connection;
        connection.open(path);
        QSqlQuery query(connection.database());
        QVERIFY(query.exec(QStringLiteral("select count(*) from sqlite_master where type = 'index'")));
        QVERIFY(query.next());
        QVERIFY(query.value(0).toInt() >= 3);
        RecordSet set(connection, data::statements::contactsOf(QStringLiteral("ann")));
        QCOMPARE(set.value(first).toString(), QStringLiteral("Kept"));
    }
};

VANTREL_TEST_MAIN(RecordSetTest)
#include "tst_recordset.moc"
