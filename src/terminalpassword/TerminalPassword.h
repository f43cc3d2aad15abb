#pragma once

#include <QString>

// The password a command-line tool asks for: typed at the terminal without
// echo (after the prompt on stderr), or one line piped in by a script. Never
// an argument, where other users' `ps` would see it.
QString readPassword(const QString& prompt = QStringLiteral("Password: "));
