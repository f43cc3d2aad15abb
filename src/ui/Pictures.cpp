#include "ui/Pictures.h"

#include "ui/Program.h"
#include "ui/UiError.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPixmapCache>

namespace ui {

void loadPicture(QLabel* target, const QString& fileName)
{
    const QString path = program::folder() + QLatin1String("/images/") + fileName;
    const QFileInfo file(path);
    if (!file.exists())
        throw UiError(QStringLiteral("File not found: %1").arg(path));

    // Stretched once to the control's size and kept for the next showing.
    const QSize size = target->size();
    const QString key = QStringLiteral("%1|%2x%3|%4")
                            .arg(path)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(file.lastModified().toMSecsSinceEpoch());
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        const QImage image(path);
        if (image.isNull())
            throw UiError(QStringLiteral("Invalid picture: %1").arg(path));
        picture = QPixmap::fromImage(image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        QPixmapCache::insert(key, picture);
    }
    target->setScaledContents(false);
    target->setPixmap(picture);
}

} // namespace ui
