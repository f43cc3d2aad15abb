// The sub-category list follows the category chosen from the list.
#include "contacts/frmDetails.h"

#include "ui_frmDetails.h"

#include <QKeyEvent>
#include <QScopedValueRollback>

// Only a choice from the list refills the sub-categories. When typed text is
// settled (Enter, or leaving the box) the box selects the equal item as if it
// had been chosen: Enter is ignored there, and leaving does not count.
bool frmDetails::categoryBoxKey(QObject* box, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        return key == Qt::Key_Return || key == Qt::Key_Enter;
    }
    if (event->type() == QEvent::FocusOut) {
        const QScopedValueRollback settling(categoryTextSettling, true);
        static_cast<QObject*>(box)->event(event);
        return true;
    }
    return false;
}

void frmDetails::cbCategory_Click()
{
    if (categoryTextSettling)
        return;
    const QString category = ui->cbCategory->currentText();
    QStringList subCategories;
    if (category == QLatin1String("Friends"))
        subCategories = {QStringLiteral("Home"), QStringLiteral("Office"), QStringLiteral("Institute")};
    else if (category == QLatin1String("Relatives"))
        subCategories = {QStringLiteral("Mom Side"), QStringLiteral("Dad Side")};
    else
        return;
    ui->cbSubCategory->clear();
    ui->cbSubCategory->addItems(subCategories);
    ui->cbSubCategory->setCurrentIndex(-1);
}
