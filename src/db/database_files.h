#pragma once
// The files of an SQLite database: the file itself and those the engine keeps beside it. Only the engine
// may open any of them: its locks are POSIX locks, which the kernel drops for the whole program when any
// descriptor of the file closes, opened by whatever code.

#include <string>

namespace kyt::db {

// Whether `path` is `database`, its -wal, -shm or -journal, under any spelling or link (by name for one
// that does not exist yet). Looks at names and file identities only; opens nothing.
bool isDatabaseFile(const std::string& database, const std::string& path);

}  // namespace kyt::db
