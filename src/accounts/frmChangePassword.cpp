#include "accounts/frmChangePassword.h"

#include "accounts/frmVantrel.h"
#include "app/Forms.h"
#include "app/clsConnection.h"
#include "data/RecordSet.h"
#include "ui/KeyboardTwins.h"
#include "ui/MessageBox.h"
#include "ui/Pictures.h"
#include "ui_frmChangePassword.h"

frmChangePassword::frmChangePassword() = default;
frmChangePassword::~frmChangePassword() = default;

void frmChangePassword::setupControls(QWidget* window)
{
    ui = std::make_unique<Ui::frmChangePassword>();
    ui->setupUi(window);
    connect(ui->lblModify, &ActionLabel::clicked, this, &frmChangePassword::lblModify_Click);
    connect(ui->lblBack, &ActionLabel::clicked, this, &frmChangePassword::lblBack_Click);
    connect(ui->lblQuit, &ActionLabel::clicked, this, &frmChangePassword::lblQuit_Click);
    connect(ui->cmdModify, &QPushButton::clicked, this, &frmChangePassword::lblModify_Click);
    connect(ui->cmdBack, &QPushButton::clicked, this, &frmChangePassword::lblBack_Click);
    connect(ui->cmdQuit, &QPushButton::clicked, this, &frmChangePassword::lblQuit_Click);
    ui::makeDefaultButton(ui->cmdModify);
    ui::makeCancelButton(ui->cmdQuit);
    ui->cbUser->setFocus();
}

void frmChangePassword::discardControls()
{
    ui.reset();
}

void frmChangePassword::Form_Load()
{
    ui::loadPicture(ui->imcPic, QStringLiteral("change.bmp"));
    data::RecordSet users(clsConnection::DbConnection(), data::statements::allUsers());
    while (!users.eof()) {
        ui->cbUser->addItem(users.value(QStringLiteral("user")).toString());
        users.moveNext();
    }
    ui->cbUser->setCurrentIndex(-1);
    users.close();
}

void frmChangePassword::lblModify_Click()
{
    data::RecordSet user(clsConnection::DbConnection(),
                         data::statements::userToChangePassword(ui->cbUser->currentText()));
    const QVariant stored = user.recordCount() < 1 ? QVariant() : user.value(QStringLiteral("Password"));
    if (user.recordCount() < 1) {
        ui::MessageBox::show(QStringLiteral("User Not Selected"));
    } else if (stored.isNull() || stored.toString() != ui->txtOldPassword->text()) {
        ui::MessageBox::show(QStringLiteral("Old Password Does not Match"));
        ui->txtOldPassword->setText(QString());
        ui->txtOldPassword->setFocus();
    } else if (ui->txtNewPassword->text() != ui->txtRetypePassword->text()) {
        ui::MessageBox::show(QStringLiteral("New and Confirm Password Does not Match"));
        ui->txtNewPassword->setText(QString());
        ui->txtRetypePassword->setText(QString());
        ui->txtNewPassword->setFocus();
    } else if (ui->txtNewPassword->text().isEmpty() || ui->txtRetypePassword->text().isEmpty()) {
        ui::MessageBox::show(QStringLiteral("Password cannot be left Blank"));
    } else {
        user.setValue(QStringLiteral("Password"), ui->txtNewPassword->text());
        user.update();
        ui::MessageBox::show(QStringLiteral("Password is Changed"));
        unload();
        Forms::frmVantrel().show();
    }
    user.close();
}

void frmChangePassword::lblBack_Click()
{
    unload();
    clsConnection::ShowActiveForm();
}

void frmChangePassword::lblQuit_Click()
{
    unload();
    clsConnection::ActiveFormTag = QStringLiteral("change password");
    clsConnection::ConfirmQuit();
}
