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

    std::vector<const contacts::BoundField*> numbers;
    for (const contacts::BoundField& field : fields) {
        if (field.field().isNumberBox())
            numbers.push_back(&field);
    }
    std::sort(numbers.begin(), numbers.end(),
              [](const auto* a, const auto* b) { return a->field().check.step < b->field().check.step; });
    for (const contacts::BoundField* box : numbers) {
        if (box->text().size() > box->field().column().digits)
            return refuse(static_cast<QLineEdit*>(box->control()), box->field().tooLong());
    }
    return true;
}
