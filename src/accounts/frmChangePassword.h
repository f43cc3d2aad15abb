#pragma once

#include "ui/Form.h"

#include <memory>

namespace Ui {
class frmChangePassword;
}

// Replaces the password of any user on file, given the old one.
class frmChangePassword final : public ui::Form
{
    Q_OBJECT
public:
    frmChangePassword();
    ~frmChangePassword() override;

protected:
    void setupControls(QWidget* window) override;
    void discardControls() override;
    void Form_Load() override;

private:
    void lblModify_Click();
    void lblBack_Click();
    void lblQuit_Click();

    std::unique_ptr<Ui::frmChangePassword> ui;
};
