// Digit-only number boxes and the checks made before a contact is stored.
#include "contacts/frmDetails.h"

#include "ui/MessageBox.h"
#include "ui_frmDetails.h"

#include <QKeyEvent>
#include <algorithm>

namespace {

constexpr int backspace = 8;

// Only blanks count as padding around a name.
bool isBlank(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c == QLatin1Char(' '); });
}

struct LengthRule
{
    QLineEdit* box;
    int longest;
    const char* message;
};

} // namespace

void frmDetails::DigitsOnly(int& keyAscii)
{
    if (keyAscii < '0' || keyAscii > '9')
        keyAscii = 0;
}

// The KeyPress of the eight number boxes: only digits and backspace get through.
// Keys that type no character (arrows, Delete, Home, End) are not filtered.
bool frmDetails::numberBoxKeyPress(QEvent* event)
{
    const auto* key = static_cast<QKeyEvent*>(event);
    // Tab moves the focus and Delete edits: neither types a character
    // (X11 reports Delete with the DEL character as its text).
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Delete)
        return false;
    const QString typed = key->text();
    if (typed.isEmpty())
        return false;
    int keyAscii = typed.size() == 1 ? typed.at(0).unicode() : 0;
    if (keyAscii == backspace)
        return false;
    DigitsOnly(keyAscii);
    return keyAscii == 0;
}

bool frmDetails::ValidateEntries()
{
    auto refuse = [](QLineEdit* box, const QString& message) {
        ui::MessageBox::show(message);
        box->setText(QString());
        // After a search the boxes are locked: open the one to correct.
        box->setEnabled(true);
        box->setFocus();
        return false;
    };
    if (isBlank(ui->txtFirstName->text()))
        return refuse(ui->txtFirstName, QStringLiteral("Please Enter the First Name"));

    const LengthRule rules[] = {
        {ui->txtPhone1, 7, "Please Enter Phone Number in 7 digits"},
        {ui->txtPhone2, 7, "Please Enter Phone Number in 7 digits"},
        {ui->txtPhone1Office, 7, "Please Enter Phone Number in 7 digits"},
        {ui->txtPhone2Office, 7, "Please Enter Phone Number in 7 digits"},
        {ui->txtMobile, 10, "Please Enter Mobile Number in 10 digits"},
        {ui->txtMobileOffice, 10, "Please Enter Mobile Number in 10 digits"},
        {ui->txtFax, 10, "Please Enter Fax Number in 10 digits"},
        {ui->txtFaxOffice, 10, "Please Enter Fax Number in 10 digits"},
    };
    for (const LengthRule& rule : rules) {
        if (rule.box->text().size() > rule.longest)
            return refuse(rule.box, QString::fromLatin1(rule.message));
    }
    return true;
}
