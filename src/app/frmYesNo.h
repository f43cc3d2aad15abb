#pragma once

#include "ui/Form.h"

#include <memory>

namespace Ui {
class frmYesNo;
}

// The quit confirmation every window goes through.
class frmYesNo final : public ui::Form
{
    Q_OBJECT
public:
    frmYesNo();
    ~frmYesNo() override;

protected:
    void setupControls(QWidget* window) override;
    void discardControls() override;
    void Form_Load() override;

private:
    void lblYes_Click();
    void lblNo_Click();

    std::unique_ptr<Ui::frmYesNo> ui;
};
