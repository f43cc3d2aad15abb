#include "ui/Form.h"

#include "ui/Program.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <vector>

namespace ui {

namespace {

std::vector<const Form*>& loadedForms()
{
    static std::vector<const Form*> forms;
    return forms;
}

// Runs once the current handler has finished: a handler that unloads its own
// window and shows the next one keeps the program alive.
void endIfNoWindowOpen()
{
    QTimer::singleShot(0, qApp, [] {
        if (!Form::anyLoaded())
            program::end(0);
    });
}

} // namespace

Form::Form() = default;

Form::~Form()
{
    if (m_window) {
        std::erase(loadedForms(), this);
        delete m_window.data();
    }
}

QWidget* Form::window() const
{
    return m_window.data();
}

bool Form::anyLoaded()
{
    return !loadedForms().empty();
}

void Form::load()
{
    auto* window = new FormWindow(*this);
    m_window = window;
    loadedForms().push_back(this);
    setupControls(window);
    // A text box takes text of any length; only the checks on saving limit it.
    for (QLineEdit* box : window->findChildren<QLineEdit*>())
        box->setMaxLength(std::numeric_limits<int>::max());
    if (m_keyPreview)
        qApp->installEventFilter(window);
    Form_Load();
}

void Form::show()
{
    if (!m_window)
        load();
    if (!m_window) // Form_Load may have unloaded it again
        return;
    m_window->show();
    m_window->activateWindow();
}

void Form::unload()
{
    if (!m_window || m_unloading)
        return;
    m_unloading = true;
    Form_Unload();
    FormWindow* window = m_window;
    m_window = nullptr;
    std::erase(loadedForms(), this);
    qApp->removeEventFilter(window);
    // The controls may still signal while they go (a box losing the focus):
    // nothing of theirs reaches the form once it has let go of them.
    for (QObject* control : window->findChildren<QObject*>()) {
        control->disconnect(this);
        control->removeEventFilter(this);
    }
    discardControls();
    window->hide();
    window->deleteLater();
    m_unloading = false;
    endIfNoWindowOpen();
}

void Form::closedFromFrame()
{
    unload();
}

bool Form::Form_KeyDown(int, Qt::KeyboardModifiers)
{
    return false;
}

bool Form::previewKey(QObject* receiver, QKeyEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(receiver);
    if (!widget || widget->window() != m_window)
        return false;
    // A key ignored by a control travels on to its parents: see it only once.
    QWidget* focus = QApplication::focusWidget();
    if (focus ? widget != focus : widget != m_window)
        return false;
    return Form_KeyDown(event->key(), event->modifiers());
}

FormWindow::FormWindow(Form& form) : m_form(form)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void FormWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (m_form.m_window == this)
        m_form.closedFromFrame();
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && m_form.m_window == this)
        return m_form.previewKey(watched, static_cast<QKeyEvent*>(event));
    return QWidget::eventFilter(watched, event);
}

} // namespace ui
