// Signing up new users inside the login window.
#include "accounts/frmVantrel.h"

#include "app/Session.h"
#include "data/RecordSet.h"
#include "data/Schema.h"
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

void frmVantrel::lblSave_Click()
{
    data::RecordSet users(app::session().DbConnection(), data::statements::userNamed(ui->txtUser->text()));
    if (users.recordCount() >= 1) {
        ui::MessageBox::show(QStringLiteral("User Name Already Exist"), QStringLiteral("Kya Karte Ho Yaar"));
        ui->txtUser->setText(QString());
        ui->txtUser->setFocus();
    } else if (ui->txtUser->text().isEmpty() || ui->txtPassword->text().isEmpty() ||
               ui->txtRetypePassword->text().isEmpty()) {
        ui::MessageBox::show(QStringLiteral("Name or Password Field is Left Blank"));
    } else if (ui->txtPassword->text() != ui->txtRetypePassword->text()) {
        ui::MessageBox::show(QStringLiteral("Password and Retype Password does not match"));
    } else {
        users.addNew();
        users.setValue(data::schema::columns::user, ui->txtUser->text());
        users.setValue(data::schema::columns::password, ui->txtPassword->text());
        users.update();
        ui->lblSave->hide();
        ui->lblRetype_0->hide();
        ui->txtRetypePassword->hide();
        ui->lblLogin->setEnabled(true);
        ui->cmdLogin->setEnabled(true);
        ui->Line1_5->hide();
        ClearEntries();
        NewUserMode = false;
    }
    users.close();
}

void frmVantrel::ClearEntries()
{
    ui->txtUser->setText(QString());
    ui->txtPassword->setText(QString());
    ui->txtRetypePassword->setText(QString());
}
