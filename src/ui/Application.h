#pragma once

#include <QApplication>

namespace ui {

// The program's application object: its fonts, style and icon.
class Application final : public QApplication
{
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    // Window font and its free stand-in on systems without it.
    static void installFonts();
};

} // namespace ui
