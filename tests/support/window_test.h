#pragma once
// What every window test uses: a QApplication on the offscreen platform, scripted messages, a
// temporary folder with a Kyt.ini and a database made by kyt-cli, and lookups of named controls.
// Header-only, since only window tests link the widgets.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QThread>
#include <QWidget>
#include <cstdlib>
#include <functional>
#include <string>

#include "shell/control.h"
#include "support/scripted_messages.h"
#include "support/temp_dir.h"
#include "support/test_config.h"

namespace kyt::test {

// The main of a window-test program.
inline int runWindowTests(int argc, char** argv)
{
    // Nothing may reach a real screen or wait for a person.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Kyt");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// A control named `name` of class T under `window`; fails the test when there is none.
template <class T>
T* control(const QWidget* window, const char* name)
{
    T* found = window ? window->findChild<T*>(name) : nullptr;
    if (!found)
        ADD_FAILURE() << "no " << name << " in " << (window ? window->objectName().toStdString() : "(no window)");
    return found;
}

inline void click(const QWidget* window, const char* buttonName)
{
    if (auto* button = control<QAbstractButton>(window, buttonName))
        button->click();
}

// A left click (press and release) delivered to `widget` as the window system would.
inline void mouseClick(QWidget* widget)
{
    QPointF at = QRectF(widget->rect()).center();
    QPointF global = widget->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// A key press and release delivered to `widget`.
inline void keyClick(QWidget* widget, Qt::Key key, const QString& text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &release);
}

// Runs the event loop until `done` holds or `limitMs` passed; returns whether it holds. The limit only
// keeps a broken program from hanging the test run.
inline bool waitUntil(const std::function<bool()>& done, int limitMs = 10000)
{
    QDeadlineTimer deadline(limitMs);
    while (!done() && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

// Fixture: a temporary folder, scripted messages and a Control wired to them. Windows made in a test
// must go before the fixture does (they hold the Control by reference).
class WindowTest : public ::testing::Test {
protected:
    WindowTest() { state.session.Messages = &messages; }

    // A database with `branchLines` and a Kyt.ini naming it; state.config.ConfigPath points at it.
    void configure(const std::string& branchLines = "CS,Computer Science\nEC,Electronics\n")
    {
        state.config.ConfigPath = makeConfiguredFolder(dir, branchLines, &database);
    }

    TempDir dir;
    ScriptedMessages messages;
    Control state;
    std::string database;
};

}  // namespace kyt::test
