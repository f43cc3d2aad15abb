// Signing up new users inside the login window.
#include "accounts/frmVantrel.h"

#include "data/Accounts.h"
#include "data/DataError.h"
#include "session/Session.h"
#include "ui/Failure.h"
#include "ui/MessageBox.h"
#include "ui_frmVantrel.h"

void frmVantrel::lblNewUser_Click()
{
    ui->txtUser->setText(QString());
    ui->txtPassword->setText(QString());
    ui->txtRetypePassword->setText(QString());
    ui->txtUser->setFocus();
    ui->lblRetype_0->show();
    ui->txtRetypePassword->show();
    ui->lblSave->show();
    ui->Line1_5->show();
    ui->lblLogin->setEnabled(false);
    ui->cmdLogin->setEnabled(false);
    NewUserMode = true;
}

namespace {
// Another workstation may sign the same name up between the test and the
// insert; the account is then refused as the test would have refused it.
bool stored(const QString& user, const QString& password)
{
    try {
        return app::session().accounts().signUp(user, password);
    } catch (const data::DataError& error) {
        // Not stored (a server away, a name longer than its index takes):
        // said with the engine's text, and everything typed stays.
        throw ui::ShownFailure(error.description());
    }
}
} // namespace

void frmVantrel::lblSave_Click()
{
    const auto nameTaken = [this] {
        ui::MessageBox::show(QStringLiteral("User Name Already Exist"), QStringLiteral("Kya Karte Ho Yaar"));
        ui->txtUser->setText(QString());
        ui->txtUser->setFocus();
    };
    // The last test repeats the first's answer: the name was taken meanwhile, by another workstation.
    // NOLINTNEXTLINE(bugprone-branch-clone)
    if (app::session().accounts().nameTaken(ui->txtUser->text())) {
        nameTaken();
    } else if (ui->txtUser->text().isEmpty() || ui->txtPassword->text().isEmpty() ||
               ui->txtRetypePassword->text().isEmpty()) {
        ui::MessageBox::show(QStringLiteral("Name or Password Field is Left Blank"));
    } else if (ui->txtPassword->text() != ui->txtRetypePassword->text()) {
        ui::MessageBox::show(QStringLiteral("Password and Retype Password does not match"));
    } else if (!stored(ui->txtUser->text(), ui->txtPassword->text())) {
        nameTaken();
    } else {
        ui->lblSave->hide();
        ui->lblRetype_0->hide();
        ui->txtRetypePassword->hide();
        ui->lblLogin->setEnabled(true);
        ui->cmdLogin->setEnabled(true);
        ui->Line1_5->hide();
        ClearEntries();
        NewUserMode = false;
    }
}

void frmVantrel::ClearEntries()
{
    ui->txtUser->setText(QString());
    ui->txtPassword->setText(QString());
    ui->txtRetypePassword->setText(QString());
}
