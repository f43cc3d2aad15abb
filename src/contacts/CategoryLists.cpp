// The sub-category list follows the category chosen from the list.
#include "contacts/frmDetails.h"

#include "ui_frmDetails.h"

#include <QKeyEvent>

// Enter in the category box would pick the item equal to the typed text; only
// a choice from the list refills the sub-categories, so the box ignores Enter.
bool frmDetails::isEnterInCategoryBox(QEvent* event)
{
    const int key = static_cast<QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

void frmDetails::cbCategory_Click()
{
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
