#include "ui/Application.h"

#include "ui/Accessibility.h"
#include "ui/Program.h"

#include <QFont>
#include <QIcon>
#include <QProxyStyle>

namespace ui {

namespace {
// Password boxes show every character as "*".
class VantrelStyle final : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};
} // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("vantrel"));
    setQuitOnLastWindowClosed(false); // the forms decide when the program ends
    installFonts();
    setStyle(new VantrelStyle);
    accessibility::install();
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/apps/vantrel.png").arg(size));
    setWindowIcon(icon);
    setDesktopFileName(QStringLiteral("io.github.vantrel.Vantrel")); // the menu entry, on Wayland
}

void Application::installFonts()
{
    QFont::insertSubstitutions(QStringLiteral("Comic Sans MS"),
                               {QStringLiteral("Comic Neue"), QStringLiteral("Comic Relief")});
}

} // namespace ui
