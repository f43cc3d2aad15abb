#include "SyncWindow.h"

#include "StoredPassword.h"
#include "SyncRun.h"
#include "data/Accounts.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "ui/AccessKeys.h"
#include "ui/Failure.h"
#include "ui/MessageBox.h"
#include "ui_SyncWindow.h"

#include <QScopeGuard>
#include <QTime>

SyncWindow::SyncWindow(data::Connection& connection, QWidget* parent)
    : QDialog(parent, Qt::Window), ui(std::make_unique<Ui::SyncWindow>()), m_personal(connection)
{
    ui->setupUi(this);
    ui::pressAccessKeysAtOnce(this);
    // Every handler under the program's failure policy, as the program's windows.
    ui::connectGuarded(ui->cmdLogin, &QPushButton::clicked, this, [this] { logIn(); });
    ui::connectGuarded(ui->cmdSync, &QPushButton::clicked, this, [this] { sync(); });
    for (QPushButton* close : {ui->cmdCloseLogin, ui->cmdCloseSetup})
        ui::connectGuarded(close, &QPushButton::clicked, this, [this] { reject(); });
    showPage(ui->loginPage, ui->txtUser, ui->cmdLogin);
}

SyncWindow::~SyncWindow() = default;

void SyncWindow::showPage(QWidget* page, QWidget* focus, QPushButton* enterPresses)
{
    ui::showPage(ui->pages, page, focus, enterPresses);
}

// Not while a sync runs: its requests wait in event loops within this window's handler.
void SyncWindow::reject()
{
    if (!m_syncing)
        QDialog::reject();
}

void SyncWindow::logIn()
{
    if (!logInToBook()) {
        ui->txtPassword->clear();
        ui::MessageBox::show(QStringLiteral("User or Password does not match"),
                             QStringLiteral("DEDIV ZODEZO"));
        return;
    }
    m_user = ui->txtUser->text();
    ui->setupHint->setText(QStringLiteral("Logged in as %1. Sync brings the address book's changes into your "
                                          "book and sends your book's changes to it; nothing is deleted on "
                                          "the server.")
                               .arg(m_user));
    fillFromLastSetup();
    showPage(ui->setupPage, ui->txtUrl->text().isEmpty() ? ui->txtUrl : ui->txtDavPassword, ui->cmdSync);
}

// True once the name and password match; on a server, the person's own
// connection is kept. A server away is said with its text and the person may
// try again.
bool SyncWindow::logInToBook()
{
    try {
        return m_personal.logIn(ui->txtUser->text(), ui->txtPassword->text());
    } catch (const data::DataError& error) {
        throw ui::ShownFailure(error.description(), title);
    }
}

void SyncWindow::fillFromLastSetup()
{
    const std::optional<booksync::SyncSetup> last = booksync::lastSetup(book(), m_user);
    if (!last)
        return;
    ui->txtUrl->setText(last->addressBook.toString());
    ui->txtDavUser->setText(last->davUser);
}

void SyncWindow::sync()
{
    if (m_syncing) // a click that the client's event loop let through
        return;
    const QUrl address = givenAddress();
    const QString davUser = ui->txtDavUser->text().trimmed();
    if (davUser.isEmpty()) {
        ui->txtDavUser->setFocus();
        throw ui::ShownFailure(QStringLiteral("Give the CardDAV user name."), title);
    }
    // From here the keyring and the server are waited for in local event loops.
    m_syncing = true;
    ui->setupPage->setEnabled(false);
    QWidget* focusAfter = ui->txtDavPassword; // where a password the keyring lacks is typed
    const auto idle = qScopeGuard([this, &focusAfter] {
        m_syncing = false;
        ui->setupPage->setEnabled(true);
        focusAfter->setFocus();
    });
    bool typed = false;
    const QString password = davPassword(address, typed);
    focusAfter = ui->cmdSync;
    ui->txtSummary->clear();
    booksync::SyncSummary summary;
    try {
        summary = syncrun::synchronizeAccount(book(), m_user, {address, davUser, password},
                                              [this](const QString& step) { showProgress(step); });
    } catch (const data::DataError& error) {
        ui->lblStatus->setText(QStringLiteral("The sync stopped."));
        throw ui::ShownFailure(
            QStringLiteral("The sync stopped: the database reported\n%1").arg(error.description()), title);
    }
    ui->txtSummary->setPlainText(summary.toText());
    if (!summary.completed) {
        ui->lblStatus->setText(QStringLiteral("The sync stopped."));
        QString text = syncrun::failureText(summary.error);
        if (!typed && summary.error.kind == davsync::DavError::Kind::Auth)
            text += QStringLiteral(" The password kept in the keyring may be out of date: type the new one.");
        throw ui::ShownFailure(text, title);
    }
    ui->lblStatus->setText(
        QStringLiteral("Synchronised at %1.").arg(QTime::currentTime().toString(u"HH:mm")));
    keepPassword(address, typed);
}

QUrl SyncWindow::givenAddress() const
{
    const QString typed = ui->txtUrl->text().trimmed();
    QUrl address(typed);
    QString refusal;
    if (typed.isEmpty())
        refusal = QStringLiteral("Give the address book's or the server's URL.");
    else if (const davsync::DavError refused = syncrun::checkAddress(address))
        refusal = syncrun::failureText(refused);
    if (!refusal.isEmpty()) {
        ui->txtUrl->setFocus();
        throw ui::ShownFailure(refusal, title);
    }
    return address;
}

// The password typed, else the one kept in the keyring for this account.
QString SyncWindow::davPassword(const QUrl& address, bool& typed) const
{
    typed = !ui->txtDavPassword->text().isEmpty();
    if (typed)
        return ui->txtDavPassword->text();
    const StoredPassword stored(ui->txtDavUser->text().trimmed(), address);
    std::optional<QString> kept;
    try {
        kept = stored.read();
    } catch (const KeyringError& error) {
        throw ui::ShownFailure(error.text(), title);
    }
    if (!kept) {
        throw ui::ShownFailure(
            QStringLiteral("Type the CardDAV password: the keyring holds none for %1.").arg(stored.key()),
            title);
    }
    return *kept;
}

// After a sync the server accepted: the box says whether the keyring keeps
// the password. A keyring that cannot is said in the status line; the sync
// itself went well.
void SyncWindow::keepPassword(const QUrl& address, bool typed)
{
    const StoredPassword stored(ui->txtDavUser->text().trimmed(), address);
    try {
        if (!ui->chkRemember->isChecked()) {
            stored.remove();
        } else if (typed) {
            stored.write(ui->txtDavPassword->text());
            ui->txtDavPassword->clear();
        }
    } catch (const KeyringError& error) {
        ui->lblStatus->setText(ui->lblStatus->text() + QLatin1Char(' ') + error.text());
    }
}

// Each step in the status line, painted at once; what a person does meanwhile
// waits until the sync is over.
void SyncWindow::showProgress(const QString& step)
{
    ui->lblStatus->setText(step);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
