#include "app/frmYesNo.h"

#include "accounts/frmChangePassword.h"
#include "accounts/frmVantrel.h"
#include "app/Forms.h"
#include "app/clsConnection.h"
#include "app/frmCRViewer.h"
#include "contacts/frmDetails.h"
#include "ui/KeyboardTwins.h"
#include "ui/Pictures.h"
#include "ui/Program.h"
#include "ui_frmYesNo.h"

frmYesNo::frmYesNo() = default;
frmYesNo::~frmYesNo() = default;

void frmYesNo::setupControls(QWidget* window)
{
    ui = std::make_unique<Ui::frmYesNo>();
    ui->setupUi(window);
    connect(ui->lblYes, &ActionLabel::clicked, this, &frmYesNo::lblYes_Click);
    connect(ui->lblNo, &ActionLabel::clicked, this, &frmYesNo::lblNo_Click);
    connect(ui->Command1, &QPushButton::clicked, this, &frmYesNo::lblYes_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &frmYesNo::lblNo_Click);
    ui::makeDefaultButton(ui->Command1);
    ui::makeCancelButton(ui->Command2);
}

void frmYesNo::discardControls()
{
    ui.reset();
}

void frmYesNo::Form_Load()
{
    ui::loadPicture(ui->imgPic, QStringLiteral("sunset2.bmp"));
}

void frmYesNo::lblYes_Click()
{
    Forms::frmVantrel().unload();
    Forms::frmChangePassword().unload();
    Forms::frmCRViewer().unload();
    Forms::frmDetails().unload();
    unload();
    ui::program::end(0);
}

void frmYesNo::lblNo_Click()
{
    unload();
    clsConnection::ShowActiveForm();
}
