#include "accounts/frmVantrel.h"

#include "session/Session.h"
#include "ui/ActionLabel.h"
#include "ui/Calculator.h"
#include "ui/DesignedFormImpl.h"
#include "ui/MessageBox.h"
#include "ui/Pictures.h"
#include "ui_frmVantrel.h"

#include <QEvent>
#include <QTimer>

template class ui::DesignedForm<Ui::frmVantrel>;

frmVantrel::frmVantrel()
{
    setKeyPreview(true);
}

frmVantrel::~frmVantrel() = default;

void frmVantrel::wireControls()
{
    showLoginModeControls();
    wire(ui->lblLogin, ui->cmdLogin, &frmVantrel::lblLogin_Click);
    wire(ui->lblNewUser, ui->cmdNewUser, &frmVantrel::lblNewUser_Click);
    wire(ui->lblSave, ui->cmdSave, &frmVantrel::lblSave_Click);
    wire(ui->lblChangePassword, ui->cmdChangePassword, &frmVantrel::lblChangePassword_Click);
    wire(ui->lblCalc, ui->cmdCalculator, &frmVantrel::lblCalc_Click);
    wire(ui->lblQuit, ui->cmdQuit, &frmVantrel::lblQuit_Click, Key::Esc);
    wire(nullptr, ui->Command1, &frmVantrel::Command1_Click, Key::Enter);
    ui->txtUser->installEventFilter(this);
    ui->txtUser->setFocus();
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
    app::session().ActiveFormTag = app::tags::formVantrel;
}

bool frmVantrel::Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift)
{
    const auto held = shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (keyCode == Qt::Key_F4 && held == Qt::AltModifier) {
        unload();
        app::session().ConfirmQuit();
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
    app::session().ConfirmQuit();
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
    app::Session& session = app::session();
    if (!session.logIn(ui->txtUser->text(), ui->txtPassword->text())) {
        ui->txtPassword->setText(QString());
        ui::MessageBox::show(QStringLiteral("User or Password does not match"),
                             QStringLiteral("DEDIV ZODEZO"));
    } else {
        session.CurrentUser = ui->txtUser->text();
        unload();
        session.show(app::Window::Details);
    }
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
    app::session().show(app::Window::ChangePassword);
}

void frmVantrel::lblQuit_Click()
{
    unload();
    app::session().ConfirmQuit();
}
