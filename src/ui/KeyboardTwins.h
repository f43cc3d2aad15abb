#pragma once

class QAbstractButton;

namespace ui {

// Enter presses a window's default button and Esc its cancel button, each only
// while that button is enabled. (Access keys come from the buttons' captions.)
void makeDefaultButton(QAbstractButton* button);
void makeCancelButton(QAbstractButton* button);

} // namespace ui
