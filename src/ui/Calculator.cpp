#include "ui/Calculator.h"

#include "ui/UiError.h"

#include <QProcess>
#include <QStandardPaths>

namespace ui {

namespace {
// GNOME's, KDE's and the lighter desktops' calculators, then X's own.
QStringList g_candidates{QStringLiteral("gnome-calculator"),
                         QStringLiteral("kcalc"),
                         QStringLiteral("mate-calc"),
                         QStringLiteral("galculator"),
                         QStringLiteral("qalculate-gtk"),
                         QStringLiteral("speedcrunch"),
                         QStringLiteral("xcalc"),
                         QStringLiteral("calc")};
} // namespace

QStringList Calculator::candidates()
{
    return g_candidates;
}

void Calculator::setCandidates(const QStringList& programs)
{
    g_candidates = programs;
}

void Calculator::start()
{
    for (const QString& name : std::as_const(g_candidates)) {
        const QString path = QStandardPaths::findExecutable(name);
        if (path.isEmpty())
            continue;
        if (!QProcess::startDetached(path, {}))
            throw UiError(QStringLiteral("Could not start %1.").arg(path));
        return;
    }
    throw UiError(QStringLiteral("File not found: calc (no calculator program is installed)"));
}

} // namespace ui
