#pragma once

#include "ui/Failure.h"
#include <QAbstractButton>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

namespace ui {

class ActionLabel;
class FormWindow;

// A window object: one per window for the whole run. Loading builds fresh
// controls from the window's design and runs Form_Load; unloading runs
// Form_Unload and throws the controls away, while the object and its own
// variables live on. Showing is never modal, and at most one window is open.
// When no window is open any more and no handler runs, the program ends.
class Form : public QObject
{
    Q_OBJECT
public:
    ~Form() override;
    Q_DISABLE_COPY_MOVE(Form)

    void show();   // loads first if needed, then shows and activates
    void unload(); // does nothing when not loaded
    bool isLoaded() const { return m_window != nullptr; }
    QWidget* window() const;

    static bool anyLoaded();

protected:
    Form();

    // Builds the controls from the design onto a new window / forgets them.
    virtual void setupControls(QWidget* window) = 0;
    virtual void discardControls() = 0;

    virtual void Form_Load() {}
    virtual void Form_Unload() {}
    // With key preview on, sees every key press in the window before its
    // controls; returning true swallows the key.
    virtual bool Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void setKeyPreview(bool on) { m_keyPreview = on; }
    // Qt draws the focus ring only once the keyboard has moved the focus; a
    // window whose first control is a list shows from the start where typing goes.
    void setFocusRingAtOnce(bool on) { m_focusRingAtOnce = on; }
    // The window manager asks the window to close (its close box, or a key
    // such as Alt+F4 that the window manager keeps for itself). By default
    // the window unloads.
    virtual void closeRequested();

    // What a twin button is besides its access key.
    enum class Key
    {
        None,
        Enter, // the default button
        Esc    // the cancel button
    };
    // Wires an action: a click on its label, a press of its twin button (its
    // access key) and, with a key role, Enter or Esc all run the handler,
    // under the program's failure policy. Either control may be absent.
    void wire(ActionLabel* label, QAbstractButton* twin, std::function<void()> handler, Key key = Key::None);
    template <typename F>
    void wire(ActionLabel* label, QAbstractButton* twin, void (F::*handler)(), Key key = Key::None)
    {
        wire(
            label, twin, [form = static_cast<F*>(this), handler] { (form->*handler)(); }, key);
    }
    // Any other signal of a control (a list's choice, a picture button).
    template <typename Sender, typename Signal, typename F>
    void on(Sender* sender, Signal signal, void (F::*handler)())
    {
        connectGuarded(sender, signal, this, [form = static_cast<F*>(this), handler] { (form->*handler)(); });
    }

private:
    friend class FormWindow;
    void load();
    bool previewKey(QObject* receiver, QKeyEvent* event);

    QPointer<FormWindow> m_window;
    bool m_keyPreview = false;
    bool m_focusRingAtOnce = false;
    bool m_unloading = false;
};

// A window built from a Designer form: its controls live in `ui` while loaded.
// The member definitions are in ui/DesignedFormImpl.h, which each window's
// source includes (with its generated form) to instantiate the template.
template <typename Design> class DesignedForm : public Form
{
protected:
    DesignedForm();
    ~DesignedForm() override;
    // Connects the freshly built controls to the window's handlers.
    virtual void wireControls() = 0;

    std::unique_ptr<Design> ui;

private:
    void setupControls(QWidget* window) final;
    void discardControls() final;
};

// The top-level widget of a loaded form. Enter presses its default button and
// Esc its cancel button, but only when no control used the key first: a key
// that confirms or closes a list's popup, or ends a line of an address, does
// only that.
class FormWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit FormWindow(Form& form);

    void setDefaultButton(QAbstractButton* button) { m_defaultButton = button; }
    void setCancelButton(QAbstractButton* button) { m_cancelButton = button; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Form& m_form;
    QPointer<QAbstractButton> m_defaultButton;
    QPointer<QAbstractButton> m_cancelButton;
};

} // namespace ui
