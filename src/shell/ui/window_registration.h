#pragma once
// Task windows enter the program's window registry through here.

#include <QString>
#include <functional>

#include "shell/control.h"

class QWidget;

namespace kyt {

// Registers `window` under `name` in control.session.Windows: closing the main menu closes it through its own
// close handling; it leaves the registry when it is destroyed. With `owned`, the program destroys it
// at its end (for windows created with new and no parent).
void registerWindow(Control& control, const QString& name, QWidget* window, bool owned = false);

// The loaded top-level window whose object name (its form's name) is `name`, or null.
QWidget* findWindow(const QString& name);

// Shows the window `name` modeless and brings it forward. The first time it is made with `make` and
// registered, owned; later calls show the same window (a window lives for the rest of the run once
// loaded). For the main menu's openers:
//   program.setOpener("OKButton", [&] { showWindow(control, "Form1", [&] { return new Form1(control); }); });
QWidget* showWindow(Control& control, const QString& name, const std::function<QWidget*()>& make);

}  // namespace kyt
