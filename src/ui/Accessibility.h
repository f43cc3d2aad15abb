#pragma once

class QWidget;

// What assistive technology (a screen reader, through AT-SPI) is told about
// the windows: every control a person reaches is named after its caption.
namespace ui::accessibility {

// Installs the program's own accessible interfaces: action labels as buttons
// that can be pressed, lists named by their caption rather than their value,
// and form windows that leave out what no one sees (the access-key twins,
// rules and background pictures). Once, after the application object.
void install();

// Names each entry control of a form window after the caption on its left
// (the caption becomes its label, its buddy), and each picture button after
// its tooltip; controls named in the design keep their names.
void nameControls(QWidget* window);

} // namespace ui::accessibility
