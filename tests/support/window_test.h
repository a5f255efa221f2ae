#pragma once
// What every window test uses: a QApplication on the offscreen platform, scripted messages, a
// temporary folder with a Kyt.ini and a database made by kyt-cli, and lookups of named controls.
// Header-only, since only window tests link the widgets.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QWidget>
#include <cstdlib>
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

// A key press and release delivered to `widget` as the window system would, with its text.
inline void keyClick(QWidget* widget, Qt::Key key, const QString& text = {})
{
    QTest::sendKeyEvent(QTest::Click, widget, key, text, Qt::NoModifier);
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
