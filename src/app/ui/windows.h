#pragma once
// The window program's wiring: what each main-menu button and each results-window button opens, and
// which window is told when another changes what it shows. The window program and its tests share it.

#include "shell/ui/program.h"

namespace kyt {

void ConnectWindows(Program& program);

}  // namespace kyt
