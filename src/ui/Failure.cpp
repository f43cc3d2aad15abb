#include "ui/Failure.h"

#include "ui/MessageBox.h"
#include "ui/Program.h"

namespace ui {

void runGuarded(const std::function<void()>& handler) noexcept
{
    try {
        handler();
    } catch (const ShownFailure& failure) {
        if (failure.title().isEmpty())
            MessageBox::show(failure.text());
        else
            MessageBox::show(failure.text(), failure.title());
    } catch (const std::exception& error) {
        program::fail(QString::fromUtf8(error.what()));
    } catch (...) {
        program::fail(QStringLiteral("Unexpected failure."));
    }
}

} // namespace ui
