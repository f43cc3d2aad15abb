#pragma once

#include <QString>

class QLabel;

namespace ui {

// Loads <program folder>/images/<fileName> into a picture control, which
// stretches it over its own size. A missing or unreadable file is a UiError.
void loadPicture(QLabel* target, const QString& fileName);

} // namespace ui
