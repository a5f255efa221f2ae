#pragma once
// Comma-separated text as spreadsheets read it (RFC 4180): the files Kyt writes for officers to open.

#include <string>

namespace kyt {

// One field: quoted when it holds a comma, a quote or a line break, its quotes doubled. A field that a
// spreadsheet would run as a formula (a leading =, +, -, @, tab or carriage return) gets a leading
// apostrophe.
std::string CsvField(const std::string& text);

}  // namespace kyt
