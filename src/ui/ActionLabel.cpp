#include "ui/ActionLabel.h"

#include <QBitmap>
#include <QFile>
#include <QMouseEvent>

namespace ui {

namespace {

// The program's own pointing hand, with its hot spot on the fingertip.
QCursor handCursor()
{
    static const QCursor cursor = [] {
        const QPixmap hand(QStringLiteral(":/images/hand.png"));
        if (hand.isNull())
            return QCursor(Qt::PointingHandCursor);
        int x = 7;
        int y = 0;
        QFile hotspot(QStringLiteral(":/images/hand.hotspot"));
        if (hotspot.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> parts = hotspot.readAll().simplified().split(' ');
            if (parts.size() == 2) {
                x = parts[0].toInt();
                y = parts[1].toInt();
            }
        }
        return QCursor(hand, x, y);
    }();
    return cursor;
}

} // namespace

ActionLabel::ActionLabel(QWidget* parent) : QLabel(parent)
{
    QFont font(QStringLiteral("Comic Sans MS"));
    font.setPointSizeF(14.25);
    font.setBold(true);
    font.setItalic(true);
    setFont(font);
    setCursor(handCursor());
    setTextInteractionFlags(Qt::NoTextInteraction);
}

bool ActionLabel::isUpright() const
{
    return !font().italic();
}

void ActionLabel::setUpright(bool upright)
{
    QFont changed = font();
    changed.setItalic(!upright);
    setFont(changed);
}

void ActionLabel::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ActionLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        this->click();
}

void ActionLabel::click()
{
    // A disabled widget receives no mouse events, so no click reaches a disabled label.
    if (isEnabled())
        Q_EMIT clicked();
}

} // namespace ui
