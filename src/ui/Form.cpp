#include "ui/Form.h"

#include "ui/AccessKeys.h"
#include "ui/Accessibility.h"
#include "ui/ActionLabel.h"
#include "ui/Program.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <memory>
#include <stdexcept>
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

// An editable list keeps exactly what was typed: no completion from its items,
// and leaving the box or pressing Enter does not turn the text into a choice
// of an item that merely looks alike.
void keepTypedText(QComboBox* list)
{
    list->setCompleter(nullptr);
    QObject::disconnect(list->lineEdit(), &QLineEdit::editingFinished, list, nullptr);
}

// A locked box or list still shows a contact that is read, not edited: its
// text stays dark enough to read (7:1 on the locked background, where the
// style's own grey gives 1.6:1), while the background still tells it is locked.
void keepReadableWhenLocked(QWidget* control)
{
    static const QColor lockedText(0x50, 0x50, 0x50);
    QPalette palette = control->palette();
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText})
        palette.setColor(QPalette::Disabled, role, lockedText);
    control->setPalette(palette);
}

// The windows are drawn on fixed light pictures, so their colours are part of
// their design and do not follow the desktop's scheme: a dark scheme's white
// captions would read 1.1:1 to 1.5:1 on them. Qt's own light palette, as a
// light scheme gives it; only disabled captions and action labels are darker
// than its grey (1.6:1 on the pictures), so that they read at about 3:1, still
// clearly fainter than the enabled ones.
const QPalette& designedPalette()
{
    static const QPalette palette = [] {
        const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
        const QPalette standard = fusion->standardPalette();
        QPalette light; // every role set, so that none is taken from the desktop's palette
        for (int group = 0; group < QPalette::NColorGroups; ++group) {
            for (int role = 0; role < QPalette::NColorRoles; ++role) {
                const auto g = QPalette::ColorGroup(group);
                const auto r = QPalette::ColorRole(role);
                light.setBrush(g, r, standard.brush(g, r));
            }
        }
        light.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
        return light;
    }();
    return palette;
}

void prepareControls(FormWindow* window)
{
    // A text box takes text of any length; only the checks on saving limit it.
    for (QLineEdit* box : window->findChildren<QLineEdit*>()) {
        box->setMaxLength(std::numeric_limits<int>::max());
        keepReadableWhenLocked(box);
    }
    for (QPlainTextEdit* box : window->findChildren<QPlainTextEdit*>())
        keepReadableWhenLocked(box);
    for (QComboBox* list : window->findChildren<QComboBox*>()) {
        keepReadableWhenLocked(list);
        if (list->isEditable())
            keepTypedText(list);
    }
    pressAccessKeysAtOnce(window);
    accessibility::nameControls(window);
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
    // Every move between windows unloads the current one first.
    if (anyLoaded())
        throw std::logic_error("a window was opened while another is still open");
    auto* window = new FormWindow(*this);
    m_window = window;
    loadedForms().push_back(this);
    setupControls(window);
    prepareControls(window);
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
    if (m_focusRingAtOnce) // after showing, which clears it
        m_window->setAttribute(Qt::WA_KeyboardFocusChange);
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

void Form::closeRequested()
{
    unload();
}

void Form::wire(ActionLabel* label, QAbstractButton* twin, std::function<void()> handler, Key key)
{
    const auto run = [handler = std::move(handler)] { runGuarded(handler); };
    if (label)
        connect(label, &ActionLabel::clicked, this, run);
    if (!twin)
        return;
    if (label)
        label->setAccessKey(twin->shortcut());
    connect(twin, &QAbstractButton::clicked, this, run);
    if (key == Key::Enter)
        m_window->setDefaultButton(twin);
    else if (key == Key::Esc)
        m_window->setCancelButton(twin);
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
    setPalette(designedPalette()); // before the controls are built, which take it on
}

void FormWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (m_form.m_window == this)
        runGuarded([this] { m_form.closeRequested(); });
}

void FormWindow::keyPressEvent(QKeyEvent* event)
{
    // Only keys that no control used arrive here.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    QAbstractButton* button = nullptr;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter))
        button = m_defaultButton;
    else if (plain && event->key() == Qt::Key_Escape)
        button = m_cancelButton;
    if (!button) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    button->click(); // a disabled button ignores it
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (m_form.m_window != this)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        bool swallowed = false;
        runGuarded([&] { swallowed = m_form.previewKey(watched, static_cast<QKeyEvent*>(event)); });
        return swallowed;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace ui
