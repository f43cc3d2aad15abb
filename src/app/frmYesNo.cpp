#include "app/frmYesNo.h"

#include "session/Session.h"
#include "ui/DesignedFormImpl.h"
#include "ui/Pictures.h"
#include "ui/Program.h"
#include "ui_frmYesNo.h"

template class ui::DesignedForm<Ui::frmYesNo>;

frmYesNo::frmYesNo() = default;
frmYesNo::~frmYesNo() = default;

void frmYesNo::wireControls()
{
    wire(ui->lblYes, ui->Command1, &frmYesNo::lblYes_Click, Key::Enter);
    wire(ui->lblNo, ui->Command2, &frmYesNo::lblNo_Click, Key::Esc);
}

void frmYesNo::Form_Load()
{
    ui::loadPicture(ui->imgPic, QStringLiteral("sunset2.bmp"));
}

void frmYesNo::lblYes_Click()
{
    app::session().unloadAll(); // this window last
    ui::program::end(0);
}

void frmYesNo::lblNo_Click()
{
    unload();
    app::session().ShowActiveForm();
}
