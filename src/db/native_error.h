#pragma once
// SQLite's result codes turned into the native error numbers the program's error texts are keyed on.

#include <string>
#include <string_view>

#include "db/failure.h"

namespace kyt::db {

// `extendedCode` is an extended SQLite result code, `message` SQLite's own text for it, `path` the
// database file (named in descriptions of failures an administrator must act on).
Failure nativeFailure(int extendedCode, std::string_view message, const std::string& path);

// A PostgreSQL server's failure: its SQLSTATE, primary message and, for a broken rule, the
// constraint's name. `address` names the database in descriptions of failures an administrator must act
// on; `connectionLost` when the connection itself is gone.
Failure serverFailure(std::string_view sqlstate, std::string_view message, std::string_view constraint,
                      const std::string& address, bool connectionLost);

// The message that our functions raise for a value they cannot convert; it maps to the conversion number.
inline constexpr std::string_view kTypeMismatchMessage = "Data type mismatch in criteria expression.";

}  // namespace kyt::db
