// The report: dates and the card as read back from its PDF, the staged row,
// the tool on the command line (never writing the database), who is printing
// on a server book, and the windows.
#include "Cases.h"
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

using namespace report;
using testsupport::Case;
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

const data::Contact everyField =
    testsupport::contactsIn(
        QString::fromUtf8(
            testsupport::fileBytes(VANTREL_SAMPLES "/report/every-field.contacts").value_or("")))
        .value(0);

// The contact of a card case: one the test makes, or its fields.
data::Contact contactOf(const Case& sample)
{
    data::Contact contact = sample["contact"] == "every field" ? everyField : data::Contact();
    if (sample["contact"] == "long fields") {
        for (const data::ContactColumn& column : data::contactColumns)
            contact.*column.member = column.name == QLatin1String("address") ? QString() : QString(1000, 'w');
        for (int i = 1; i <= 5000; ++i)
            contact.address += QStringLiteral("Line %1\n").arg(i);
    }
    for (const QString& item : sample.all("field"))
        testsupport::setItem(contact, item);
    return contact;
}

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

    // Dates as the card shows them, and the file name it suggests (report/texts.cases).
    void texts_data() { testsupport::addCases("report/texts.cases"); }

    void texts()
    {
        QFETCH(Case, sample);
        const QStringList date = sample["date"].split('|'), names = sample["names"].split('|');
        QCOMPARE(sample["names"].isNull()
                     ? dateText(date.value(0), date.value(1), date.value(2))
                     : suggestedFileName(make("firstName=" + names.value(0), "secondName=" + names.value(1))),
                 sample["gives"]);
    }

    // --- the card ----------------------------------------------------------

    // The card's PDF: one page of the paper asked for (A4 when none is), every
    // font inside the file, and the texts it shows and does not (report/cards.cases).
    void card_data() { testsupport::addCases("report/cards.cases"); }

    void card()
    {
        QFETCH(Case, sample);
        const data::Contact contact = contactOf(sample);
        const QString path = dir.filePath("card.pdf");
        const bool letter = sample["paper"] == "Letter";
        sample["paper"].isNull()
            ? writeCardPdf(contact, path)
            : writeCardPdf(contact, path, QPageSize(letter ? QPageSize::Letter : QPageSize::A4));
        const QString info =
            run("pdfinfo", {path}).simplified(); // "... Pages: 1 ... Page size: 595 x 842 pts"
        const QString size = letter ? "612 x 792" : "595 x 842";
        QVERIFY2(info.contains("Pages: 1 ") && info.contains("Page size: " + size), qPrintable(info));
        const QString shown = pdfText(path);
        for (const QString& text : sample.all("shows"))
            QVERIFY2(shown.contains(text), qPrintable(text + " in:\n" + shown));
        for (const QString& text : sample.all("hides"))
            QVERIFY2(!shown.contains(text), qPrintable(text + " in:\n" + shown));
        if (!sample["only"].isNull())
            QCOMPARE(shown.trimmed(), sample["only"]);
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
        testsupport::addCases("report/command-line.cases");
    }

    void commandLine()
    {
        QFETCH(Case, sample);
        const QString book = sample["book"], reason = sample["says"];
        testing::ProgramFolder program;
        const QString path = program.databasePath();
        program.exec("drop index ix_main_by_order"); // a read-write opening would add it
        if (!book.isNull())
            QVERIFY(QFile::remove(path));
        for (const QString& sql : sample.all("sql"))
            program.exec(sql);
        if (book == "damaged")
            QVERIFY(testsupport::writeFile(path, QByteArray(4096, '\x5a').prepend("SQLite format 3")));
        const std::optional<QByteArray> before = testsupport::fileBytes(path);
        const QString pdf = program.path() + "/card.pdf";
        const QString tool = program.path() + "/vantrel-report";
        QVERIFY(QFile::copy(VANTREL_REPORT, tool));

        const testsupport::Finished ran = testsupport::runProgram(
            tool, QStringList{"--pdf", pdf} + sample.all("arg"), {.folder = QDir::tempPath()});
        const QStringList said = ran.err.split('\n').filter("vantrel-report: ");
        QVERIFY2(!ran.crashed &&
                     (reason.isEmpty() ? ran.status == 0
                                       : ran.status > 0 && said.size() == 1 && said[0].contains(reason)),
                 qPrintable(reason + " in:\n" + ran.err));
        QVERIFY(reason.isEmpty() ? pdfText(pdf).contains("Margaret O'Brien") &&
                                       run("pdfinfo", {pdf}).simplified().contains("Page size: 612 x 792")
                                 : !QFile::exists(pdf));
        QCOMPARE(QFile::exists(path), book != "missing");
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
        const QString ann = "Ann's Card", bob = "Bob's Card";
        for (const Case& c : testsupport::casesIn("report/who-is-printing.cases")) {
            const QString expected = c[onServer() ? "server" : "file"];
            const bool card = expected.endsWith(" Card");
            QFile::remove(pdf);
            const testsupport::Finished ran = testsupport::runProgram(
                tool, QStringList{"--pdf", pdf} + c["args"].split(' ', Qt::SkipEmptyParts),
                {.input = c["password"].toUtf8() + '\n'});
            const QStringList said = ran.err.split('\n').filter("vantrel-report: ");
            const QString shown = card ? pdfText(pdf) : said.join('\n');
            QVERIFY2(ran.status == !card && said.size() == !card && QFile::exists(pdf) == card &&
                         shown.contains(expected) && !shown.contains(expected == ann ? bob : ann),
                     qPrintable(c.name + ": " + ran.err + shown));
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
