#pragma once
// Cleaning, normalising and checking the values read from résumé cells, and the pending error text
// that every extraction step reports into. Texts are UTF-8; every count is in characters.

#include <cstdint>
#include <string>

#include "shell/control.h"

namespace kyt {

std::string CleanCellText(std::string& Text);
// Letters of every script are letters: the first letter of each word upper case, the others lower
// case ("MARÍA NÚÑEZ" gives "María Núñez"). Any other character (digit, space, apostrophe, backquote,
// hyphen, full stop...) starts a new word; combining accents belong to the letter before them.
std::string ProperCase(std::string& Text);
std::string CollapseSpaces(std::string& Text);  // changes its argument
std::string DigitsOnly(std::string& Text);
std::string PadDatePart(std::string& Text);
std::string FormatDOB(std::string& Day, std::string& Month, std::string& Year);  // the date or "ERR"
double ParsePercent(std::string& Text);                                          // -1: none found
std::string ClassFromPercent(double Percent);
// Breaks at fixed character counts (Width + 1 characters on the first line, Width on every later
// one, restarting after a carriage return); every line starts with Tabs tab characters and ends
// with CR LF. Line feeds of the text are dropped; its carriage returns become CR LF.
std::string WrapText(std::string& Text, int16_t Width, int16_t Tabs);  // changes its argument

// Kinds of AddError message.
inline constexpr int16_t kPlainLine = 1;  // the driver's own lines
inline constexpr int16_t kError = 2;      // a fault in the résumé: wrapped and counted
inline constexpr int16_t kRemark = 3;     // wrapped, not counted
inline constexpr int16_t kFlush = 4;      // appended, then the pending text goes to control.run.ErrorLog
inline constexpr int16_t kDiscard = 5;    // the pending text (and the message) are dropped

// Appends Message and CR LF to control.run.ErrorText (kinds 2 and 3 wrap Message in place, width 51,
// four tabs, first). Kind 4 then writes ErrorText followed by CR LF to control.run.ErrorLog as one
// record and empties it; when no log is open or the write fails, ErrorText is kept whole so that
// nothing is lost: the next flush carries it, and a failing sink remembers its failure for the run
// to report. Kind 5 empties ErrorText. Kind 2 adds 1 to DocumentErrors and TotalErrors and records the
// fault, unwrapped, at control.run.Place in control.run.DocumentFaults. Any other kind behaves like kind 1.
void AddError(Control& control, std::string& Message, int16_t Kind);
// The same for a message the caller does not keep (a literal, a temporary).
void AddError(Control& control, const std::string& Message, int16_t Kind);

// "Is a number" as every numeric check of the program decides it (marks cells, percentages, roll
// numbers, the query window's bounds): ASCII digits with at most one decimal point ("85", "72.5",
// "85.", ".5"), at least one digit, optionally surrounded by blanks (space, tab, no-break space).
// Nothing else: no sign (a negative mark or percentage is never valid, and ParsePercent's -1 must
// stay unambiguous), no exponent, no thousands separator, no decimal comma.
bool IsNumber(const std::string& text);
// Its value; 0 when IsNumber is false. Digits beyond the range of a double give infinity.
double NumberValue(const std::string& text);

// The first n characters (not bytes) of a UTF-8 text.
std::string FirstChars(const std::string& text, size_t n);
// Characters from position `start` (counted from 0), at most n of them.
std::string MidChars(const std::string& text, size_t start, size_t n = std::string::npos);
size_t CharCount(const std::string& text);

}  // namespace kyt
