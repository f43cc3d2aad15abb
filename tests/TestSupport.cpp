#include "TestSupport.h"

#include "app/Forms.h"
#include "app/clsConnection.h"
#include "data/Schema.h"
#include "ui/ActionLabel.h"
#include "ui/MessageBox.h"
#include "ui/Program.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

namespace testsupport {

namespace {
bool g_ended = false;
int g_status = 0;
} // namespace

Program::Program() : m_connectionName(QStringLiteral("test-%1").arg(quintptr(this)))
{
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("data"));
    root.mkpath(QStringLiteral("images"));
    for (const char* name : {"vantrel.bmp", "details.bmp", "change.bmp", "sunset2.bmp"})
        QFile::copy(QStringLiteral(VANTREL_IMAGES_DIR "/") + QLatin1String(name),
                    root.filePath(QStringLiteral("images/")) + QLatin1String(name));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(databasePath());
        if (!db.open())
            qFatal("cannot create test database");
        data::schema::create(db);
    }
    ui::program::setFolder(m_dir.path());
    ui::program::resetEnd();
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
    clsConnection::ActiveFormTag.clear();
    clsConnection::CurrentUser.clear();
    clsConnection::OpenConnection();
}

Program::~Program()
{
    clsConnection::Shutdown();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ui::MessageBox::setResponder({});
    ui::program::setEndHandler({});
    ui::program::resetEnd();
    QSqlDatabase::database(m_connectionName, false).close();
    QSqlDatabase::removeDatabase(m_connectionName);
}

void Program::exec(const QString& sql, const QVariantList& values)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    if (!query.prepare(sql))
        QFAIL(qPrintable(query.lastError().text()));
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        QFAIL(qPrintable(query.lastError().text()));
}

QList<QVariantList> Program::rows(const QString& sql, const QVariantList& values)
{
    QList<QVariantList> result;
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    if (!query.prepare(sql)) {
        qWarning() << query.lastError().text();
        return result;
    }
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec()) {
        qWarning() << query.lastError().text();
        return result;
    }
    while (query.next()) {
        QVariantList row;
        for (int i = 0; i < query.record().count(); ++i)
            row << query.value(i);
        result << row;
    }
    return result;
}

void Program::addUser(const QString& user, const QString& password)
{
    exec(QStringLiteral("insert into userMaster (user, Password) values (?, ?)"), {user, password});
}

void Program::addContact(const QString& user, const QMap<QString, QVariant>& values)
{
    QStringList names{QStringLiteral("user")};
    QStringList marks{QStringLiteral("?")};
    QVariantList bound{user};
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        names << QLatin1Char('"') + it.key() + QLatin1Char('"');
        marks << QStringLiteral("?");
        bound << it.value();
    }
    exec(QStringLiteral("insert into main (%1) values (%2)")
             .arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
         bound);
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

void click(QWidget* actionOrButton)
{
    QVERIFY(actionOrButton);
    if (auto* button = qobject_cast<QAbstractButton*>(actionOrButton)) {
        // A click from code bypasses the event loop's failure report: do its part.
        try {
            button->click();
        } catch (const std::exception& error) {
            ui::program::fail(QString::fromUtf8(error.what()));
        }
        return;
    }
    QTest::mouseClick(actionOrButton, Qt::LeftButton);
}

QWidget* openWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && qobject_cast<ui::FormWindow*>(widget))
            return widget;
    }
    return nullptr;
}

void pressKey(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QVERIFY(window);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
    QTest::keyClick(target, key, modifiers);
    // An access key presses its button with a short animation: wait for the click.
    QList<QPointer<QAbstractButton>> pressed;
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (button->isDown())
            pressed << button;
    }
    QTRY_VERIFY(std::all_of(pressed.cbegin(), pressed.cend(), [](const QPointer<QAbstractButton>& button) {
        return button.isNull() || !button->isDown();
    }));
}

} // namespace testsupport
