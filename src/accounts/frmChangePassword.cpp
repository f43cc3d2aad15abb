#include "accounts/frmChangePassword.h"

#include "data/Accounts.h"
#include "session/Session.h"
#include "ui/ActionLabel.h"
#include "ui/DesignedFormImpl.h"
#include "ui/MessageBox.h"
#include "ui/Pictures.h"
#include "ui_frmChangePassword.h"

template class ui::DesignedForm<Ui::frmChangePassword>;

frmChangePassword::frmChangePassword()
{
    setFocusRingAtOnce(true); // the window opens on the list of users
}
frmChangePassword::~frmChangePassword() = default;

void frmChangePassword::wireControls()
{
    wire(ui->lblModify, ui->cmdModify, &frmChangePassword::lblModify_Click, Key::Enter);
    wire(ui->lblBack, ui->cmdBack, &frmChangePassword::lblBack_Click);
    wire(ui->lblQuit, ui->cmdQuit, &frmChangePassword::lblQuit_Click, Key::Esc);
    ui->cbUser->setFocus();
}

void frmChangePassword::Form_Load()
{
    ui::loadPicture(ui->imcPic, QStringLiteral("change.bmp"));
    ui->cbUser->addItems(app::session().accounts().userNames());
    ui->cbUser->setCurrentIndex(-1);
}

void frmChangePassword::lblModify_Click()
{
    using Found = data::Accounts::Change::Found;
    const std::unique_ptr<data::Accounts::Change> change =
        app::session().accounts().prove(ui->cbUser->currentText(), ui->txtOldPassword->text());
    if (change->found() == Found::NoAccount) {
        ui::MessageBox::show(QStringLiteral("User Not Selected"));
    } else if (change->found() == Found::OldDoesNotMatch) { // NOLINT(bugprone-branch-clone)
        oldPasswordDoesNotMatch();
    } else if (ui->txtNewPassword->text() != ui->txtRetypePassword->text()) {
        ui::MessageBox::show(QStringLiteral("New and Confirm Password Does not Match"));
        ui->txtNewPassword->setText(QString());
        ui->txtRetypePassword->setText(QString());
        ui->txtNewPassword->setFocus();
    } else if (ui->txtNewPassword->text().isEmpty() || ui->txtRetypePassword->text().isEmpty()) {
        ui::MessageBox::show(QStringLiteral("Password cannot be left Blank"));
    } else if (!change->commit(ui->txtNewPassword->text())) {
        // Another workstation changed this password a moment ago: the old one
        // typed here no longer matches, as it would not a moment later.
        oldPasswordDoesNotMatch();
    } else {
        ui::MessageBox::show(QStringLiteral("Password is Changed"));
        unload();
        app::session().show(app::Window::Vantrel);
    }
}

void frmChangePassword::oldPasswordDoesNotMatch()
{
    ui::MessageBox::show(QStringLiteral("Old Password Does not Match"));
    ui->txtOldPassword->setText(QString());
    ui->txtOldPassword->setFocus();
}

void frmChangePassword::lblBack_Click()
{
    unload();
    app::session().ShowActiveForm();
}

void frmChangePassword::lblQuit_Click()
{
    unload();
    app::session().ActiveFormTag = app::tags::changePassword;
    app::session().ConfirmQuit();
}
