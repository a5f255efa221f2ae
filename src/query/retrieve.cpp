#include "query/retrieve.h"
#include "db/data_connector.h"

#include <algorithm>
#include <ctime>
#include <memory>

namespace kyt::query {

ResultTable CopyToADORecordset(db::Recordset& source)
{
    ResultTable table;
    table.fields = source.fieldNames();
    const int fieldCount = source.fieldCount();
    table.rows.reserve(static_cast<size_t>(source.RecordCount()));
    for (; !source.isEOF(); source.MoveNext()) {
        std::vector<std::string> row;
        row.reserve(static_cast<size_t>(fieldCount));
        for (int i = 0; i < fieldCount; ++i)
            row.push_back(source.field(i).toText());
        table.rows.push_back(std::move(row));
    }
    return table;
}

namespace {

std::unique_ptr<db::Database> openQueryRoad(const std::string& databasePath, db::Failure& failure,
                                            const RunOptions& options)
{
    std::unique_ptr<db::Database> database = db::Database::open(databasePath, db::Road::Query, failure);
    if (database)
        database->setBusyTimeout(options.busyTimeoutMs);
    return database;
}

}  // namespace

bool OpenResult(const std::string& databasePath, const std::string& sql, ResultTable& out, db::Failure& failure,
                const RunOptions& options)
{
    std::unique_ptr<db::Database> database = openQueryRoad(databasePath, failure, options);
    if (!database)
        return false;
    db::Recordset records;
    if (!database->openRecordset(sql, records, failure))
        return false;
    out = CopyToADORecordset(records);
    return true;
}

namespace {

// FreePercent set for the selection (only when it differs) and `sql` read, in one transaction that is
// committed (`keep`) or rolled back.
bool runOverSelection(const std::string& databasePath, const Selection& selection, const std::string& sql,
                      ResultTable& out, db::Failure& failure, const RunOptions& options, bool keep)
{
    std::unique_ptr<db::Database> database = openQueryRoad(databasePath, failure, options);
    if (!database)
        return false;
    if (!database->begin(failure))
        return false;
    db::Recordset records;
    db::Failure ignored;
    std::string current;
    if (!database->savedQuery("FreePercent", current, failure) ||
        (current != selection.aggregate && !database->setSavedQuery("FreePercent", selection.aggregate, failure)) ||
        !database->openRecordset(sql, records, failure)) {
        database->rollback(ignored);
        return false;
    }
    if (keep ? !database->commit(failure) : !database->rollback(failure))
        return false;
    out = CopyToADORecordset(records);
    return true;
}

}  // namespace

bool RunQuery(const std::string& databasePath, const BuiltQuery& query, ResultTable& out, db::Failure& failure,
              const RunOptions& options)
{
    return runOverSelection(databasePath, query.selection(), query.select, out, failure, options, true);
}

bool RunQueryAside(const std::string& databasePath, const BuiltQuery& query, ResultTable& out, db::Failure& failure,
                   const RunOptions& options)
{
    return runOverSelection(databasePath, query.selection(), query.select, out, failure, options, false);
}

bool RunOverSelection(const std::string& databasePath, const Selection& selection, const std::string& sql,
                      ResultTable& out, db::Failure& failure, const RunOptions& options)
{
    return runOverSelection(databasePath, selection, sql, out, failure, options, true);
}

std::vector<std::string> BranchList(const Control& control)
{
    const int count = std::clamp<int>(control.session.BranchCount, 0, static_cast<int>(control.session.BranchCodes.size()));
    return {control.session.BranchCodes.begin(), control.session.BranchCodes.begin() + count};
}

RetrieveOutcome Retrieve(Control& control, const Criteria& criteria, int year, const RunOptions& options)
{
    RetrieveOutcome outcome;
    outcome.query = BuildQuery(criteria, BranchList(control), year);
    if (!outcome.query.PercentColumn.empty())
        control.query.PercentColumn = outcome.query.PercentColumn;
    if (outcome.query.refused()) {
        outcome.status = RetrieveOutcome::Status::Refused;
        return outcome;
    }
    if (!RunQuery(control.config.DatabasePath, outcome.query, outcome.result, outcome.failure, options)) {
        outcome.status = RetrieveOutcome::Status::Failed;
        return outcome;
    }
    control.query.QueryCondition = outcome.query.condition;
    outcome.status = RetrieveOutcome::Status::Shown;
    return outcome;
}

int CurrentYear()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

}  // namespace kyt::query
