#pragma once

#include "ui/Form.h"

namespace Ui {
class frmCRViewer;
}

// The report viewer window. Reports over the staged contact are made outside
// the program, so nothing shows it; quitting unloads it with the others.
class frmCRViewer final : public ui::DesignedForm<Ui::frmCRViewer>
{
    Q_OBJECT
public:
    frmCRViewer();
    ~frmCRViewer() override;

protected:
    void wireControls() override {}
};
