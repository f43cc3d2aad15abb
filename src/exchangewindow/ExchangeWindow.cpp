#include "ExchangeWindow.h"

#include "bookexchange/BookExchange.h"
#include "data/Accounts.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "ui/AccessKeys.h"
#include "ui/Failure.h"
#include "ui/MessageBox.h"
#include "ui_ExchangeWindow.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

QString askFile(QWidget* parent, bool forExport, const QString& current)
{
    const QString filter = QStringLiteral("Contacts (*.vcf *.vcard *.csv);;All files (*)");
    const QString start = current.isEmpty() ? QDir::homePath() : current;
    return forExport ? QFileDialog::getSaveFileName(parent, QStringLiteral("Export to"), start, filter)
                     : QFileDialog::getOpenFileName(parent, QStringLiteral("Import from"), start, filter);
}

constexpr exchange::Format formats[] = {exchange::Format::VCard30, exchange::Format::VCard40,
                                        exchange::Format::VCard21, exchange::Format::Csv,
                                        exchange::Format::CsvThunderbird};

} // namespace

ExchangeWindow::ExchangeWindow(data::Connection& connection, QWidget* parent)
    : QDialog(parent, Qt::Window), ui(std::make_unique<Ui::ExchangeWindow>()), m_personal(connection),
      m_chooseFile(askFile)
{
    ui->setupUi(this);
    ui::pressAccessKeysAtOnce(this);
    for (exchange::Format format : formats)
        ui->cbFormat->addItem(exchange::formatLabel(format));
    // Every handler under the program's failure policy, as the program's windows.
    ui::connectGuarded(ui->cmdLogin, &QPushButton::clicked, this, [this] { logIn(); });
    ui::connectGuarded(ui->cmdBrowse, &QPushButton::clicked, this, [this] { browse(); });
    ui::connectGuarded(ui->txtFile, &QLineEdit::textChanged, this, [this] { guessFormat(); });
    ui::connectGuarded(ui->cbFormat, &QComboBox::activated, this, [this] { m_formatChosen = true; });
    ui::connectGuarded(ui->cmdStart, &QPushButton::clicked, this, [this] { start(); });
    ui::connectGuarded(ui->cmdCancel, &QPushButton::clicked, this, [this] { m_cancelled = true; });
    ui::connectGuarded(ui->cmdAgain, &QPushButton::clicked, this, [this] { anotherFile(); });
    for (QPushButton* close : {ui->cmdCloseLogin, ui->cmdCloseChoice, ui->cmdCloseSummary})
        ui::connectGuarded(close, &QPushButton::clicked, this, [this] { reject(); });
    showPage(ui->loginPage, ui->txtUser, ui->cmdLogin);
}

ExchangeWindow::~ExchangeWindow() = default;

void ExchangeWindow::showPage(QWidget* page, QWidget* focus, QPushButton* enterPresses)
{
    ui::showPage(ui->pages, page, focus, enterPresses);
}

void ExchangeWindow::reject()
{
    if (m_working) // Esc while working cancels the work, and only that
        m_cancelled = true;
    else
        QDialog::reject();
}

void ExchangeWindow::logIn()
{
    if (!logInToBook()) {
        ui->txtPassword->clear();
        ui::MessageBox::show(QStringLiteral("User or Password does not match"),
                             QStringLiteral("DEDIV ZODEZO"));
        return;
    }
    m_user = ui->txtUser->text();
    ui->choiceHint->setText(
        QStringLiteral("Logged in as %1. Import adds contacts to this book; export writes "
                       "them all, in the book's order.")
            .arg(m_user));
    showPage(ui->choicePage, ui->txtFile, ui->cmdStart);
}

// True once the name and password match; on a server, the person's own
// connection is kept. A server away is said with its text and the person may
// try again.
bool ExchangeWindow::logInToBook()
{
    try {
        return m_personal.logIn(ui->txtUser->text(), ui->txtPassword->text());
    } catch (const data::DataError& error) {
        throw ui::ShownFailure(error.description(), title);
    }
}

void ExchangeWindow::browse()
{
    const bool forExport = ui->optExport->isChecked();
    const QString current = ui->txtFile->text().isEmpty() ? m_folder : ui->txtFile->text();
    const QString path = m_chooseFile(this, forExport, current);
    if (path.isEmpty())
        return;
    ui->txtFile->setText(path); // guesses the format
    // The save dialog has asked before choosing a file that exists.
    m_replaceAgreed = forExport ? path : QString();
}

// Shows the format the file will be read or written as; the one the person
// picks in the list instead is used until the file changes.
void ExchangeWindow::guessFormat()
{
    m_formatChosen = false;
    const exchange::Format format = exchange::formatForFile(ui->txtFile->text().trimmed());
    ui->cbFormat->setCurrentIndex(int(std::find(std::begin(formats), std::end(formats), format) - formats));
}

void ExchangeWindow::start()
{
    const QString path = ui->txtFile->text().trimmed();
    if (path.isEmpty()) {
        ui::MessageBox::show(QStringLiteral("Choose a file first."), title);
        ui->txtFile->setFocus();
        return;
    }
    if (ui->optExport->isChecked() && !mayReplace(path)) {
        ui->txtFile->setFocus();
        return;
    }
    m_working = true;
    m_cancelled = false;
    ui->workLabel->setText(ui->optExport->isChecked() ? QStringLiteral("Exporting to %1").arg(path)
                                                      : QStringLiteral("Importing from %1").arg(path));
    ui->progress->setRange(0, 0);
    showPage(ui->workPage, ui->cmdCancel, nullptr); // Enter must not stop the work
    m_exported = ui->optExport->isChecked();
    try {
        if (m_exported)
            runExport(path);
        else
            runImport(path);
    } catch (const data::DataError& error) {
        showSummary(
            QStringLiteral("Nothing was changed: the database reported\n%1").arg(error.description()));
    }
    m_working = false;
}

exchange::Format ExchangeWindow::chosenFormat() const
{
    return formats[ui->cbFormat->currentIndex()];
}

bool ExchangeWindow::mayReplace(const QString& path)
{
    if (!QFileInfo::exists(path) || path == m_replaceAgreed)
        return true;
    const auto answer = QMessageBox::question(
        this, title,
        QStringLiteral("%1 already exists.\nReplace it with the contacts of your book? What it holds now "
                       "will be lost.")
            .arg(path),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return answer == QMessageBox::Yes;
}

// Back to the choice of a file. The file just imported is not offered again:
// an export started by habit would replace the only copy of what the import
// could not keep.
void ExchangeWindow::anotherFile()
{
    const QFileInfo last(ui->txtFile->text().trimmed());
    if (!m_exported) {
        m_folder = last.absolutePath();
        ui->txtFile->clear();
    }
    m_replaceAgreed.clear();
    showPage(ui->choicePage, ui->txtFile, ui->cmdStart);
}

bool ExchangeWindow::working(qint64 done, qint64 total)
{
    // Progress in thousandths, so that byte counts of large files fit.
    ui->progress->setRange(0, total > 0 ? 1000 : 0);
    if (total > 0)
        ui->progress->setValue(int(done * 1000 / total));
    QCoreApplication::processEvents(); // Cancel, Esc and the window's repaint
    return !m_cancelled;
}

void ExchangeWindow::runImport(const QString& path)
{
    exchange::ImportOptions options;
    if (m_formatChosen)
        options.kind = exchange::isCsv(chosenFormat()) ? exchange::FileKind::Csv : exchange::FileKind::VCard;
    const exchange::ImportSummary summary = exchange::importIntoBook(
        book(), m_user, path, options, [this](qint64 done, qint64 total) { return working(done, total); });
    showSummary(summary.toText());
}

void ExchangeWindow::runExport(const QString& path)
{
    const exchange::Format format = m_formatChosen ? chosenFormat() : exchange::formatForFile(path);
    const exchange::ExportResult result = exchange::exportBook(
        book(), m_user, path, format, [this](qint64 done, qint64 total) { return working(done, total); });
    switch (result.outcome) {
    case exchange::Outcome::Completed:
        showSummary(QStringLiteral("Exported %1 contacts to %2 as %3.")
                        .arg(result.written)
                        .arg(path, exchange::formatLabel(format)));
        break;
    case exchange::Outcome::Cancelled:
        showSummary(QStringLiteral("The export was cancelled: no file was written."));
        break;
    case exchange::Outcome::Failed:
        showSummary(QStringLiteral("Nothing was exported.\n%1").arg(result.error));
        break;
    }
}

void ExchangeWindow::showSummary(const QString& text)
{
    ui->txtSummary->setPlainText(text);
    showPage(ui->summaryPage, ui->txtSummary, ui->cmdCloseSummary);
}
