#pragma once

class QWidget;

namespace ui {

// Makes every button in `window` answer its access key (Alt with the letter
// after "&") at once, as a click, instead of after Qt's press animation: keys
// typed straight after an access key must land where the action put the focus.
void pressAccessKeysAtOnce(QWidget* window);

} // namespace ui
