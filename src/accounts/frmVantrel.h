#pragma once

#include "ui/Form.h"

namespace Ui {
class frmVantrel;
}

// The login window, which also signs up new users (registration mode).
class frmVantrel final : public ui::DesignedForm<Ui::frmVantrel>
{
    Q_OBJECT
public:
    frmVantrel();
    ~frmVantrel() override;

    bool isNewUserMode() const { return NewUserMode; }

protected:
    void wireControls() override;
    void Form_Load() override;
    void Form_Unload() override;
    bool Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift) override;
    void closeRequested() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void txtUser_GotFocus();
    void lblLogin_Click();
    void Command1_Click();
    void lblCalc_Click();
    void lblChangePassword_Click();
    void lblQuit_Click();

    // Registration (Registration.cpp).
    void lblNewUser_Click();
    void lblSave_Click();
    void ClearEntries();
    void showLoginModeControls();

    // Registration mode; kept across unloads, cleared only by a successful save.
    bool NewUserMode = false;
};
