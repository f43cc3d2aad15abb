// Quitting from every window, and the routing back by ActiveFormTag.
#include "Cases.h"
#include "TestSupport.h"

#include "ui/Failure.h"

#include <QAccessible>
#include <QMetaEnum>
#include <QPushButton>
#include <QStyleOption>

using namespace testsupport;

class QuitRoutingTest : public QObject
{
    Q_OBJECT

    // "running" or "ended <status>", then the open window.
    static QString state(const Program& program)
    {
        return (program.ended() ? QString("ended %1: ").arg(program.status()) : "running: ") +
               openWindowName();
    }

    // What a screen reader walking the window's tree hears: "role name [key]" for each node.
    static void hear(QAccessibleInterface* node, QMap<QString, QAccessibleInterface*>& heard)
    {
        for (int i = 0; i < node->childCount(); ++i) {
            QAccessibleInterface* child = node->child(i);
            if (child->state().invisible)
                continue;
            const QString key = child->text(QAccessible::Accelerator);
            heard[QString("%1 %2%3").arg(QMetaEnum::fromType<QAccessible::Role>().valueToKey(child->role()),
                                         child->text(QAccessible::Name),
                                         key.isEmpty() ? "" : " [" + key + "]")] = child;
            hear(child, heard);
        }
    }

private Q_SLOTS:
    // Every control a person reaches is named after its caption; the action labels are buttons with
    // their access key; what no one sees (the access-key twins, rules, pictures) is not in the tree.
    void aScreenReaderHearsEachControlByItsCaption()
    {
        Program program;
        const QStringList expected{"ComboBox Date of birth, day",
                                   "ComboBox Anniversary, year",
                                   "ComboBox Sub-category",
                                   "EditableText Name (L)",
                                   "EditableText Phone (O), 2",
                                   "EditableText Address (H)",
                                   "Button Move to the First Record",
                                   "Button Save [Alt+S]",
                                   "Button Login [Alt+L]",
                                   "Button Calculator [Alt+C]",
                                   "ComboBox User Name",
                                   "Button Back [Alt+B]",
                                   "Button Yes [Alt+Y]"};
        QStringList found;
        for (app::Window which :
             {app::Window::Details, app::Window::Vantrel, app::Window::ChangePassword, app::Window::YesNo}) {
            STEPS(which == app::Window::Details ? openContacts("ann") : open(which));
            QMap<QString, QAccessibleInterface*> heard;
            hear(QAccessible::queryAccessibleInterface(openWindow()), heard);
            for (auto [spoken, node] : heard.asKeyValueRange()) {
                const QString name = node->text(QAccessible::Name);
                QVERIFY2(name.size() != 1 && name != "Frame1", qPrintable(spoken));
                QVERIFY2(!node->state().focusable || !name.isEmpty(), qPrintable(spoken));
                if (expected.contains(spoken))
                    found << spoken;
            }
            program.session.unloadAll();
        }
        QCOMPARE(QSet<QString>(found.begin(), found.end()), QSet<QString>(expected.begin(), expected.end()));
    }

    // The boxes are labelled by their captions; an action label is pressed like a button; the Change
    // Password window opens with the ring of keyboard focus on its user list.
    void captionsLabelTheirBoxesAndLabelsPressLikeButtons()
    {
        Program program;
        STEPS(open(app::Window::Vantrel));
        const auto labels =
            QAccessible::queryAccessibleInterface(find("txtPassword"))->relations(QAccessible::Label);
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels[0].first->text(QAccessible::Name), "Password");
        QAccessible::queryAccessibleInterface(find("lblChangePassword"))
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        QTRY_COMPARE(openWindowName(), "frmChangePassword");
        QTRY_VERIFY(find("cbUser")->hasFocus());
        QStyleOption ring;
        ring.initFrom(find("cbUser"));
        QVERIFY(ring.state & QStyle::State_KeyboardFocusChange);
    }

    void eachWindowAsksAndNoLeadsBackByTheTag_data() { addCases("quitrouting/quit-keys.cases"); }

    // The asking window unloads before the confirmation shows, which stands alone; No (a click, or Esc)
    // brings the window named by the tag back, loaded anew.
    void eachWindowAsksAndNoLeadsBackByTheTag()
    {
        QFETCH(Case, sample);
        const QString from = sample["from"], typedInto = sample["typing"], tag = sample["tag"],
                      no = sample["no"];
        const QKeySequence quit(sample["quit"]);
        Program program;
        const QMap<QString, app::Window> windows{{"frmDetails", app::Window::Details},
                                                 {"frmVantrel", app::Window::Vantrel},
                                                 {"frmChangePassword", app::Window::ChangePassword}};
        STEPS(open(windows[from]));
        if (!typedInto.isEmpty())
            STEPS(type(typedInto, "typed"));
        STEPS(key(quit[0].key(), quit[0].keyboardModifiers()));
        QCOMPARE(state(program), "running: frmYesNo");
        QCOMPARE(openWindow()->windowTitle(), "Form1");
        QCOMPARE(program.session.ActiveFormTag, tag);
        STEPS(click(no));
        QCOMPARE(state(program), "running: " + from);
        if (!typedInto.isEmpty())
            QCOMPARE(text(typedInto), "");
        STEPS(key(Qt::Key_Escape), key(Qt::Key_Escape)); // Esc asks, and Esc answers No
        QCOMPARE(state(program), "running: " + from);
        QVERIFY(program.messages.isEmpty());
    }

    void routesThatStayOrGoOn()
    {
        Program program;
        // The contact window's change of user leaves the program running on the login window.
        STEPS(openContacts("ann"), click("lblChangeUser"));
        QCoreApplication::processEvents(); // a deferred end would run here
        QCOMPARE(state(program), "running: frmVantrel");
        // Alt+F4 with Ctrl or Shift held as well gets no answer from the window.
        for (const Qt::KeyboardModifier also : {Qt::ControlModifier, Qt::ShiftModifier}) {
            STEPS(key(Qt::Key_F4, Qt::AltModifier | also));
            QCOMPARE(state(program), "running: frmVantrel");
        }
        // After a quit answered No, the change password window's Back shows it once more.
        STEPS(click("lblChangePassword"), alt('q'), click("lblNo"));
        const QPointer<QWidget> before = openWindow();
        STEPS(alt('b'));
        QCOMPARE(state(program), "running: frmChangePassword");
        QTRY_VERIFY(before.isNull());
        // A disabled Enter or Esc button answers no key; enabled again, Enter answers Yes, with no
        // further question.
        STEPS(alt('q'));
        for (const char* button : {"Command1", "Command2"})
            find<QPushButton>(button)->setEnabled(false);
        STEPS(key(Qt::Key_Return), key(Qt::Key_Escape));
        QCOMPARE(state(program), "running: frmYesNo");
        find<QPushButton>("Command1")->setEnabled(true);
        STEPS(key(Qt::Key_Enter));
        QCOMPARE(state(program), "ended 0: none");
        QVERIFY(program.messages.isEmpty());
    }

    // Each with a fresh program: Yes, No with a tag that differs only in case, the login window and then
    // the confirmation closed from their frames, the confirmation's picture missing.
    void eachWayTheProgramEnds_data()
    {
        QTest::addColumn<QString>("way");
        for (const char* way : {"yes", "tag", "frame", "picture"})
            QTest::newRow(way) << way;
    }

    void eachWayTheProgramEnds()
    {
        QFETCH(QString, way);
        Program program;
        QVERIFY(way != "picture" || QFile::remove(program.folder.path() + "/images/sunset2.bmp"));
        STEPS(open(app::Window::Vantrel));
        if (way == "frame") // the login window asks, like Alt+F4, which a window manager turns into this
            openWindow()->close();
        else
            STEPS(click("lblQuit"));
        if (way == "picture") {
            QCOMPARE(state(program), "ended 1: none");
            QVERIFY(program.lastPrompt().contains("sunset2.bmp"));
            return;
        }
        QCOMPARE(state(program), "running: frmYesNo");
        if (way == "frame") { // the confirmation, closed from its frame, leaves no window
            openWindow()->close();
        } else if (way == "tag") {
            program.session.ActiveFormTag = "Form Vantrel";
            STEPS(click("lblNo"));
        } else {
            STEPS(click("lblYes"));
        }
        QTRY_COMPARE(state(program), "ended 0: none");
    }

    // Only one window is ever open: a second one opening is a failure the program does not survive.
    void aSecondWindowNeverOpensBesideTheFirst()
    {
        Program program;
        STEPS(open(app::Window::Vantrel));
        ui::runGuarded([&] { program.session.show(app::Window::YesNo); });
        QCOMPARE(program.status(), 1);
        QVERIFY(program.lastPrompt().contains("another is still open"));
    }
};

VANTREL_TEST_MAIN(QuitRoutingTest)
#include "tst_quitrouting.moc"
