#pragma once

class QPushButton;
class QStackedWidget;
class QWidget;

namespace ui {

// Makes every button in `window` answer its access key (Alt with the letter
// after "&") at once, as a click, instead of after Qt's press animation: keys
// typed straight after an access key must land where the action put the focus.
void pressAccessKeysAtOnce(QWidget* window);

// Shows one page of a companion's paged window: the focus where its work
// starts, and Enter pressing its own button, never one of a hidden page.
void showPage(QStackedWidget* pages, QWidget* page, QWidget* focus, QPushButton* enterPresses);

} // namespace ui
