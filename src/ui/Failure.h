#pragma once

#include <QString>
#include <functional>
#include <stdexcept>

namespace ui {

// The program's one policy for a failure that leaves a handler:
// - a ShownFailure (a save that could not be stored) is shown in a message box
//   and the program goes on; whoever throws it has left the window as the
//   user can carry on from;
// - anything else (the engine, a missing picture, a cursor without a current
//   record) is reported with its text and ends the program with status 1.
// The one case some routines ride over, a record set without a current record,
// they test for before they read; it never arrives here from them.
class ShownFailure final : public std::runtime_error
{
public:
    explicit ShownFailure(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

// Runs a handler under that policy. Every signal, event and start-up path of
// the windows goes through here, so no failure crosses Qt's own code.
void runGuarded(const std::function<void()>& handler) noexcept;

} // namespace ui
