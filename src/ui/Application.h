#pragma once

#include <QApplication>

namespace ui {

// The program's application object. A failure that no handler traps ends up
// here: it is reported with its text and the program ends with status 1.
class Application final : public QApplication
{
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Window font and its free stand-in on systems without it.
    static void installFonts();
};

} // namespace ui
