#pragma once
// Task windows enter the program's window registry through here.

#include <QString>

#include "shell/control.h"

class QWidget;

namespace kyt {

// Registers `window` under `name` in control.Windows: closing the main menu closes it through its own
// close handling; it leaves the registry when it is destroyed. With `owned`, the program destroys it
// at its end (for windows created with new and no parent).
void registerWindow(Control& control, const QString& name, QWidget* window, bool owned = false);

}  // namespace kyt
