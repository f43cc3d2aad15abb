#pragma once

#include "ui/Form.h"

namespace Ui {
class frmYesNo;
}

// The quit confirmation every window goes through.
class frmYesNo final : public ui::DesignedForm<Ui::frmYesNo>
{
    Q_OBJECT
public:
    frmYesNo();
    ~frmYesNo() override;

protected:
    void wireControls() override;
    void Form_Load() override;

private:
    void lblYes_Click();
    void lblNo_Click();
};
