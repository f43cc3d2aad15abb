#include "accounts/frmVantrel.h"

#include "accounts/frmChangePassword.h"
#include "app/Forms.h"
#include "app/clsConnection.h"
#include "contacts/frmDetails.h"
#include "data/RecordSet.h"
#include "ui/Calculator.h"
#include "ui/KeyboardTwins.h"
#include "ui/MessageBox.h"
#include "ui/Pictures.h"
#include "ui_frmVantrel.h"

#include <QEvent>
#include <QTimer>

frmVantrel::frmVantrel()
{
    setKeyPreview(true);
}

frmVantrel::~frmVantrel() = default;

void frmVantrel::setupControls(QWidget* window)
{
    ui = std::make_unique<Ui::frmVantrel>();
    ui->setupUi(window);
    showLoginModeControls();

    connect(ui->lblLogin, &ActionLabel::clicked, this, &frmVantrel::lblLogin_Click);
    connect(ui->lblNewUser, &ActionLabel::clicked, this, &frmVantrel::lblNewUser_Click);
    connect(ui->lblSave, &ActionLabel::clicked, this, &frmVantrel::lblSave_Click);
    connect(ui->lblChangePassword, &ActionLabel::clicked, this, &frmVantrel::lblChangePassword_Click);
    connect(ui->lblCalc, &ActionLabel::clicked, this, &frmVantrel::lblCalc_Click);
    connect(ui->lblQuit, &ActionLabel::clicked, this, &frmVantrel::lblQuit_Click);

    connect(ui->cmdLogin, &QPushButton::clicked, this, &frmVantrel::lblLogin_Click);
    connect(ui->cmdNewUser, &QPushButton::clicked, this, &frmVantrel::lblNewUser_Click);
    connect(ui->cmdSave, &QPushButton::clicked, this, &frmVantrel::lblSave_Click);
    connect(ui->cmdChangePassword, &QPushButton::clicked, this, &frmVantrel::lblChangePassword_Click);
    connect(ui->cmdCalculator, &QPushButton::clicked, this, &frmVantrel::lblCalc_Click);
    connect(ui->cmdQuit, &QPushButton::clicked, this, &frmVantrel::cmdQuit_Click);
    connect(ui->Command1, &QPushButton::clicked, this, &frmVantrel::Command1_Click);
    ui::makeDefaultButton(ui->Command1);
    ui::makeCancelButton(ui->cmdQuit);

    ui->txtUser->installEventFilter(this);
    ui->txtUser->setFocus();
}

void frmVantrel::discardControls()
{
    ui.reset();
}

// Every load shows the login-mode layout, whatever NewUserMode holds.
void frmVantrel::showLoginModeControls()
{
    ui->lblRetype_0->hide();
    ui->txtRetypePassword->hide();
    ui->lblSave->hide();
    ui->Line1_5->hide();
}

void frmVantrel::Form_Load()
{
    ui::loadPicture(ui->imgPic, QStringLiteral("vantrel.bmp"));
}

void frmVantrel::Form_Unload()
{
    clsConnection::ActiveFormTag = QStringLiteral("form vantrel");
}

bool frmVantrel::Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift)
{
    const auto held = shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (keyCode == Qt::Key_F4 && held == Qt::AltModifier) {
        unload();
        clsConnection::ConfirmQuit();
        return true;
    }
    return false;
}

// On a desktop the window manager keeps Alt+F4 for itself and asks the window
// to close instead; the login window answers that like Alt+F4 and Quit, with
// the quit confirmation. The close box asks the same way.
void frmVantrel::closeRequested()
{
    unload();
    clsConnection::ConfirmQuit();
}

bool frmVantrel::eventFilter(QObject* watched, QEvent* event)
{
    if (ui && watched == ui->txtUser && event->type() == QEvent::FocusIn)
        txtUser_GotFocus();
    return ui::Form::eventFilter(watched, event);
}

void frmVantrel::txtUser_GotFocus()
{
    ui->txtUser->selectAll();
    // A mouse click that gave the focus would place the cursor afterwards:
    // select again once the pending events have run.
    QTimer::singleShot(0, ui->txtUser, [box = ui->txtUser] {
        if (box->hasFocus())
            box->selectAll();
    });
}

void frmVantrel::lblLogin_Click()
{
    if (NewUserMode)
        return;
    data::RecordSet users(clsConnection::DbConnection(),
                          data::statements::login(ui->txtUser->text(), ui->txtPassword->text()));
    if (users.recordCount() < 1) {
        ui->txtPassword->setText(QString());
        ui::MessageBox::show(QStringLiteral("User or Password does not match"),
                             QStringLiteral("DEDIV ZODEZO"));
    } else {
        clsConnection::CurrentUser = ui->txtUser->text();
        unload();
        Forms::frmDetails().show();
    }
    users.close();
}

void frmVantrel::Command1_Click()
{
    if (NewUserMode)
        lblSave_Click();
    else
        lblLogin_Click();
}

void frmVantrel::lblCalc_Click()
{
    ui::Calculator::start();
}

void frmVantrel::lblChangePassword_Click()
{
    unload();
    Forms::frmChangePassword().show();
}

void frmVantrel::lblQuit_Click()
{
    unload();
    clsConnection::ConfirmQuit();
}

void frmVantrel::cmdQuit_Click()
{
    lblQuit_Click();
}
