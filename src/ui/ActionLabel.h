#pragma once

#include <QKeySequence>
#include <QLabel>

namespace ui {

// A label that acts as a link-like button: bold italic 14.25 pt, a pointing
// hand under the mouse, a tooltip, and clicked() on a left click while enabled.
class ActionLabel final : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(bool upright READ isUpright WRITE setUpright)
public:
    explicit ActionLabel(QWidget* parent = nullptr);

    bool isUpright() const;
    void setUpright(bool upright);

    // The access key of the action, held by its twin button; told to assistive technology.
    QKeySequence accessKey() const { return m_accessKey; }
    void setAccessKey(const QKeySequence& key) { m_accessKey = key; }
    // A click, as a mouse gives it: only while enabled.
    void click();

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
    QKeySequence m_accessKey;
};

} // namespace ui

// Designer files name the class without its namespace.
using ActionLabel = ui::ActionLabel;
