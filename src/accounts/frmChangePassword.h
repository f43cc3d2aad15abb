#pragma once

#include "ui/Form.h"

namespace Ui {
class frmChangePassword;
}

// Replaces the password of any user on file, given the old one.
class frmChangePassword final : public ui::DesignedForm<Ui::frmChangePassword>
{
    Q_OBJECT
public:
    frmChangePassword();
    ~frmChangePassword() override;

protected:
    void wireControls() override;
    void Form_Load() override;

private:
    void lblModify_Click();
    void oldPasswordDoesNotMatch();
    void lblBack_Click();
    void lblQuit_Click();
};
