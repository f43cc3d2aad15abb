#include "ui/Pictures.h"

#include "ui/Program.h"
#include "ui/UiError.h"

#include <QFileInfo>
#include <QLabel>
#include <QPixmap>

namespace ui {

void loadPicture(QLabel* target, const QString& fileName)
{
    const QString path = program::folder() + QLatin1String("/images/") + fileName;
    if (!QFileInfo::exists(path))
        throw UiError(QStringLiteral("File not found: %1").arg(path));
    const QPixmap picture(path);
    if (picture.isNull())
        throw UiError(QStringLiteral("Invalid picture: %1").arg(path));
    target->setScaledContents(true);
    target->setPixmap(picture);
}

} // namespace ui
