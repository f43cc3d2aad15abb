#include "TestSupport.h"

#include "contacts/ContactFields.h"
#include "contacts/frmDetails.h"
#include "data/Accounts.h"
#include "data/Connection.h"
#include "data/RecordSet.h"
#include "ui/ActionLabel.h"
#include "ui/Form.h"
#include "ui/MessageBox.h"
#include "ui/Program.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QMetaProperty>
#include <QPlainTextEdit>

namespace testsupport {

namespace {
bool g_ended = false;
int g_status = 0;

QString widgetText(QWidget* control)
{
    return control->metaObject()->userProperty().read(control).toString();
}

// A step on a control of the open window, which must be there.
Step on(const QString& name, const QString& what, std::function<bool(QWidget*)> act)
{
    return {what, [name, act = std::move(act)] {
                QWidget* control = find(name);
                return control && act(control);
            }};
}
} // namespace

Program::Program(const std::function<void(const testing::ProgramFolder&)>& prepare) : session(app::session())
{
    session.reset();
    if (prepare)
        prepare(folder);
    ui::program::setFolder(folder.path());
    g_ended = false;
    g_status = 0;
    ui::program::setEndHandler([](int status) {
        g_ended = true;
        g_status = status;
    });
    ui::MessageBox::setResponder([this](const QString& title, const QString& prompt) {
        messages.append({title, prompt});
        if (onMessage)
            onMessage(messages.last());
    });
    session.OpenConnection();
}

Program::~Program()
{
    session.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QStringList Program::prompts() const
{
    QStringList result;
    for (const Message& message : messages)
        result << message.prompt;
    return result;
}

bool Program::ended() const
{
    return g_ended;
}

int Program::status() const
{
    return g_status;
}

QWidget* openWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && qobject_cast<ui::FormWindow*>(widget))
            return widget;
    }
    return nullptr;
}

QString openWindowName()
{
    QWidget* open = openWindow();
    return open ? open->objectName() : QStringLiteral("none");
}

QString text(const QString& name)
{
    QWidget* control = find(name);
    return control ? widgetText(control) : QStringLiteral("<no %1>").arg(name);
}

QString texts(const QStringList& names, const char* property)
{
    QStringList result;
    for (const QString& name : names)
        result << (property && find(name) ? find(name)->property(property).toString() : text(name));
    return result.join(QLatin1Char('|'));
}

bool enabled(const QString& name)
{
    QWidget* control = find(name);
    return control && control->isEnabled();
}

QStringList entryControls()
{
    QStringList names;
    for (const contacts::FieldControl& field : contacts::contactFields)
        names << QLatin1String(field.control);
    return names;
}

Step click(const QString& name)
{
    return on(name, QStringLiteral("click %1").arg(name), [](QWidget* control) {
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            button->click();
        else
            QTest::mouseClick(control, Qt::LeftButton);
        return true;
    });
}

Step type(const QString& name, const QString& typed)
{
    return on(name, QStringLiteral("type \"%1\" into %2").arg(typed.left(40), name),
              [typed](QWidget* control) {
                  if (control->isEnabled())
                      control->setFocus();
                  if (auto* box = qobject_cast<QPlainTextEdit*>(control)) {
                      box->setPlainText(typed);
                  } else if (auto* list = qobject_cast<QComboBox*>(control); list && !list->isEditable()) {
                      const int item = list->findText(typed, Qt::MatchExactly | Qt::MatchCaseSensitive);
                      if (item < 0)
                          return false;
                      list->setCurrentIndex(item);
                  } else {
                      control->metaObject()->userProperty().write(control, typed);
                  }
                  return true;
              });
}

Step choose(const QString& name, const QString& item)
{
    return on(name, QStringLiteral("choose %1 from %2").arg(item, name), [item](QWidget* control) {
        auto* list = qobject_cast<QComboBox*>(control);
        const int row = list ? list->findText(item, Qt::MatchExactly | Qt::MatchCaseSensitive) : -1;
        if (row < 0)
            return false;
        list->showPopup();
        list->view()->setCurrentIndex(list->model()->index(row, 0));
        QTest::keyClick(list->view(), Qt::Key_Return);
        return true;
    });
}

Step key(Qt::Key pressed, Qt::KeyboardModifiers modifiers)
{
    const QString what = QStringLiteral("press %1").arg(QKeySequence(pressed | modifiers).toString());
    return {what, [pressed, modifiers] {
                QWidget* open = openWindow();
                if (!open)
                    return false;
                open->activateWindow();
                if (!QTest::qWaitForWindowActive(open))
                    return false;
                QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : open;
                QTest::keyClick(target, pressed, modifiers);
                return true;
            }};
}

Step alt(char letter)
{
    return key(Qt::Key(QChar::fromLatin1(letter).toUpper().unicode()), Qt::AltModifier);
}

Step open(app::Window which)
{
    return {QStringLiteral("open a window"), [which] {
                ui::runGuarded([which] { app::session().show(which); });
                return openWindow() && QTest::qWaitForWindowActive(openWindow());
            }};
}

Step openContacts(const QString& user)
{
    return {QStringLiteral("open the contacts of %1").arg(user), [user] {
                app::session().unloadAll(); // as the login window unloads itself
                // A server lets only the person in: signed up with "pw" if need be, and logged in
                // (once per book: the password's check is slow on purpose). Each program's server book
                // has a name of its own; a connection's address may be reused by the next program.
                static std::pair<QString, QString> loggedIn;
                data::Accounts accounts = app::session().accounts();
                const auto book = [] { return app::session().DbConnection().database().databaseName(); };
                if (accounts.onServer() && loggedIn != std::pair(book(), user)) {
                    if ((!accounts.nameTaken(user) && !accounts.signUp(user, "pw")) ||
                        !app::session().logIn(user, "pw"))
                        return false;
                    loggedIn = {book(), user};
                }
                app::session().CurrentUser = user;
                return open(app::Window::Details).act() && openWindowName() == QLatin1String("frmDetails");
            }};
}

bool run(std::initializer_list<Step> steps)
{
    for (const Step& step : steps) {
        if (!step.act()) {
            qWarning("could not %s (open window: %s)", qPrintable(step.what), qPrintable(openWindowName()));
            return false;
        }
    }
    return true;
}

ContactWindow contactWindow()
{
    // Off while adding or modifying, on while browsing.
    const QStringList editActions =
        QStringLiteral("lblAddNew lblModify lblSearch lblPrint cmdAdd cmdModify cmdSearch cmdPrint")
            .split(' ');
    ContactWindow state;
    const auto& details = window<frmDetails>(app::Window::Details);
    if (!details.isLoaded() || !details.contacts())
        return {.position = -2, .outOfLine = {QStringLiteral("not loaded")}};
    state.position = details.contacts()->position();
    state.editing = enabled(QStringLiteral("lblSave"));
    for (const char* move : {"cmdFirst", "cmdPrev", "cmdNext", "cmdLast"})
        state.moves += enabled(QLatin1String(move)) ? QLatin1Char('1') : QLatin1Char('0');
    state.view = enabled(QStringLiteral("lblViewDetails"));
    state.changeUser = enabled(QStringLiteral("lblChangeUser"));
    state.clear = enabled(QStringLiteral("lblClear"));
    state.cancel = enabled(QStringLiteral("lblCancel"));
    state.adding = details.isAdding();
    state.modifying = details.isModifying();
    const QStringList controls = editActions + QStringList{QStringLiteral("cmdSave")} + entryControls();
    for (const QString& name : controls) {
        if (enabled(name) != (state.editing != editActions.contains(name)))
            state.outOfLine << name;
    }
    return state;
}

char* toString(const ContactWindow& s)
{
    const auto flag = [](const char* name, bool on) { return QString::fromLatin1(on ? name : ""); };
    return QTest::toString(
        QStringLiteral("{position %1, %2, moves %3,%4%5%6%7%8%9%10}")
            .arg(s.position)
            .arg(s.editing ? QStringLiteral("editing") : QStringLiteral("browsing"), s.moves,
                 flag(" view", s.view), flag(" changeUser", s.changeUser), flag(" clear", s.clear),
                 flag(" cancel", s.cancel), flag(" adding", s.adding), flag(" modifying", s.modifying))
            .arg(s.outOfLine.isEmpty()
                     ? QString()
                     : QLatin1String(" out of line: ") + s.outOfLine.join(QLatin1Char(' '))));
}

} // namespace testsupport
