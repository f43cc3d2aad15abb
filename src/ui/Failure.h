#pragma once

#include <QObject>
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
    // A companion's window says its failures under its own title.
    ShownFailure(const QString& text, const QString& title) : ShownFailure(text) { m_title = title; }
    QString text() const { return QString::fromStdString(what()); }
    QString title() const { return m_title; } // empty: the application's title

private:
    QString m_title;
};

// Runs a handler under that policy. Every signal, event and start-up path of
// the windows goes through here, so no failure crosses Qt's own code.
void runGuarded(const std::function<void()>& handler) noexcept;

// Connects a control's signal to a handler that runs under that policy. The
// windows' wiring (ui::Form) and the companions' dialogs both go through here.
template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection connectGuarded(Sender* sender, Signal signal, QObject* context, Handler handler)
{
    return QObject::connect(sender, signal, context, [handler = std::move(handler)] { runGuarded(handler); });
}

} // namespace ui
