#pragma once
// Where the user's manual is, for the Help buttons and the main menu: the PDF in docs/ beside the
// program (a copy handed out with its manual), or else in the source tree the program was built from.

#include <string>

namespace kyt {

// The manual's PDF: the first that exists of <program folder>/docs/manual.pdf and the source tree's
// docs/manual.pdf; the source tree's when neither does.
std::string UserManualPath();

// The line a Help message ends with, after an empty line: "The user's manual: <path>".
std::string UserManualLine();

}  // namespace kyt
