#pragma once

#include <QString>
#include <QStringList>

namespace ui {

// Starts the desktop's calculator as a program of its own, in a normal window.
// The first candidate found on the PATH is started; none found is a UiError.
class Calculator final
{
public:
    static QStringList candidates();
    static void setCandidates(const QStringList& programs); // tests
    static void start();
};

} // namespace ui
