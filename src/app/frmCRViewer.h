#pragma once

#include "ui/Form.h"

#include <memory>

namespace Ui {
class frmCRViewer;
}

// The report viewer window. Reports over the staged contact are made outside
// the program, so nothing shows it; quitting unloads it with the others.
class frmCRViewer final : public ui::Form
{
    Q_OBJECT
public:
    frmCRViewer();
    ~frmCRViewer() override;

protected:
    void setupControls(QWidget* window) override;
    void discardControls() override;

private:
    std::unique_ptr<Ui::frmCRViewer> ui;
};
