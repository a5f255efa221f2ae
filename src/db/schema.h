#pragma once
// The text of schema.sql, compiled into the library so that a new database needs no file beside the program;
// and what its columns' starting values mean.

#include <string_view>

namespace kyt::db {

extern const char* const kSchemaSql;

// True when `value` (as a result shows it) in `column` is the starting value that a running aggregate
// (one_to_4 ... one_to_8: 2, 2, 2, 0, 0) keeps until the student's semester N is stored: no
// percentage is on record, and the value must not be shown as one.
bool IsAggregateNotOnRecord(std::string_view column, std::string_view value);

}  // namespace kyt::db
