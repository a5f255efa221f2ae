#pragma once
// The schema of the student database, per engine, as a list of steps: step N brings a database from
// version N - 1 to version N, and a new database is made by running every step in order. The database
// records the number of its last step (SQLite: PRAGMA user_version; a server: the one row of
// kyt.SchemaVersion). And what its columns' starting values mean.

#include <span>
#include <string_view>

#include "db/failure.h"

namespace kyt::db {

struct SchemaStep {
    int version;
    std::string_view sql;  // one or more statements of the engine's own dialect
};

// The steps of `engine`'s schema, oldest first, numbered 1, 2, 3...
std::span<const SchemaStep> schemaSteps(Engine engine);

// The version a database made today has.
inline int latestSchemaVersion(Engine engine)
{
    return static_cast<int>(schemaSteps(engine).size());
}

// True when `value` (as a result shows it) in `column` is the starting value that a running aggregate
// (one_to_4 ... one_to_8: 2, 2, 2, 0, 0) keeps until the student's semester N is stored: no
// percentage is on record, and the value must not be shown as one.
bool IsAggregateNotOnRecord(std::string_view column, std::string_view value);

}  // namespace kyt::db
