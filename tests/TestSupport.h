#pragma once

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>
#include <memory>

namespace ui {
class Form;
}

namespace testsupport {

struct Message
{
    QString title;
    QString prompt;
};

// A program folder of its own (data/vantrel.mdb with the three tables, the
// pictures in images/), the shared connection opened on it, message boxes
// recorded instead of shown and the program's end recorded instead of taken.
class Program final
{
public:
    Program();
    ~Program();
    Q_DISABLE_COPY_MOVE(Program)

    QString folder() const { return m_dir.path(); }
    QString databasePath() const { return m_dir.path() + QLatin1String("/data/vantrel.mdb"); }

    // Direct SQL on the database file through a second connection.
    void exec(const QString& sql, const QVariantList& values = {});
    QList<QVariantList> rows(const QString& sql, const QVariantList& values = {});
    void addUser(const QString& user, const QString& password);
    // Columns not given are Null.
    void addContact(const QString& user, const QMap<QString, QVariant>& values);

    QList<Message> messages;
    QStringList prompts() const;
    // The next message boxes do this when answered (after being recorded).
    std::function<void(const Message&)> onMessage;
    bool ended() const;
    int status() const;

private:
    QTemporaryDir m_dir;
    QString m_connectionName;
};

// The named child control of a loaded window.
template <typename T> T* control(const ui::Form& form, const QString& name);

QWidget* openWindow();
void click(QWidget* actionOrButton);
// Alt+letter, Enter or Esc to the window, as a person would press it.
void pressKey(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

} // namespace testsupport

#include "ui/Form.h"

template <typename T> T* testsupport::control(const ui::Form& form, const QString& name)
{
    QWidget* window = form.window();
    if (!window)
        return nullptr;
    return window->findChild<T*>(name);
}

#include "ui/Application.h"

// Runs a test class under the program's own application object, so that a
// failure inside a window handler is reported and ends "the program" as it
// would for a user, instead of escaping into the test.
#define VANTREL_TEST_MAIN(TestObject)                                                                        \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        ui::Application app(argc, argv);                                                                     \
        TestObject test;                                                                                     \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&test, argc, argv);                                                              \
    }
