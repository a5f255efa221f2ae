#pragma once
// The results window's "Save results to file": the chosen columns queried again under the shown
// result's condition, shown in the grid while they are written, the file named in a save-file dialog,
// and the shown result back in the grid afterwards.

#include <QString>
#include <functional>

#include "shell/control.h"

class QWidget;

namespace kyt {

class Form4;

// Asks where to save, offering `suggested` (a file name); an empty answer is a cancelled dialog. A
// save-file dialog while none is set (tests answer without one).
using ChooseSaveFile = std::function<QString(QWidget* parent, const QString& suggested)>;
ChooseSaveFile& saveFileChooser();

void SaveResultsToFile(Control& control, Form4& results);

}  // namespace kyt
