#pragma once
// The text of schema.sql, compiled into the library so that a new database needs no file beside the program.

namespace kyt::db {

extern const char* const kSchemaSql;

}  // namespace kyt::db
