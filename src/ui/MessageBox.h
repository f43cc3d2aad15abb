#pragma once

#include <QString>
#include <functional>

namespace ui {

// The program's one kind of message box: a prompt, a single OK button, no
// icon, modal. Without a title of its own it shows the application title.
class MessageBox final
{
public:
    static inline const QString applicationTitle = QStringLiteral("projVantrel");

    static void show(const QString& prompt, const QString& title = applicationTitle);
    // False without a screen to show a box on (its text then goes to stderr).
    static bool canShow();

    // Tests answer boxes through this instead of a real modal box.
    using Responder = std::function<void(const QString& title, const QString& prompt)>;
    static void setResponder(Responder responder);
};

} // namespace ui
