#pragma once
// Cleaning, normalising and checking the values read from résumé cells, and the pending error text
// that every extraction step reports into. Texts are UTF-8; every count is in characters.

#include <cstdint>
#include <string>

#include "shell/control.h"

namespace kyt {

std::string CleanCellText(std::string& Text);
std::string ProperCase(std::string& Text);
std::string CollapseSpaces(std::string& Text);  // changes its argument
std::string DigitsOnly(std::string& Text);
std::string PadDatePart(std::string& Text);
std::string FormatDOB(std::string& Day, std::string& Month, std::string& Year);  // the date or "ERR"
double ParsePercent(std::string& Text);                                          // -1: none found
std::string ClassFromPercent(double Percent);
std::string WrapText(std::string& Text, int16_t Width, int16_t Tabs);  // changes its argument
void AddError(Control& control, std::string& Message, int16_t Kind);

// "Is a number" as every numeric check of the program decides it.
bool IsNumber(const std::string& text);
// Its value; 0 when IsNumber is false.
double NumberValue(const std::string& text);

// The first n characters (not bytes) of a UTF-8 text.
std::string FirstChars(const std::string& text, size_t n);
// Characters from position `start` (counted from 0), at most n of them.
std::string MidChars(const std::string& text, size_t start, size_t n = std::string::npos);
size_t CharCount(const std::string& text);

}  // namespace kyt
