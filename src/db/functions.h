#pragma once
// SQL functions the program's statements call that SQLite does not have, or has with other meanings.

#include <optional>
#include <string_view>

#include "db/failure.h"

struct sqlite3;

namespace kyt::db {

// CInt, CDate, Now and format on every connection; on the query road also LIKE with its wildcards.
// Returns the SQLite result code of the first registration that failed, or 0.
int registerFunctions(sqlite3* db, Road road);

// Dates are day numbers with the time as the fraction, day 0 being 30 December 1899, so that the
// difference of two dates is a number of days.
double daySerial(int year, int month, int day);

// A date written day first (05-11-1982, 5/11/82), or year first with four digits (1982-11-05).
std::optional<double> parseDate(std::string_view text);

// `value` rounded to whole units, halves to the even neighbour.
double roundHalfEven(double value);

}  // namespace kyt::db
