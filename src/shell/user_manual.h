#pragma once
// Where the user's manual is, for the Help buttons and the main menu: the PDF in docs/ beside the
// program (a copy handed out with its manual), or the PDF the build made, or else the manual's text.

#include <string>

namespace kyt {

// The first that exists of <program folder>/docs/manual.pdf and the build's docs/manual.pdf; the source
// tree's docs/manual.md when neither does (a build without pandoc or LibreOffice).
std::string UserManualPath();

// The line a Help message ends with, after an empty line: "The user's manual: <path>".
std::string UserManualLine();

}  // namespace kyt
