#pragma once
// Windows enter the program's window registry through here, and are found and placed through it.

#include <QString>
#include <functional>

#include "shell/control.h"

class QWidget;

namespace kyt {

// The main menu's name in the registry. It is registered only to be found: the registry never closes it.
inline constexpr const char* kMainMenuName = "FirstForm";

// Registers `window` under `name` in control.session.Windows: closing the main menu closes it through its own
// close handling; it leaves the registry when it is destroyed. With `owned`, the program destroys it
// at its end (for windows created with new and no parent).
void registerWindow(Control& control, const QString& name, QWidget* window, bool owned = false);

// Registers the main menu, so that task windows can open over it.
void registerMainMenu(Control& control, QWidget* mainMenu);

// The loaded window registered under `name`, or null.
QWidget* findWindow(const Control& control, const QString& name);

// Places `window` centred over the main menu when it is shown, otherwise centred on the screen, inside
// the screen's free area either way.
void centreOnMainMenu(const Control& control, QWidget* window);
// Places `window` centred over the window that opened it, while that one is shown; else as centreOnMainMenu.
void centreOver(const Control& control, QWidget* window, const QWidget* opener);

// Shows the window `name` modeless and brings it forward. The first time it is made with `make`,
// registered (owned) and centred over `opener` (the main menu when none is given); later calls show the
// same window while it is loaded. For the main menu's openers:
//   program.setOpener("OKButton", [&] { showWindow(control, "Form1", [&] { return new Form1(control); }); });
QWidget* showWindow(Control& control, const QString& name, const std::function<QWidget*()>& make,
                    const QWidget* opener = nullptr);

}  // namespace kyt
