#pragma once

#include "ProgramFolder.h"
#include "Workstation.h"
#include "session/Session.h"

#include <QString>
#include <QWidget>
#include <QtTest>
#include <functional>
#include <initializer_list>

namespace testsupport {

using Rows = QList<QVariantList>;

// Whether the tests run on a server (VANTREL_TEST_ENGINE=postgresql) rather than on a book file.
inline bool onServer()
{
    return testing::ProgramFolder::engineUnderTest() == data::Engine::PostgreSQL;
}

struct Message
{
    QString title;
    QString prompt;
};

// A run of the program over a folder of its own: a fresh session with the
// connection opened on the folder's database, message boxes recorded (and
// answered) instead of shown, the program's end recorded instead of taken.
class Program final
{
public:
    // `prepare` runs on the folder before the program opens its database.
    explicit Program(const std::function<void(const testing::ProgramFolder&)>& prepare = {});
    ~Program();
    Q_DISABLE_COPY_MOVE(Program)

    testing::ProgramFolder folder;
    app::Session& session;

    QList<Message> messages;
    QStringList prompts() const;
    QString lastPrompt() const { return messages.isEmpty() ? QString() : messages.last().prompt; }
    // Runs when a message box is answered, after it is recorded.
    std::function<void(const Message&)> onMessage;
    bool ended() const;
    int status() const;
};

template <typename T> T& window(app::Window which)
{
    return app::session().form<T>(which);
}
// The one open window, if any.
QWidget* openWindow();
// The name of the open window ("frmDetails"), or "none".
QString openWindowName();
// A control of the open window by name; null when there is none.
template <typename T = QWidget> T* find(const QString& name)
{
    QWidget* open = openWindow();
    return open ? open->findChild<T*>(name) : nullptr;
}
// What a control shows (its user property), and whether it is enabled.
QString text(const QString& name);
// The named controls' `property` (by default what they show), joined by '|'.
QString texts(const QStringList& names, const char* property = nullptr);
bool enabled(const QString& name);
// The 22 entry controls of the contact window, in the order of a contact's columns.
QStringList entryControls();

// One thing a user does. Steps run in order; the first that cannot be done
// stops the test with the reason.
struct Step
{
    QString what;
    std::function<bool()> act;
};
// A click: on a label with the mouse (a disabled label gives no click), on a
// button as its access key or mouse would.
Step click(const QString& name);
// New text for a box or an editable list; a list-only drop-down selects the item.
Step type(const QString& name, const QString& typed);
// An item chosen from a list's popup, as with the mouse.
Step choose(const QString& name, const QString& item);
// A key to the open window's focused control (Alt+letter presses an access key).
Step key(Qt::Key pressed, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
Step alt(char letter);
// A window shown, and active.
Step open(app::Window which);
// The contact window opened for a user, as a login does: the open window goes first.
Step openContacts(const QString& user);
[[nodiscard]] bool run(std::initializer_list<Step> steps);

// The contact window as the user sees it.
struct ContactWindow
{
    qsizetype position = 0; // of the current record; -1 at BOF, the count at EOF
    bool editing = false;   // Save on, AddNew/Modify/Search/Print and twins off, entries open
    QString moves = {};     // first, previous, next, last: "1" enabled, "0" disabled
    bool view = false;
    bool changeUser = true;
    bool clear = true;
    bool cancel = true;
    bool adding = false; // the edit-mode flags
    bool modifying = false;
    QStringList outOfLine = {}; // controls that do not fit `editing`

    bool operator==(const ContactWindow&) const = default;
};
ContactWindow contactWindow();
char* toString(const ContactWindow& state);

} // namespace testsupport

#define ONLY_ON_THE_FILE(why)                                                                                \
    if (::testsupport::onServer())                                                                           \
    QSKIP(why)
#define STEPS(...) QVERIFY(::testsupport::run({__VA_ARGS__}))

#include "app/clsConnection.h"
#include "ui/Application.h"

// Runs a test class under the program's own application object, with the
// program's windows made known to the session.
#define VANTREL_TEST_MAIN(TestObject)                                                                        \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        if (argc == 6 && qstrcmp(argv[1], "--workstation") == 0)                                             \
            return testsupport::workstation(argc, argv);                                                     \
        ui::Application app(argc, argv);                                                                     \
        clsConnection::registerWindows();                                                                    \
        TestObject test;                                                                                     \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&test, argc, argv);                                                              \
    }
