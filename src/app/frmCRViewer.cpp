#include "app/frmCRViewer.h"

#include "ui_frmCRViewer.h"

frmCRViewer::frmCRViewer() = default;
frmCRViewer::~frmCRViewer() = default;

void frmCRViewer::setupControls(QWidget* window)
{
    ui = std::make_unique<Ui::frmCRViewer>();
    ui->setupUi(window);
}

void frmCRViewer::discardControls()
{
    ui.reset();
}
