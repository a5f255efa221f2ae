#pragma once
// Running a built query: FreePercent rewritten for the semester range, the selection run, and its rows
// copied into a result held in memory with every value as text, which the results grid shows and
// saving reuses.

#include <string>
#include <vector>

#include "db/database.h"
#include "db/recordset.h"
#include "query/query_builder.h"
#include "shell/control.h"

namespace kyt::query {

// A query result held in memory: field names in order, every value as the grid shows it.
struct ResultTable {
    std::vector<std::string> fields;
    std::vector<std::vector<std::string>> rows;

    long recordCount() const { return static_cast<long>(rows.size()); }
    int fieldCount() const { return static_cast<int>(fields.size()); }
};

// Copies `source` from its current record to its end; every value as text, null as empty text.
ResultTable CopyToADORecordset(db::Recordset& source);

struct RunOptions {
    // How long to wait for another program's lock on the database before failing.
    int busyTimeoutMs = db::Database::kDefaultBusyTimeoutMs;
};

// Opens the database at `databasePath`, runs one SELECT and copies its result.
bool OpenResult(const std::string& databasePath, const std::string& sql, ResultTable& out, db::Failure& failure,
                const RunOptions& options = {});

// Sets the saved query FreePercent to `query.aggregate` and runs `query.select`, as one transaction: when
// the selection fails, FreePercent keeps the SQL that the result still on screen was made with.
bool RunQuery(const std::string& databasePath, const BuiltQuery& query, ResultTable& out, db::Failure& failure,
              const RunOptions& options = {});

// Runs `sql`, a SELECT under `selection.condition`, with FreePercent as that selection made it: in one
// transaction FreePercent is set back to `selection.aggregate` when another query has changed it since.
bool RunOverSelection(const std::string& databasePath, const Selection& selection, const std::string& sql,
                      ResultTable& out, db::Failure& failure, const RunOptions& options = {});

// Runs `query` as RunQuery does, but takes its rows aside: the transaction is rolled back, so the saved
// query FreePercent keeps the SQL that the result on screen (and its merge) was made with. For figures
// taken beside the query window (statistics).
bool RunQueryAside(const std::string& databasePath, const BuiltQuery& query, ResultTable& out, db::Failure& failure,
                   const RunOptions& options = {});

// The branch codes loaded at start-up, in the order of the branch boxes.
std::vector<std::string> BranchList(const Control& control);

struct RetrieveOutcome {
    enum class Status { Shown, Refused, Failed };
    Status status = Status::Failed;
    BuiltQuery query;
    ResultTable result;
    db::Failure failure;
};

// Retrieve without the windows: builds the query from `criteria`, sets control.query.PercentColumn once the
// semester range is accepted, runs it on control.config.DatabasePath and, when it ran, sets
// control.query.QueryCondition.
RetrieveOutcome Retrieve(Control& control, const Criteria& criteria, int year, const RunOptions& options = {});

// The calendar year now, on the local clock.
int CurrentYear();

}  // namespace kyt::query
