#pragma once

#include <QAbstractButton>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace ui {

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
    // The window manager asks the window to close (its close box, or a key
    // such as Alt+F4 that the window manager keeps for itself). By default
    // the window unloads.
    virtual void closeRequested();

private:
    friend class FormWindow;
    void load();
    bool previewKey(QObject* receiver, QKeyEvent* event);

    QPointer<FormWindow> m_window;
    bool m_keyPreview = false;
    bool m_unloading = false;
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
    bool accessKey(QAbstractButton* button, QEvent* event);

    Form& m_form;
    QPointer<QAbstractButton> m_defaultButton;
    QPointer<QAbstractButton> m_cancelButton;
};

} // namespace ui
