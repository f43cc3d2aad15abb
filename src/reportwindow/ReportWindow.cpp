#include "ReportWindow.h"

#include "report/Card.h"
#include "ui/AccessKeys.h"
#include "ui/Failure.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

// The dialog adds ".pdf" itself, so that its question before replacing a file
// is about the file that will be written.
QString askFileName(QWidget* parent, const QString& suggestedPath)
{
    QFileDialog dialog(parent, QStringLiteral("Save as PDF"), suggestedPath,
                       QStringLiteral("PDF files (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QPushButton* addButton(QDialogButtonBox* box, const QString& text, QDialogButtonBox::ButtonRole role)
{
    QPushButton* button = box->addButton(text, role);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// The preview draws the page to fit, so the window takes its usual size only
// where the screen has room for it, frame included: a 1920x1200 screen at scale
// 2 has 960x600 logical pixels, less the desktop's panels. Centred here, frame
// and all: Qt's own placement guesses a frame of 40 pixels and, on a screen
// this tight, puts the title bar above the screen's edge.
void fitToScreen(QWidget* window)
{
    static constexpr QSize usual(620, 760);
    static constexpr QSize frame(32, 64); // title bar and borders of the usual window managers
    const QRect available = window->screen()->availableGeometry();
    const QSize size = usual.boundedTo(available.size() - frame);
    window->resize(size);
    const QSize margin = (available.size() - size - frame) / 2;
    window->move(available.topLeft() + QPoint(qMax(0, margin.width()), qMax(0, margin.height())));
}

} // namespace

ReportWindow::ReportWindow(data::Contact contact, QWidget* parent)
    : QDialog(parent, Qt::Window), m_contact(std::move(contact)), m_printer(QPrinter::HighResolution),
      m_chooseFile(askFileName)
{
    setWindowTitle(title);
    m_printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    m_printer.setDocName(report::fullName(m_contact));

    m_preview = new QPrintPreviewWidget(&m_printer, this);
    m_preview->setZoomMode(QPrintPreviewWidget::FitInView);
    // The preview is a picture: a screen reader reads the card's text instead.
    m_preview->setAccessibleName(QStringLiteral("Contact card"));
    m_preview->setAccessibleDescription(report::cardDocument(m_contact)->toPlainText());
    connect(m_preview, &QPrintPreviewWidget::paintRequested, this,
            [this](QPrinter* printer) { report::paintCard(m_contact, *printer); });

    auto* buttons = new QDialogButtonBox(this);
    // Every handler under the program's failure policy, as the program's windows.
    ui::connectGuarded(addButton(buttons, QStringLiteral("&Print"), QDialogButtonBox::ActionRole),
                       &QPushButton::clicked, this, [this] { print(); });
    ui::connectGuarded(addButton(buttons, QStringLiteral("&Save as PDF"), QDialogButtonBox::ActionRole),
                       &QPushButton::clicked, this, [this] { saveAsPdf(); });
    ui::connectGuarded(addButton(buttons, QStringLiteral("&Close"), QDialogButtonBox::RejectRole),
                       &QPushButton::clicked, this, [this] { reject(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_preview, 1);
    layout->addWidget(buttons);
    fitToScreen(this);
    ui::pressAccessKeysAtOnce(this);
    m_preview->setFocus();
}

void ReportWindow::print()
{
    QPrintDialog dialog(&m_printer, this);
    dialog.setWindowTitle(QStringLiteral("Print"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_preview->print();
    m_preview->updatePreview(); // the dialog may have changed the paper
}

void ReportWindow::saveAsPdf()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    QString path = m_chooseFile(this, QDir(folder).filePath(report::suggestedFileName(m_contact)));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        path += QLatin1String(".pdf");
    try {
        report::writeCardPdf(m_contact, path, m_printer.pageLayout().pageSize());
    } catch (const report::WriteError& error) {
        throw ui::ShownFailure(error.text(), title); // another folder or name can be chosen
    }
}
