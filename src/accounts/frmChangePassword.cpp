#include "accounts/frmChangePassword.h"

#include "app/Session.h"
#include "data/DataError.h"
#include "data/RecordSet.h"
#include "data/Schema.h"
#include "ui/ActionLabel.h"
#include "ui/DesignedFormImpl.h"
#include "ui/MessageBox.h"
#include "ui/Pictures.h"
#include "ui_frmChangePassword.h"

template class ui::DesignedForm<Ui::frmChangePassword>;

using data::schema::columns::password;

frmChangePassword::frmChangePassword() = default;
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
    data::RecordSet users(app::session().DbConnection(), data::statements::allUsers());
    while (!users.eof()) {
        ui->cbUser->addItem(users.value(data::schema::columns::user).toString());
        users.moveNext();
    }
    ui->cbUser->setCurrentIndex(-1);
    users.close();
}

void frmChangePassword::lblModify_Click()
{
    data::RecordSet user(app::session().DbConnection(),
                         data::statements::userToChangePassword(ui->cbUser->currentText()));
    const QVariant stored = user.recordCount() < 1 ? QVariant() : user.value(password);
    if (user.recordCount() < 1) {
        ui::MessageBox::show(QStringLiteral("User Not Selected"));
    } else if (stored.isNull() || stored.toString() != ui->txtOldPassword->text()) {
        oldPasswordDoesNotMatch();
    } else if (ui->txtNewPassword->text() != ui->txtRetypePassword->text()) {
        ui::MessageBox::show(QStringLiteral("New and Confirm Password Does not Match"));
        ui->txtNewPassword->setText(QString());
        ui->txtRetypePassword->setText(QString());
        ui->txtNewPassword->setFocus();
    } else if (ui->txtNewPassword->text().isEmpty() || ui->txtRetypePassword->text().isEmpty()) {
        ui::MessageBox::show(QStringLiteral("Password cannot be left Blank"));
    } else {
        user.setValue(password, ui->txtNewPassword->text());
        try {
            user.update();
        } catch (const data::RowChanged&) {
            // Another workstation changed this password a moment ago: the old
            // one typed here no longer matches, as it would not a moment later.
            user.close();
            oldPasswordDoesNotMatch();
            return;
        }
        ui::MessageBox::show(QStringLiteral("Password is Changed"));
        unload();
        app::session().show(app::Window::Vantrel);
    }
    user.close();
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
