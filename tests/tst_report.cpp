// The report: dates and the card as read back from its PDF, the staged row,
// the tool on the command line (never writing the database) and its window.
#include "ReportWindow.h"
#include "TestSupport.h"

#include "data/Connection.h"
#include "data/DataError.h"
#include "report/Card.h"
#include "report/StagedContact.h"

#include <QAbstractButton>
#include <QCryptographicHash>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

using namespace testsupport;

namespace {

QString run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>")
            .arg(program, QString::fromUtf8(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The PDF's text with bidi marks removed and compatibility forms folded: the
// PDF carries Arabic as presentation forms, which fold back to the letters typed.
QString pdfText(const QString& path)
{
    static const QRegularExpression bidiMarks(QStringLiteral("[\\x{200e}\\x{200f}\\x{202a}-\\x{202e}]"));
    return run(QStringLiteral("pdftotext"),
               {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")})
        .remove(bidiMarks)
        .normalized(QString::NormalizationForm_KC);
}

QString pdfInfo(const QString& path, const QString& field)
{
    const QRegularExpression line(QLatin1Char('^') + field + QLatin1String(":\\s*(.*)$"),
                                  QRegularExpression::MultilineOption);
    return line.match(run(QStringLiteral("pdfinfo"), {path})).captured(1).trimmed();
}

QByteArray hashOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

// A contact from its 22 values in column order, separated by "|".
data::Contact contactOf(const QString& values)
{
    data::Contact contact;
    const QStringList parts = values.split(QLatin1Char('|'));
    for (qsizetype i = 0; i < parts.size(); ++i)
        contact.*data::contactColumns[i].member = parts[i];
    return contact;
}

data::Contact everyField()
{
    return contactOf(QStringLiteral(
        "Friends|Sailing club|Margaret|O'Brien|12 Harbour Road\r\nKinsale\nCo. Cork|"
        "4771234|4775678|0871234567|214771111|7|3|1974|21|6|1998|Unit 4, Quay Street\nCork|"
        "4902222|4903333|0869876543|214902244|maggie@example.org|office@harbourworks.example"));
}

const QStringList captions =
    QStringLiteral(
        "Category|Sub-category|Date of birth|Anniversary|Home|Office|Address|Phone|Mobile|Fax|E-mail")
        .split(QLatin1Char('|'));

void stage(const testing::ProgramFolder& program, const data::Contact& contact)
{
    QStringList names;
    QVariantList values;
    for (const data::ContactColumn& column : data::contactColumns) {
        names << column.name;
        values << QVariant(contact.*column.member);
    }
    program.exec(QStringLiteral("delete from printDetails"));
    program.exec(QStringLiteral("insert into printDetails (%1) values (%2)")
                     .arg(names.join(QLatin1String(", ")),
                          QStringList(names.size(), QStringLiteral("?")).join(QLatin1String(", "))),
                 values);
}

struct Outcome
{
    int exitCode = -1;
    QString stderrText;
};

// Runs a copy of vantrel-report placed in the program folder, as installed.
Outcome runReport(const testing::ProgramFolder& program, const QStringList& args)
{
    const QString tool = program.path() + QLatin1String("/vantrel-report");
    if (!QFile::exists(tool))
        QFile::copy(QStringLiteral(VANTREL_REPORT), tool);
    QProcess process;
    process.setWorkingDirectory(QDir::tempPath()); // never the program folder
    process.start(tool, args);
    if (!process.waitForFinished(30000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace

class ReportTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        for (const char* tool : {"pdftotext", "pdfinfo", "pdffonts"})
            QVERIFY2(!QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(),
                     "poppler-utils is missing (scripts/install-deps.sh)");
    }

    // --- dates -------------------------------------------------------------

    void dates_data()
    {
        QTest::addColumn<QString>("day");
        QTest::addColumn<QString>("month");
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("shown");
        // name | day | month | year | shown
        for (const char* row :
             {"all|7|3|1980|7 March 1980", "leading zeros|07|03|1980|7 March 1980",
              "month and year||12|1999|December 1999", "day and month|31|1||31 January", "year|||1980|1980",
              "month||9||September", "day|7|||day 7", "day and year|7||1980|day 7, 1980",
              "blanks| | 5 | 2001 |May 2001", "typed year|||about 1950|about 1950",
              "no such month|1|13|1980|1 13 1980", "nothing||||"}) {
            const QStringList p = QString::fromUtf8(row).split(QLatin1Char('|'));
            QTest::addRow("%s", qPrintable(p[0])) << p[1] << p[2] << p[3] << p[4];
        }
    }
    void dates()
    {
        QFETCH(QString, day);
        QFETCH(QString, month);
        QFETCH(QString, year);
        QTEST(report::dateText(day, month, year), "shown");
    }

    // --- the card ----------------------------------------------------------

    void everyFieldOnOneA4Page()
    {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("card.pdf"));
        QCOMPARE(report::writeCardPdf(everyField(), pdf), QString());
        QCOMPARE(pdfInfo(pdf, QStringLiteral("Pages")), QStringLiteral("1"));
        QVERIFY(pdfInfo(pdf, QStringLiteral("Page size")).startsWith(QLatin1String("595 x 842")));
        const QString text = pdfText(pdf);
        const data::Contact c = everyField();
        for (const QString& value :
             {c.category, c.subCategory, c.firstName + QLatin1Char(' ') + c.secondName, c.phone, c.phone2,
              c.mobile, c.fax, c.phoneOff, c.phone2Off, c.mobileOff, c.faxOff, c.EMailH, c.EMailO,
              QStringLiteral("7 March 1974"), QStringLiteral("21 June 1998"),
              QStringLiteral("12 Harbour Road\nKinsale\nCo. Cork"),
              QStringLiteral("Unit 4, Quay Street\nCork")})
            QVERIFY2(text.contains(value), qPrintable(value + QLatin1String(" missing from:\n") + text));
        for (const QString& caption : captions)
            QVERIFY2(text.contains(caption), qPrintable(caption));
    }

    void emptyFieldsLeaveNoCaption()
    {
        data::Contact onlyName;
        onlyName.firstName = QStringLiteral("Ann");
        onlyName.address = QStringLiteral(" \n ");
        onlyName.dobMonth = QStringLiteral(" ");
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("ann.pdf"));
        QCOMPARE(report::writeCardPdf(onlyName, pdf), QString());
        QCOMPARE(pdfText(pdf).trimmed(), QStringLiteral("Ann"));

        data::Contact officeOnly;
        officeOnly.secondName = QStringLiteral("Quinn");
        officeOnly.mobileOff = QStringLiteral("0861112222");
        QCOMPARE(report::writeCardPdf(officeOnly, pdf), QString());
        const QString text = pdfText(pdf);
        QVERIFY(text.contains(QLatin1String("Quinn")) && text.contains(QLatin1String("0861112222")));
        QVERIFY(text.contains(QLatin1String("Office")) && text.contains(QLatin1String("Mobile")));
        QVERIFY2(!text.contains(QLatin1String("Home")) && !text.contains(QLatin1String("Phone")),
                 qPrintable(text));
    }

    void otherScriptsWithEmbeddedFonts()
    {
        data::Contact c;
        c.firstName = QStringLiteral("محمد");
        c.secondName = QStringLiteral("الأحمد");
        c.address = QStringLiteral("شارع الملك فهد\nالرياض");
        c.addressOff = QStringLiteral("北京市朝阳区建国路88号");
        c.mobile = QStringLiteral("☎ 0501234567 😀");
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("intl.pdf"));
        QCOMPARE(report::writeCardPdf(c, pdf), QString());
        const QString text = pdfText(pdf);
        for (const QString& value : {c.firstName, c.secondName, QStringLiteral("شارع الملك فهد"),
                                     QStringLiteral("الرياض"), c.addressOff, QStringLiteral("0501234567")})
            QVERIFY2(text.contains(value.normalized(QString::NormalizationForm_KC)),
                     qPrintable(value + QLatin1String(" missing from:\n") + text));
        // Every glyph comes from a font inside the file, emoji included.
        const QStringList fonts = run(QStringLiteral("pdffonts"), {pdf}).split(QLatin1Char('\n')).mid(2);
        QVERIFY(fonts.join(QString()).contains(QLatin1String("Symbola")));
        for (const QString& font : fonts) {
            if (!font.isEmpty())
                QVERIFY2(font.contains(QRegularExpression(QStringLiteral("\\syes\\s+\\S+\\s+yes\\s"))),
                         qPrintable(font));
        }
    }

    void longFieldsStayOnOnePage_data()
    {
        QTest::addColumn<int>("pageSize");
        QTest::addColumn<QString>("points");
        QTest::newRow("A4") << int(QPageSize::A4) << "595 x 842";
        QTest::newRow("Letter") << int(QPageSize::Letter) << "612 x 792";
    }
    void longFieldsStayOnOnePage()
    {
        QFETCH(int, pageSize);
        QFETCH(QString, points);
        data::Contact c;
        for (const data::ContactColumn& column : data::contactColumns)
            c.*column.member = QString(1000, QLatin1Char('w'));
        QStringList lines;
        for (int i = 1; i <= 5000; ++i)
            lines << QStringLiteral("Line %1").arg(i);
        c.address = lines.join(QLatin1Char('\n'));
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("long.pdf"));
        QCOMPARE(report::writeCardPdf(c, pdf, QPageSize(QPageSize::PageSizeId(pageSize))), QString());
        QCOMPARE(pdfInfo(pdf, QStringLiteral("Pages")), QStringLiteral("1"));
        QVERIFY(pdfInfo(pdf, QStringLiteral("Page size")).startsWith(points));
        const QString text = pdfText(pdf);
        QVERIFY(text.contains(QLatin1String("Line 1\n")) && text.contains(QLatin1String("Line 10")));
        QVERIFY(!text.contains(QLatin1String("Line 11")));
        QVERIFY(text.contains(QLatin1String("...")) || text.contains(QChar(0x2026)));
        QVERIFY(text.contains(QLatin1String("Mobile")) && text.contains(QLatin1String("E-mail")));
    }

    void fileNameFromTheContact()
    {
        data::Contact c;
        QCOMPARE(report::suggestedFileName(c), QStringLiteral("contact.pdf"));
        c.firstName = QStringLiteral("..Ann/Marie");
        c.secondName = QStringLiteral("O'Neill: \"Jr\"");
        QCOMPARE(report::suggestedFileName(c), QStringLiteral("Ann Marie O'Neill Jr.pdf"));
    }

    // --- the staged row ----------------------------------------------------

    void readsTheStagedRowWithoutWriting()
    {
        testing::ProgramFolder program;
        // As in a book made by hand: a read-write opening would add the index.
        program.exec(QStringLiteral("drop index ix_main_by_order"));
        const QByteArray before = hashOf(program.databasePath());
        data::Connection connection;
        connection.open(program.databasePath(), data::Connection::OpenMode::ReadOnly);
        QVERIFY(!report::readStagedContact(connection));
        QCOMPARE(hashOf(program.databasePath()), before);

        data::Contact staged = everyField();
        stage(program, staged);
        program.exec(QStringLiteral("update printDetails set fax = null, dobYear = 1974"));
        staged.fax.clear();
        QCOMPARE(report::readStagedContact(connection), std::optional<data::Contact>(staged));
        QVERIFY_THROWS_EXCEPTION(data::DataError,
                                 connection.execute(QStringLiteral("delete from printDetails")));
        QCOMPARE(program.rows(QStringLiteral("select count(*) from printDetails")),
                 (QList<QVariantList>{{1}}));
    }

    // --- the tool on the command line ---------------------------------------

    void writesThePdfAndNotTheDatabase()
    {
        testing::ProgramFolder program;
        stage(program, everyField());
        // As in a book made by hand: a read-write opening would add the index.
        program.exec(QStringLiteral("drop index ix_main_by_order"));
        const QByteArray before = hashOf(program.databasePath());
        QTemporaryDir out;
        const QString pdf = out.filePath(QStringLiteral("card.pdf"));
        const Outcome outcome = runReport(
            program, {QStringLiteral("--pdf"), pdf, QStringLiteral("--page-size"), QStringLiteral("letter")});
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY(pdfText(pdf).contains(QLatin1String("Margaret O'Brien")));
        QVERIFY(pdfInfo(pdf, QStringLiteral("Page size")).startsWith(QLatin1String("612 x 792")));
        QCOMPARE(hashOf(program.databasePath()), before);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("database"); // staged, empty, unstaged, missing, damaged, foreign
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("reason");
        const QStringList pdf{QStringLiteral("--pdf"), QStringLiteral("OUT")};
        QTest::newRow("nothing staged") << "empty" << pdf << "No contact is staged for printing";
        QTest::newRow("no staging table") << "unstaged" << pdf << "No contact is staged for printing";
        QTest::newRow("missing database") << "missing" << pdf << "Could not find file";
        QTest::newRow("damaged database") << "damaged" << pdf << "vantrel.mdb";
        QTest::newRow("foreign database") << "foreign" << pdf << "has no table";
        QTest::newRow("unknown page size")
            << "staged" << pdf + QStringList{QStringLiteral("--page-size"), QStringLiteral("A5")} << "A5";
        QTest::newRow("stray argument") << "staged" << pdf + QStringList{QStringLiteral("extra")} << "extra";
    }
    void refusals()
    {
        QFETCH(QString, database);
        QFETCH(QStringList, args);
        QFETCH(QString, reason);
        testing::ProgramFolder program;
        const QString path = program.databasePath();
        if (database == QLatin1String("staged"))
            stage(program, everyField());
        if (database == QLatin1String("unstaged"))
            program.exec(QStringLiteral("drop table printDetails"));
        if (database == QLatin1String("missing") || database == QLatin1String("damaged") ||
            database == QLatin1String("foreign"))
            QVERIFY(QFile::remove(path));
        if (database == QLatin1String("damaged")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, '\x5a').prepend("SQLite format 3"));
        }
        if (database == QLatin1String("foreign")) {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery(db).exec(QStringLiteral("create table notes (text)"));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
        const QByteArray before = hashOf(path);
        QTemporaryDir out;
        args.replaceInStrings(QStringLiteral("OUT"), out.filePath(QStringLiteral("card.pdf")));

        const Outcome outcome = runReport(program, args);
        QVERIFY2(outcome.exitCode > 0, qPrintable(outcome.stderrText));
        // One line of its own says why.
        const QStringList said =
            outcome.stderrText.split(QLatin1Char('\n')).filter(QLatin1String("vantrel-report: "));
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.constFirst().contains(reason), qPrintable(outcome.stderrText));
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral("card.pdf"))));
        QCOMPARE(QFile::exists(path), database != QLatin1String("missing"));
        QCOMPARE(hashOf(path), before);
    }

    // --- the window ----------------------------------------------------------

    void windowByKeyboard()
    {
        ReportWindow window(everyField());
        QTemporaryDir dir;
        QString suggested;
        window.setFileChooser([&](QWidget*, const QString& path) {
            suggested = path;
            return dir.filePath(QStringLiteral("saved"));
        });
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Vantrel Report"));
        QTRY_COMPARE(window.preview()->pageCount(), 1);

        // Enter opens no print dialog.
        bool dialogOpened = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                dialogOpened = true;
                modal->close();
            }
        });
        watch.start(20);
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window, Qt::Key_Return);
        QTest::qWait(200);
        QVERIFY(!dialogOpened);

        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(suggested.endsWith(QLatin1String("/Margaret O'Brien.pdf")));
        QVERIFY(
            pdfText(dir.filePath(QStringLiteral("saved.pdf"))).contains(QLatin1String("Margaret O'Brien")));

        // The program's icon, built in, in small and large sizes.
        const QList<QSize> sizes = QApplication::windowIcon().availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(256, 256)));

        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(!window.isVisible());
    }
};

VANTREL_TEST_MAIN(ReportTest)
#include "tst_report.moc"
