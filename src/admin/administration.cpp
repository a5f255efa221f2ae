#include "admin/administration.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "admin/write_steps.h"
#include "db/data_connector.h"
#include "db/jet_sql.h"
#include "extract/usn.h"
#include "shell/startup.h"

namespace kyt::admin {

using db::jet::quoteLiteral;

namespace detail {

MsgAnswer tell(Control& control, const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons)
{
    if (!control.session.Messages)
        return buttons == MsgButtons::OK ? MsgAnswer::OK : MsgAnswer::No;
    return control.session.Messages->show(text, title, icon, buttons);
}

MsgAnswer askSafely(Control& control, const std::string& text, const std::string& title, MsgIcon icon,
                    MsgButtons buttons, MsgAnswer safe)
{
    if (!control.session.Messages)
        return safe;
    return control.session.Messages->show(text, title, icon, buttons, safe);
}

bool lookUp(Control& control, const std::string& sql, db::Recordset& rows, Result& result)
{
    db::Failure failure;
    db::Database* connection = control.session.Connector ? control.session.Connector->GetCurrentConnection() : nullptr;
    if (connection && connection->openRecordset(sql, rows, failure))
        return true;
    if (!connection)
        failure.description = "The database is not connected.";
    tell(control,
         "The database could not be read; nothing was changed." + std::string(kCrLf) + kCrLf + failure.description,
         "Kyt - error", MsgIcon::Critical);
    result = {Outcome::Failed, Box::None, failure.description};
    return false;
}

bool writeAll(Control& control, const std::vector<std::string>& statements, std::string& reason)
{
    if (!control.session.Connector) {
        reason = "The database is not connected.";
        return false;
    }
    db::DataConnector& connector = *control.session.Connector;
    connector.BeginTransaction();
    for (const std::string& sql : statements) {
        if (connector.exec(sql) != db::DataConnector::kSuccess) {
            reason = connector.ErrDesc;  // the rollback replaces it
            connector.RollBackTransaction();
            return false;
        }
    }
    connector.EndTransaction();
    if (connector.CommitFailed()) {
        reason = connector.ErrDesc;
        return false;
    }
    return true;
}

std::string trimSpaces(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string upperAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

}  // namespace detail

using namespace detail;

namespace {

constexpr const char* kNotDeletedOne = "The record was not deleted - Contact the database administrator";
constexpr const char* kNotDeletedMany = "The records were not deleted - Contact the database administrator";

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// Two digits (the year), optionally followed by a branch code of letters: the only texts that name a
// batch. Anything else could widen the LIKE below to students of other batches.
bool isBatchText(const std::string& batch)
{
    if (batch.size() != 2 && batch.size() != 4 && batch.size() != 5)
        return false;
    for (size_t i = 0; i < batch.size(); ++i)
        if (i < 2 ? !isAsciiDigit(batch[i]) : !isAsciiLetter(batch[i]))
            return false;
    return true;
}

std::string studentCount(long count)
{
    return "(" + std::to_string(count) + (count == 1 ? " student)" : " students)");
}

// Deletes after the officer said Yes; tells the outcome only once it is final.
Result deletePair(Control& control, const std::string& first, const std::string& second, const char* failureText,
                  const std::string& successText)
{
    Result result;
    if (!writeAll(control, {first, second}, result.reason)) {
        tell(control, failureText, "Kyt - Error", MsgIcon::Critical);
        result.outcome = Outcome::Failed;
        return result;
    }
    tell(control, successText, "Kyt - Success", MsgIcon::None);
    result.outcome = Outcome::Done;
    return result;
}

// The MBA and length checks of a branch code, in the order the operation makes them; true when one refused.
bool refuseMbaOrShort(Control& control, const std::string& code, bool mbaFirst)
{
    const auto mba = [&] {
        if (code != "MBA")
            return false;
        tell(control, "Sorry, MBA data is not supported yet by " + control.session.AppTitle, "Kyt Error", MsgIcon::Exclamation);
        return true;
    };
    const auto tooShort = [&] {
        if (code.size() >= 2)
            return false;
        tell(control, "The Branch Code should be atleast 2 characters in length", "Kyt Error", MsgIcon::Exclamation);
        return true;
    };
    return mbaFirst ? (mba() || tooShort()) : (tooShort() || mba());
}

void afterBranchChange(Control& control)
{
    std::string failure;
    if (!ReloadBranchList(control, failure))
        tell(control,
             "The branch was changed, but the list of branches could not be read again: " + failure + kCrLf +
                 "Restart Kyt before selecting students by branch.",
             "Kyt - error", MsgIcon::Critical);
}

}  // namespace

std::string ShortestNumber(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

double TwoDecimalValue(double value)
{
    char text[512];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    double back = 0;
    std::from_chars(text, written.ptr, back);
    return back;
}

std::string CheckedUsn(Control& control, const std::string& typed, std::string* databaseFailure)
{
    const std::string errorText = control.run.ErrorText;
    const int32_t documentErrors = control.run.DocumentErrors, totalErrors = control.run.TotalErrors;
    const int16_t branchCodeLen = control.run.BranchCodeLen;
    const std::string branchName = control.run.BranchName;

    control.run.BranchCodeLen = 0;
    std::string usn = typed;
    std::string normal = ValidateUSN(control, usn);
    if (normal == "ERR" && control.run.BranchCodeLen == kBranchLookupFailed && databaseFailure) {
        std::string again = usn;
        LookupBranch(control, again, *databaseFailure);
    }

    control.run.ErrorText = errorText;
    control.run.DocumentErrors = documentErrors;
    control.run.TotalErrors = totalErrors;
    control.run.BranchCodeLen = branchCodeLen;
    control.run.BranchName = branchName;
    return normal;
}

Result DeleteStudent(Control& control, const std::string& typedUsn)
{
    Result result;
    const std::string typed = trimSpaces(typedUsn);
    std::string failure;
    const std::string usn = CheckedUsn(control, typed, &failure);
    if (!failure.empty()) {
        tell(control, "The database could not be read; nothing was changed." + std::string(kCrLf) + kCrLf + failure,
             "Kyt - error", MsgIcon::Critical);
        return {Outcome::Failed, Box::None, failure};
    }
    if (usn == "ERR") {
        tell(control, "The USN : " + typed + " is invalid ", "Kyt - error", MsgIcon::Critical);
        return result;
    }

    db::Recordset rows;
    if (!lookUp(control, "SELECT name from PERSONAL where usn = " + quoteLiteral(usn), rows, result))
        return result;
    if (rows.isEOF() && rows.isBOF()) {
        tell(control, "The USN : " + usn + " does not exist in the database", "Kyt - error", MsgIcon::Critical);
        return result;
    }
    const std::string name = rows.field("name").toText();
    rows.Close();

    const std::string question = "Are you sure you want to delete the records of " + std::string(kCrLf) + kCrLf +
                                 "\t" + name + kCrLf + "\tUSN - " + usn + " ? ";
    if (askSafely(control, question, "Kyt - Confirm", MsgIcon::None, MsgButtons::YesNo, MsgAnswer::No) != MsgAnswer::Yes)
        return result;

    return deletePair(control, "DELETE from Personal where usn = " + quoteLiteral(usn),
                      "DELETE from Marks where usn = " + quoteLiteral(usn), kNotDeletedOne,
                      "The record was deleted successfully");
}

Result DeleteBatch(Control& control, const std::string& typedBatch)
{
    Result result;
    const std::string batch = upperAscii(trimSpaces(typedBatch));
    if (!isBatchText(batch)) {
        tell(control, "The text box should have either the year only or year followed by the branch code",
             "Kyt Error", MsgIcon::Critical);
        return result;
    }

    const std::string pattern = quoteLiteral(control.config.RegionCollegeCode + batch + "%");
    db::Recordset rows;
    if (!lookUp(control, "SELECT name from PERSONAL where usn like " + pattern, rows, result))
        return result;
    if (rows.isEOF() && rows.isBOF()) {
        tell(control, "The Batch " + batch + " does not exist in the database", "Kyt - error", MsgIcon::Critical);
        return result;
    }

    const std::string question = "Are you sure you want to delete ALL the records of the " + std::string(kCrLf) +
                                 batch + " batch " + studentCount(rows.RecordCount()) + " ?";
    if (askSafely(control, question, "Kyt - Confirm", MsgIcon::None, MsgButtons::YesNo, MsgAnswer::No) != MsgAnswer::Yes)
        return result;

    return deletePair(control, "DELETE from Personal where usn like " + pattern,
                      "DELETE from Marks where usn like " + pattern, kNotDeletedMany,
                      "The records were deleted successfully");
}

Result DeleteAllRecords(Control& control)
{
    Result result;
    db::Recordset rows;
    if (!lookUp(control, "SELECT count(*) AS Students from PERSONAL", rows, result))
        return result;
    const std::string question = " WARNING : This will remove ALL resume records of the students in the database " +
                                 studentCount(static_cast<long>(rows.field("Students").toInteger())) + " " + kCrLf +
                                 kCrLf + "                    Are you sure you want to remove all the records? ";
    if (askSafely(control, question, "Warning", MsgIcon::None, MsgButtons::YesNo, MsgAnswer::No) != MsgAnswer::Yes)
        return result;
    return deletePair(control, "DELETE from Personal", "DELETE from Marks ", kNotDeletedMany,
                      "All the records were deleted successfully");
}

Result AddBranch(Control& control, const std::string& typedCode, const std::string& typedName)
{
    Result result;
    if (typedCode.empty()) {
        tell(control, "Branch Code should not be empty", "Error", MsgIcon::Exclamation);
        result.focus = Box::BranchCode;
        return result;
    }
    if (typedName.empty()) {
        tell(control, "Branch Name should not be empty", "Error", MsgIcon::Exclamation);
        result.focus = Box::BranchName;
        return result;
    }
    const std::string code = upperAscii(trimSpaces(typedCode));
    const std::string name = trimSpaces(typedName);
    if (refuseMbaOrShort(control, code, true))
        return result;

    db::Recordset rows;
    if (!lookUp(control, "SELECT Branch from BRANCH where BranchCode=" + quoteLiteral(code), rows, result))
        return result;
    if (!(rows.isEOF() && rows.isBOF())) {
        tell(control, "The Branch code already exists." + std::string(kCrLf) + "Please delete the branch " + code +
                          "  and then try again",
             "Kyt - Error", MsgIcon::None);
        return result;
    }
    // Start-up refuses a database with more branches than the query window can offer.
    db::Recordset all;
    if (!lookUp(control, "SELECT count(*) AS Branches from BRANCH", all, result))
        return result;
    if (all.field("Branches").toInteger() >= kMaxBranches) {
        tell(control,
             "Sorry, there are too many branches. This software cannot be used for colleges with over 40 branches ",
             "Kyt Error", MsgIcon::Exclamation);
        return result;
    }

    if (!writeAll(control, {"INSERT into BRANCH(BranchCode,Branch) values(" + quoteLiteral(code) + ", " + quoteLiteral(name) + ")"},
                  result.reason)) {
        tell(control, "Error. The Branch could not be inserted. Contact the database administrator", "Kyt - Error",
             MsgIcon::Critical);
        result.outcome = Outcome::Failed;
        return result;
    }
    afterBranchChange(control);
    tell(control, "The Branch: " + code + ",  " + name + "  was successfully inserted into the database.",
         "Kyt - Success", MsgIcon::None);
    result.outcome = Outcome::Done;
    return result;
}

Result DeleteBranch(Control& control, const std::string& typedCode)
{
    Result result;
    if (typedCode.empty()) {
        tell(control, "Branch Code should not be empty", "Error", MsgIcon::Exclamation);
        result.focus = Box::BranchCode;
        return result;
    }
    const std::string code = upperAscii(trimSpaces(typedCode));
    if (refuseMbaOrShort(control, code, false))
        return result;

    db::Recordset rows;
    if (!lookUp(control, "SELECT Branch from BRANCH where BranchCode=" + quoteLiteral(code), rows, result))
        return result;
    if (rows.isEOF() && rows.isBOF()) {
        tell(control, " The Branch: " + code + " does not exist in the database.", "Error", MsgIcon::Information);
        return result;
    }
    const std::string name = rows.field("branch").toText();
    rows.Close();

    // The students keep their records, but the officer should know how many carry the code: the
    // branch's seat numbers have the code after the region, college and year, then the roll number.
    db::Recordset students;
    if (!lookUp(control, "SELECT usn from PERSONAL where usn like " + quoteLiteral("_____" + code + "%"), students, result))
        return result;
    long carrying = 0;
    for (; !students.isEOF(); students.MoveNext()) {
        const std::string usn = students.field(0).toText();
        carrying += usn.size() > 5 + code.size() && isAsciiDigit(usn[5 + code.size()]) ? 1 : 0;
    }
    students.Close();
    const std::string question = "Are you sure you want to delete the branch " + code + " (" + name + ") ?" +
                                 kCrLf + kCrLf + std::to_string(carrying) +
                                 (carrying == 1 ? " student carries" : " students carry") +
                                 " this branch; their records stay in the database.";
    if (askSafely(control, question, "Kyt - Confirm", MsgIcon::None, MsgButtons::YesNo, MsgAnswer::No) != MsgAnswer::Yes)
        return result;

    if (!writeAll(control, {"DELETE Branch from branch where BranchCode = " + quoteLiteral(code)}, result.reason)) {
        tell(control, "Error. The Branch could not be deleted. Contact the database administrator", "Kyt - Error",
             MsgIcon::Critical);
        result.outcome = Outcome::Failed;
        return result;
    }
    afterBranchChange(control);
    tell(control,
         "The Branch: " + code + ",  " + name + "  was successfully deleted." + kCrLf + kCrLf +
             " You may want delete the batches of this branch using the above options",
         "Kyt - Success", MsgIcon::None);
    result.outcome = Outcome::Done;
    return result;
}

bool ReloadBranchList(Control& control, std::string& failure)
{
    db::Recordset rows;
    db::Failure dbFailure;
    db::Database* connection = control.session.Connector ? control.session.Connector->GetCurrentConnection() : nullptr;
    if (!connection || !connection->openRecordset("SELECT BranchCode FROM branch", rows, dbFailure)) {
        failure = connection ? dbFailure.description : "The database is not connected.";
        return false;
    }
    const long count = std::min<long>(rows.RecordCount(), kMaxBranches);
    control.session.BranchCount = static_cast<int16_t>(count);
    for (long i = 0; i < static_cast<long>(control.session.BranchCodes.size()); ++i) {
        control.session.BranchCodes[static_cast<size_t>(i)] = i < count ? trimSpaces(rows.field(0).toText()) : std::string();
        if (i < count)
            rows.MoveNext();
    }
    return true;
}

}  // namespace kyt::admin
