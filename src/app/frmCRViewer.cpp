#include "app/frmCRViewer.h"

#include "ui/DesignedFormImpl.h"
#include "ui_frmCRViewer.h"

template class ui::DesignedForm<Ui::frmCRViewer>;

frmCRViewer::frmCRViewer() = default;
frmCRViewer::~frmCRViewer() = default;
