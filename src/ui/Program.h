#pragma once

#include <QString>
#include <functional>

// The running program as a whole: where it lives, how it ends, and how an
// unhandled failure is reported.
namespace ui::program {

// The folder that holds the executable (never the working directory).
QString folder();
// Tests run the windows over a program folder of their own.
void setFolder(const QString& path);

// Ends the program with this status: the event loop stops at once.
void end(int status);
bool hasEnded();
int exitStatus();
// Tests observe the end instead of stopping their own event loop.
void setEndHandler(std::function<void(int)> handler);
// Tests: forgets the end and its handler, the folder and the message boxes' responder.
void reset();

// Reports an unhandled failure with its text (a message box and stderr),
// then ends the program with a non-zero status.
void fail(const QString& text);

} // namespace ui::program
