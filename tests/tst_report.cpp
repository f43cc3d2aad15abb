// The report: dates and the card as read back from its PDF, the staged row,
// the tool on the command line (never writing the database), who is printing
// on a server book, and the windows.
#include "ContactItems.h"
#include "Files.h"
#include "Run.h"
#include "TestSupport.h"
#include "reportwindow/ReportLogin.h"
#include "reportwindow/ReportWindow.h"

#include "data/Connection.h"
#include "data/DataError.h"
#include "data/Statements.h"
#include "report/Card.h"
#include "report/StagedContact.h"

#include <QAccessible>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QRegularExpression>
#include <QTimer>

Q_DECLARE_METATYPE(data::Contact)

using namespace report;
using testsupport::click;
using testsupport::make;
using testsupport::onServer;
using testsupport::openContacts;
using testsupport::Program;

namespace {

// What a program run from a folder of no importance to it wrote to its standard output.
QString run(const QString& program, const QStringList& args)
{
    return testsupport::runProgram(program, args, {.folder = QDir::tempPath()}).out;
}

// The text of a PDF, with bidi marks removed and compatibility forms folded:
// the PDF carries Arabic as presentation forms, which fold back to the letters typed.
QString pdfText(const QString& path)
{
    static const QRegularExpression bidiMarks(QStringLiteral("[\\x{200e}\\x{200f}\\x{202a}-\\x{202e}]"));
    return run("pdftotext", {"-enc", "UTF-8", path, "-"})
        .remove(bidiMarks)
        .normalized(QString::NormalizationForm_KC);
}

const data::Contact everyField = make(
    "category=Friends", "subCategory=Sailing club", "firstName=Margaret", "secondName=O'Brien",
    "address=12 Harbour Road\r\nKinsale\nCo. Cork", "phone=4771234", "phone2=4775678", "mobile=0871234567",
    "fax=214771111", "dobDate=7", "dobMonth=3", "dobYear=1974", "aniDate=21", "aniMonth=6", "aniYear=1998",
    "addressOff=Unit 4, Quay Street\nCork", "phoneOff=4902222", "phone2Off=4903333", "mobileOff=0869876543",
    "faxOff=214902244", "EMailH=maggie@example.org", "EMailO=office@harbourworks.example");

// The row Print leaves for the tool to read.
const QString staged = "insert into printDetails (firstName, secondName) values ('Margaret', 'O''Brien')";

// ann and bob each stage a contact of theirs with the program's Print, bob
// last; eve stages nothing. All three have the password "pw".
void annAndBobPrint(Program& program)
{
    for (const char* user : {"ann", "bob", "eve"})
        program.folder.addUser(user, "pw");
    program.folder.addContact("ann", {{"firstName", "Ann's"}, {"secondName", "Card"}});
    program.folder.addContact("bob", {{"firstName", "Bob's"}, {"secondName", "Card"}});
    STEPS(openContacts("ann"), click("lblPrint"), openContacts("bob"), click("lblPrint"));
    program.session.unloadAll();
}

} // namespace

class ReportTest final : public QObject
{
    Q_OBJECT
    QTemporaryDir dir; // for the PDFs written

private Q_SLOTS:
    // --- texts made from a contact's parts --------------------------------

    // Dates as the card shows them, and the file name it suggests: the parts
    // (day, month, year, or first and second name) and the text made of them.
    void texts_data()
    {
        QTest::addColumn<QStringList>("parts");
        for (const char* row :
             {"all|7|3|1980|7 March 1980", "leading zeros|07|03|1980|7 March 1980",
              "month and year||12|1999|December 1999", "day and month|31|1||31 January", "year|||1980|1980",
              "month||9||September", "day|7|||day 7", "day and year|7||1980|day 7, 1980",
              "blanks| | 5 | 2001 |May 2001", "typed year|||about 1950|about 1950",
              "no such month|1|13|1980|1 13 1980", "nothing||||", "file name of no name|||contact.pdf",
              "file name without refused characters|..Ann/Marie|O'Neill: \"Jr\"|Ann Marie O'Neill Jr.pdf"}) {
            const QStringList p = QString::fromUtf8(row).split('|');
            QTest::addRow("%s", qPrintable(p[0])) << p.mid(1);
        }
    }

    void texts()
    {
        QFETCH(QStringList, parts);
        QCOMPARE(parts.size() == 3
                     ? suggestedFileName(make("firstName=" + parts[0], "secondName=" + parts[1]))
                     : dateText(parts[0], parts[1], parts[2]),
                 parts.last());
    }

    // --- the card ----------------------------------------------------------

    // The card's PDF: one page of the paper asked for (A4 when none is), every
    // font inside the file, and the texts it shows: "|" between them, "-"
    // before one it must not show, "=" before all it shows.
    void card_data()
    {
        QTest::addColumn<data::Contact>("contact");
        QTest::addColumn<QString>("texts");
        QTest::addColumn<QPageSize>("paper");
        const auto row = [](const char* name, const data::Contact& contact, const char* texts,
                            const QPageSize& paper = {}) {
            QTest::newRow(name) << contact << QString(texts) << paper;
        };
        row("every field", everyField,
            "Category|Sub-category|Date of birth|Anniversary|Home|Office|Address|Phone|Mobile|Fax|E-mail|"
            "Friends|Sailing club|Margaret O'Brien|4771234|4775678|0871234567|214771111|4902222|4903333|"
            "0869876543|214902244|maggie@example.org|office@harbourworks.example|7 March 1974|"
            "21 June 1998|12 Harbour Road\nKinsale\nCo. Cork|Unit 4, Quay Street\nCork");
        row("blank fields leave nothing", make("firstName=Ann", "address= \n ", "dobMonth= "), "=Ann");
        row("office only", make("secondName=Quinn", "mobileOff=0861112222"),
            "Quinn|0861112222|Office|Mobile|-Home|-Phone");
        // Right to left, CJK and an emoji, which only Symbola has.
        row("other scripts",
            make("firstName=محمد", "secondName=الأحمد", "address=شارع الملك فهد\nالرياض",
                 "addressOff=北京市朝阳区建国路88号", "mobile=☎ 0501234567 😀"),
            "محمد|الأحمد|شارع الملك فهد|الرياض|北京市朝阳区建国路88号|0501234567");
        // Every field far too long: each is cut, with an ellipsis, after 10 lines.
        data::Contact longer;
        for (const data::ContactColumn& column : data::contactColumns)
            longer.*column.member = column.name == QLatin1String("address") ? QString() : QString(1000, 'w');
        for (int i = 1; i <= 5000; ++i)
            longer.address += QStringLiteral("Line %1\n").arg(i);
        const char* cut = "Line 1\n|Line 10|...|Mobile|E-mail|-Line 11";
        row("long fields, A4", longer, cut, QPageSize(QPageSize::A4));
        row("long fields, Letter", longer, cut, QPageSize(QPageSize::Letter));
    }

    void card()
    {
        QFETCH(data::Contact, contact);
        QFETCH(QString, texts);
        QFETCH(QPageSize, paper);
        const QString path = dir.filePath("card.pdf");
        paper.isValid() ? writeCardPdf(contact, path, paper) : writeCardPdf(contact, path);
        const QString info =
            run("pdfinfo", {path}).simplified(); // "... Pages: 1 ... Page size: 595 x 842 pts"
        const QString size = paper == QPageSize(QPageSize::Letter) ? "612 x 792" : "595 x 842";
        QVERIFY2(info.contains("Pages: 1 ") && info.contains("Page size: " + size), qPrintable(info));
        const QString shown = pdfText(path);
        for (const QString& text : texts.split('|')) {
            const QString plain = text.mid(text.startsWith('-') || text.startsWith('=') ? 1 : 0);
            QVERIFY2(text.startsWith('=') ? shown.trimmed() == plain
                                          : shown.contains(plain) != text.startsWith('-'),
                     qPrintable(text + " in:\n" + shown));
        }
        // Every glyph comes from a font inside the file, emoji included.
        const QStringList fonts = run("pdffonts", {path}).split('\n', Qt::SkipEmptyParts).mid(2);
        QCOMPARE(fonts.filter(QRegularExpression("\\syes\\s+\\S+\\s+yes\\s")), fonts);
        QVERIFY(!contact.mobile.contains("😀") || fonts.join(' ').contains("Symbola"));
    }

    // --- the staged row ----------------------------------------------------

    // Staged as Print stages it, but for a Null fax and a year stored as a
    // number; read through a connection that cannot write. (That reading
    // writes nothing, and finds nothing when nothing is staged, is seen on the
    // command line below.)
    void readsTheStagedRow()
    {
        if (onServer())
            QSKIP("A year stored as a number is the file's: a server's column keeps text.");
        testing::ProgramFolder program;
        QVariantList values;
        for (const data::ContactColumn& column : data::contactColumns)
            values << everyField.*column.member;
        program.exec("insert into printDetails values (?" + QString(", ?").repeated(21) + ')', values);
        program.exec("update printDetails set fax = null, dobYear = 1974");
        data::Contact expected = everyField;
        expected.fax.clear();
        data::Connection connection;
        connection.open(program.databasePath(), data::Connection::OpenMode::ReadOnly);
        QCOMPARE(readStagedContact(connection), std::optional<data::Contact>(expected));
        QVERIFY_THROWS_EXCEPTION(data::DataError, connection.execute("delete from printDetails"));
        QCOMPARE(program.rows("select count(*) from printDetails"), (QList<QVariantList>{{1}}));
    }

    // --- the tool on the command line ---------------------------------------

    // A copy of vantrel-report in a program folder, as installed, run with
    // --pdf. It writes the PDF, or says why not on one line of its own; it
    // never writes the database, not even the index that a read-write opening
    // adds to a book made by hand.
    void commandLine_data()
    {
        if (onServer())
            QSKIP("The book file's own cases: missing, damaged or foreign, its log, its bytes unchanged "
                  "(arguments are refused before a book is read). A server's: whoIsPrinting.");
        QTest::addColumn<QString>("database"); // SQL run on it, or missing or damaged
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("reason"); // none when it writes the PDF
        QTest::newRow("Letter page") << staged << QStringList{"--page-size", "letter"} << "";
        // Staged by a program that holds the book open: the row is still only in its log.
        QTest::newRow("staged in the log")
            << "pragma journal_mode = wal; " + staged << QStringList{"--page-size", "letter"} << "";
        const QString none = "No contact is staged for printing";
        QTest::newRow("nothing staged") << "" << QStringList() << none;
        QTest::newRow("no staging table") << "drop table printDetails" << QStringList() << none;
        QTest::newRow("missing database") << "missing" << QStringList() << "Could not find file";
        QTest::newRow("damaged database") << "damaged" << QStringList() << "vantrel.mdb";
        const QString foreign =
            "drop table main; drop table userMaster; drop table printDetails; create table notes (text)";
        QTest::newRow("foreign database") << foreign << QStringList() << "has no table";
        QTest::newRow("unknown page size") << staged << QStringList{"--page-size", "A5"} << "A5";
        QTest::newRow("stray argument") << staged << QStringList{"extra"} << "extra";
    }

    void commandLine()
    {
        QFETCH(QString, database);
        QFETCH(QStringList, args);
        QFETCH(QString, reason);
        testing::ProgramFolder program;
        const QString path = program.databasePath();
        program.exec("drop index ix_main_by_order"); // a read-write opening would add it
        if (database == "missing" || database == "damaged")
            QVERIFY(QFile::remove(path));
        else
            for (const QString& sql : database.split("; ", Qt::SkipEmptyParts))
                program.exec(sql);
        if (database == "damaged")
            QVERIFY(testsupport::writeFile(path, QByteArray(4096, '\x5a').prepend("SQLite format 3")));
        const std::optional<QByteArray> before = testsupport::fileBytes(path);
        const QString pdf = program.path() + "/card.pdf";
        const QString tool = program.path() + "/vantrel-report";
        QVERIFY(QFile::copy(VANTREL_REPORT, tool));

        const testsupport::Finished ran =
            testsupport::runProgram(tool, QStringList{"--pdf", pdf} + args, {.folder = QDir::tempPath()});
        const QStringList said = ran.err.split('\n').filter("vantrel-report: ");
        QVERIFY2(!ran.crashed &&
                     (reason.isEmpty() ? ran.status == 0
                                       : ran.status > 0 && said.size() == 1 && said[0].contains(reason)),
                 qPrintable(ran.err));
        QVERIFY(reason.isEmpty() ? pdfText(pdf).contains("Margaret O'Brien") &&
                                       run("pdfinfo", {pdf}).simplified().contains("Page size: 612 x 792")
                                 : !QFile::exists(pdf));
        QCOMPARE(QFile::exists(path), database != "missing");
        QCOMPARE(testsupport::fileBytes(path), before);
    }

    // Who is printing, named with --user, the password on standard input. A
    // server shows that person's own staged contact and needs the name; the
    // file has one row for everyone (bob's, staged last) and checks a name given.
    void whoIsPrinting()
    {
        Program program;
        annAndBobPrint(program);
        const QString tool = program.folder.path() + "/vantrel-report", pdf = dir.filePath("who.pdf");
        QVERIFY(QFile::copy(VANTREL_REPORT, tool));
        const QString ann = "Ann's Card", bob = "Bob's Card", refused = "User or Password does not match";
        // The arguments, the password, then what a server and the file show: a card, or the reason.
        const QList<QStringList> cases = {
            {"--user ann", "pw", ann, bob},
            {"--user ann", "PW", refused, refused},
            {"--user eve", "pw", "No contact is staged for printing", bob},
            {"", "", "--user NAME is missing: the book is on a server", bob},
            {"--user ann --pdf /no/such/folder/c.pdf", "pw", "Could not write", "Could not write"}};
        for (const QStringList& c : cases) {
            const QString& expected = c[onServer() ? 2 : 3];
            const bool card = expected.endsWith(" Card");
            QFile::remove(pdf);
            const testsupport::Finished ran =
                testsupport::runProgram(tool, QStringList{"--pdf", pdf} + c[0].split(' ', Qt::SkipEmptyParts),
                                        {.input = c[1].toUtf8() + '\n'});
            const QStringList said = ran.err.split('\n').filter("vantrel-report: ");
            const QString shown = card ? pdfText(pdf) : said.join('\n');
            QVERIFY2(ran.status == !card && said.size() == !card && QFile::exists(pdf) == card &&
                         shown.contains(expected) && !shown.contains(expected == ann ? bob : ann),
                     qPrintable(c.join(' ') + ": " + ran.err + shown));
        }
    }

    // --- the windows ---------------------------------------------------------

    // On a server the login comes first: a wrong password is told and tried
    // again; the right one gives a read-only connection and the person's card.
    void logsInBeforeThePreview()
    {
        if (!onServer())
            QSKIP("The book file asks no one: its one staged row is everyone's.");
        Program program;
        annAndBobPrint(program);
        data::Connection book;
        book.openProgramDatabase(program.folder.path(), data::Connection::OpenMode::ReadOnly);
        ReportLogin login(book);
        login.show();
        QVERIFY(QTest::qWaitForWindowActive(&login));
        auto* password = login.findChild<QLineEdit*>("txtPassword");
        QVERIFY(password && password->echoMode() == QLineEdit::Password);
        const auto type = [](const char* text, Qt::Key then) {
            QTest::keyClicks(QApplication::focusWidget(), text);
            QTest::keyClick(QApplication::focusWidget(), then);
        };
        type("ann", Qt::Key_Tab);
        type("wrong", Qt::Key_Return);
        QCOMPARE(program.prompts(), QStringList{"User or Password does not match"});
        QVERIFY(program.messages[0].title == "DEDIV ZODEZO" && login.isVisible() &&
                password->text().isEmpty() && password->hasFocus());
        type("pw", Qt::Key_Return);
        QVERIFY(!login.isVisible() && login.result() == QDialog::Accepted);

        const std::unique_ptr<data::Connection> person = login.takePerson();
        QVERIFY_THROWS_EXCEPTION(data::DataError, person->execute(data::statements::emptyPrintDetails()));
        ReportWindow window(readStagedContact(*person).value());
        window.show();
        QTRY_COMPARE(window.preview()->pageCount(), 1);
        QCOMPARE(window.printer().docName(), "Ann's Card");
    }

    void windowByKeyboard()
    {
        ReportWindow window(everyField);
        QString suggested;
        window.setFileChooser([&](QWidget*, const QString& path) {
            suggested = path;
            return dir.filePath("saved");
        });
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Vantrel Report"));
        QTRY_COMPARE(window.preview()->pageCount(), 1);
        // A screen reader reads the card, which the preview only shows as a picture.
        QVERIFY(QAccessible::queryAccessibleInterface(window.preview())
                    ->text(QAccessible::Description)
                    .contains("Margaret O'Brien"));

        // Enter opens no print dialog: one would be closed, and seen, here.
        bool dialogOpened = false;
        QTimer::singleShot(200, [&] {
            if (QWidget* modal = QApplication::activeModalWidget())
                dialogOpened = modal->close();
        });
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window, Qt::Key_Return);
        QTest::qWait(300);
        QVERIFY(!dialogOpened);

        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(suggested.endsWith("/Margaret O'Brien.pdf"));
        QVERIFY(pdfText(dir.filePath("saved.pdf")).contains("Margaret O'Brien"));

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
