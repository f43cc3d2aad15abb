// The sub-category list follows the category chosen from the list.
#include "contacts/frmDetails.h"

#include "ui_frmDetails.h"

// Runs on a choice from the list (mouse or arrow keys); typed text is no choice.
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
