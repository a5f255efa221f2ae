#include "extract/run_history.h"

#include "db/jet_sql.h"
#include "extract/error_log.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

namespace kyt {

using db::jet::quoteLiteral;

namespace {

using db::DataConnector;

std::string Number(int64_t value) { return std::to_string(value); }

std::string Now()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// Who runs Kyt: the login on a server; on a database file, the login of the computer.
std::string Login(db::Database& database)
{
    if (database.engine() == db::Engine::PostgreSQL) {
        db::Recordset rows;
        db::Failure failure;
        if (database.openRecordset("SELECT session_user AS login", rows, failure) && !rows.isEOF())
            return rows.field(0).toText();
    }
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name)
        return entry->pw_name;
    if (const char* user = std::getenv("USER"))
        return user;
    return "uid " + std::to_string(geteuid());
}

db::Database* DatabaseOf(Control& control, std::string& error)
{
    db::Database* database =
        control.session.Connector ? control.session.Connector->GetCurrentConnection() : nullptr;
    if (!database)
        error = "Kyt is not connected to its database.";
    return database;
}

bool Write(Control& control, const std::string& sql, std::string& error)
{
    DataConnector& connector = *control.session.Connector;
    if (connector.exec(sql) == DataConnector::kSuccess)
        return true;
    error = connector.ErrDesc;
    return false;
}

// The column names of a table, in order, joined for a statement.
bool Columns(db::Database& database, const std::string& table, std::string& list, db::Failure& failure)
{
    db::Recordset none;
    if (!database.openRecordset("SELECT * FROM " + table + " WHERE 1 = 0", none, failure))
        return false;
    list.clear();
    for (const std::string& name : none.fieldNames())
        list += (list.empty() ? "" : ", ") + name;
    return !list.empty();
}

std::string Students(int count) { return std::to_string(count) + (count == 1 ? " student" : " students"); }

}  // namespace

int64_t OpenRunRecord(Control& control, const std::string& folder, bool replace, std::string& error)
{
    db::Database* database = DatabaseOf(control, error);
    if (!database)
        return 0;
    db::Recordset rows;
    db::Failure failure;
    // Names are kept as the error log and report show them: one line of UTF-8, as a server's text must be.
    const std::string sql = "INSERT INTO ExtractionRun (StartedAt, Folder, UserName, ReplaceStored) VALUES (" +
                            quoteLiteral(Now()) + ", " + quoteLiteral(LogSafeName(folder)) + ", " + quoteLiteral(Login(*database)) + ", " +
                            (replace ? "1" : "0") + ") RETURNING RunId";
    if (!database->query(sql, rows, failure) || rows.isEOF()) {
        control.session.Connector->NoteReadFailure(failure);
        error = failure.description.empty() ? "The run's number was not given back." : failure.description;
        return 0;
    }
    return rows.field(0).toInteger();
}

bool CloseRunRecord(Control& control, int64_t runId, int scanned, const std::string& outcome, std::string& error)
{
    return DatabaseOf(control, error) &&
           Write(control,
                 "UPDATE ExtractionRun SET FinishedAt = " + quoteLiteral(Now()) + ", Scanned = " + Number(scanned) +
                     ", Outcome = " + quoteLiteral(outcome) + " WHERE RunId = " + Number(runId),
                 error);
}

bool RecordRefusal(Control& control, int64_t runId, int document, const RejectedResume& resume, std::string& error)
{
    if (!DatabaseOf(control, error))
        return false;
    // A refusal always has its line, so that the run's count of refusals holds it.
    std::vector<Fault> faults = resume.faults;
    if (faults.empty())
        faults.push_back({{0, 0, 0, "Document"}, "Transaction rolled back"});
    std::string sql = "INSERT INTO RunFault (RunId, Document, Seq, File, USN, Name, FormTable, FormRow, FormCell, "
                      "Field, Reason) VALUES ";
    for (size_t k = 0; k < faults.size(); ++k) {
        const Fault& fault = faults[k];
        sql += (k ? ", (" : "(") + Number(runId) + ", " + Number(document) + ", " + Number(static_cast<int64_t>(k) + 1) +
               ", " + quoteLiteral(LogSafeName(resume.file)) + ", " + quoteLiteral(resume.usnAsRead) + ", " + quoteLiteral(resume.nameAsRead) +
               ", " + Number(fault.place.table) + ", " + Number(fault.place.row) + ", " + Number(fault.place.cell) +
               ", " + quoteLiteral(fault.place.field) + ", " + quoteLiteral(fault.reason) + ")";
    }
    return Write(control, sql, error);
}

int32_t KeepPreviousRows(DataConnector& connector, int64_t runId, const std::string& usn)
{
    const int32_t personal = connector.exec("INSERT INTO RunPersonal SELECT " + Number(runId) +
                                            ", Personal.* FROM Personal WHERE USN = " + quoteLiteral(usn));
    if (personal != DataConnector::kSuccess)
        return personal;
    return connector.exec("INSERT INTO RunMarks SELECT " + Number(runId) + ", Marks.* FROM Marks WHERE usn = " +
                          quoteLiteral(usn));
}

int32_t RecordStoredStudent(DataConnector& connector, int64_t runId, const std::string& usn, bool replaced)
{
    return connector.exec("INSERT INTO RunStudent (RunId, USN, Action) VALUES (" + Number(runId) + ", " +
                          quoteLiteral(usn) + ", " + quoteLiteral(replaced ? "replaced" : "added") + ")");
}

bool ListRuns(db::Database& database, std::vector<RunSummary>& runs, db::Failure& failure)
{
    db::Recordset rows;
    if (!database.openRecordset(
            "SELECT r.RunId, r.StartedAt, r.FinishedAt, r.Folder, r.UserName, r.ReplaceStored, r.Scanned, "
            "(SELECT count(*) FROM RunStudent s WHERE s.RunId = r.RunId AND s.Action = 'added') AS Added, "
            "(SELECT count(*) FROM RunStudent s WHERE s.RunId = r.RunId AND s.Action = 'replaced') AS Replaced, "
            "(SELECT count(DISTINCT f.Document) FROM RunFault f WHERE f.RunId = r.RunId) AS Refused, "
            "r.Outcome, r.RevertedAt, r.RevertedBy FROM ExtractionRun r ORDER BY r.RunId",
            rows, failure))
        return false;
    runs.clear();
    for (; !rows.isEOF(); rows.MoveNext()) {
        RunSummary run;
        run.id = rows.field(0).toInteger();
        run.startedAt = rows.field(1).toText();
        run.finishedAt = rows.field(2).toText();
        run.folder = rows.field(3).toText();
        run.user = rows.field(4).toText();
        run.replace = rows.field(5).toInteger() != 0;
        run.scanned = static_cast<int>(rows.field(6).toInteger());
        run.added = static_cast<int>(rows.field(7).toInteger());
        run.replaced = static_cast<int>(rows.field(8).toInteger());
        run.refused = static_cast<int>(rows.field(9).toInteger());
        run.outcome = rows.field(10).toText();
        run.revertedAt = rows.field(11).toText();
        run.revertedBy = rows.field(12).toText();
        runs.push_back(std::move(run));
    }
    return true;
}

bool RunRefusals(db::Database& database, int64_t runId, std::vector<RejectedResume>& refused, db::Failure& failure)
{
    db::Recordset rows;
    if (!database.openRecordset("SELECT Document, File, USN, Name, FormTable, FormRow, FormCell, Field, Reason "
                                "FROM RunFault WHERE RunId = " +
                                    Number(runId) + " ORDER BY Document, Seq",
                                rows, failure))
        return false;
    refused.clear();
    int64_t document = -1;
    for (; !rows.isEOF(); rows.MoveNext()) {
        if (rows.field(0).toInteger() != document) {
            document = rows.field(0).toInteger();
            refused.push_back({rows.field(1).toText(), rows.field(2).toText(), rows.field(3).toText(), {}});
        }
        refused.back().faults.push_back({{static_cast<int>(rows.field(4).toInteger()),
                                          static_cast<int>(rows.field(5).toInteger()),
                                          static_cast<int>(rows.field(6).toInteger()), rows.field(7).toText()},
                                         rows.field(8).toText()});
    }
    return true;
}

RevertResult RevertRun(Control& control, int64_t runId)
{
    RevertResult result;
    db::Database* database = DatabaseOf(control, result.description);
    if (!database)
        return result;
    DataConnector& connector = *control.session.Connector;
    const std::string run = "run " + Number(runId);
    const std::string id = Number(runId);
    db::Failure failure;
    auto failed = [&](const std::string& what) {
        connector.NoteReadFailure(failure);
        result.outcome = RevertOutcome::Failed;
        result.description = "The history of " + run + " could not be read: " + what;
        return result;
    };

    std::vector<RunSummary> runs;
    if (!ListRuns(*database, runs, failure))
        return failed(failure.description);
    const RunSummary* found = nullptr;
    for (const RunSummary& candidate : runs)
        found = candidate.id == runId ? &candidate : found;
    result.outcome = RevertOutcome::Refused;
    if (!found) {
        result.description = "There is no " + run + " in the history of extractions.";
        return result;
    }
    if (!found->revertedAt.empty()) {
        result.description = "Run " + id + " was taken back already, on " + found->revertedAt + " by " +
                              found->revertedBy + ".";
        return result;
    }

    // A later run that stored one of the same students found this run's rows, not the ones before it:
    // taking this one back first would bring back rows that the later run's own revert then overwrites.
    db::Recordset later;
    if (!database->openRecordset("SELECT DISTINCT l.RunId FROM RunStudent m JOIN RunStudent l ON l.USN = m.USN "
                                 "JOIN ExtractionRun r ON r.RunId = l.RunId WHERE m.RunId = " +
                                     id + " AND l.RunId > " + id + " AND r.RevertedAt IS NULL ORDER BY l.RunId DESC",
                                 later, failure))
        return failed(failure.description);
    if (!later.isEOF()) {
        std::string names;
        for (; !later.isEOF(); later.MoveNext())
            names += (names.empty() ? "" : ", ") + later.field(0).toText();
        later.MoveFirst();
        result.description = "Run " + id + " cannot be taken back yet: later runs (" + names +
                             ") stored some of the same students after it. Take back those runs first, the newest "
                             "first (run " + later.field(0).toText() + "), then run " + id + ".";
        return result;
    }

    std::string text = "Take back run " + id + " of " + found->startedAt + " (folder " + found->folder + ", by " +
                       found->user + ")?\n\n" + Students(found->added) + " it added will be deleted, and " +
                       Students(found->replaced) + " it replaced will get their previous résumé back.";
    if (found->finishedAt.empty())
        text += "\n\nThis run did not finish: Kyt was stopped during it, or it is still running on another computer. "
                "Take it back only when no extraction is running.";
    if (!control.session.Messages ||
        control.session.Messages->show(text, control.session.AppTitle + " - Take back a run", MsgIcon::Question,
                                       MsgButtons::YesNo, MsgAnswer::No) != MsgAnswer::Yes) {
        result.outcome = RevertOutcome::Declined;
        return result;
    }

    std::string personal, marks;
    if (!Columns(*database, "Personal", personal, failure) || !Columns(*database, "Marks", marks, failure))
        return failed(failure.description);
    const std::string students = "(SELECT USN FROM RunStudent WHERE RunId = " + id + ")";
    const std::string statements[] = {
        "DELETE FROM Marks WHERE usn IN " + students,
        "DELETE FROM Personal WHERE USN IN " + students,
        "INSERT INTO Personal (" + personal + ") SELECT " + personal + " FROM RunPersonal WHERE RunId = " + id,
        "INSERT INTO Marks (" + marks + ") SELECT " + marks + " FROM RunMarks WHERE RunId = " + id,
        "UPDATE ExtractionRun SET RevertedAt = " + quoteLiteral(Now()) + ", RevertedBy = " + quoteLiteral(Login(*database)) +
            " WHERE RunId = " + id,
    };
    connector.BeginTransaction();
    for (const std::string& sql : statements) {
        if (connector.exec(sql) != DataConnector::kSuccess) {
            result.outcome = RevertOutcome::Failed;
            result.description = "Run " + id + " was not taken back; the database is as it was.\n\n" + connector.ErrDesc;
            connector.RollBackTransaction();
            return result;
        }
    }
    connector.EndTransaction();
    if (connector.CommitFailed()) {
        result.outcome = RevertOutcome::Failed;
        result.description = "Run " + id + " was not taken back; the database is as it was.\n\n" + connector.ErrDesc;
        return result;
    }
    result.outcome = RevertOutcome::Reverted;
    result.removed = found->added;
    result.restored = found->replaced;
    return result;
}

}  // namespace kyt
