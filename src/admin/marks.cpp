// Correcting one semester's marks of a stored student: the row is replaced and the semester aggregates
// one_to_4 ... one_to_8 that depend on it are computed again, all in one transaction.

#include <cmath>
#include <limits>
#include <optional>

#include "admin/administration.h"
#include "admin/write_steps.h"
#include "db/data_connector.h"
#include "db/jet_sql.h"
#include "extract/usn.h"
#include "extract/validation.h"

namespace kyt::admin {

using db::jet::quoteLiteral;

using namespace detail;

namespace {

std::string notInDatabase(const std::string& usn)
{
    return "The USN : " + usn + " does not exist in the database" + kCrLf + kCrLf + "Please extract " + usn +
           " 's resume before trying to update it ";
}

// A box's number taken to the nearest whole number, a half to the even neighbour; nothing when the box
// is empty, not a number, or the number does not fit the 16-bit column.
std::optional<int16_t> wholeMarks(const std::string& text)
{
    if (text.empty() || !IsNumber(text))
        return std::nullopt;
    const double whole = std::nearbyint(NumberValue(text));
    if (!(whole >= std::numeric_limits<int16_t>::min() && whole <= std::numeric_limits<int16_t>::max()))
        return std::nullopt;
    return static_cast<int16_t>(whole);
}

// The student's name, or nothing after telling the officer why not (`result` says which way).
std::optional<std::string> studentName(Control& control, const std::string& usn, const char* select, Result& result)
{
    db::Recordset rows;
    if (!lookUp(control, select + quoteLiteral(usn), rows, result))
        return std::nullopt;
    if (rows.isEOF() && rows.isBOF()) {
        tell(control, notInDatabase(usn), "Kyt - error", MsgIcon::Critical);
        result.outcome = Outcome::Refused;
        return std::nullopt;
    }
    return rows.field("name").toText();
}

struct Refusal {
    Box box;
    const char* text;
    bool exclamation = false;
};

// Refuses a semester that is not one of the course's, before anything is read or written; true when it did.
bool refusedSemester(Control& control, const std::string& usn, int16_t level, Result& result)
{
    if (level != 0)
        return false;
    const std::string course = CourseType(usn);
    if (course == "MBA")
        tell(control, "Sorry, MBA data is not supported yet by " + control.session.AppTitle, "Kyt Error",
             MsgIcon::Exclamation);
    else
        tell(control,
             course == "MCA" ? "Semester must be a whole number from 1 to 6 for an MCA student"
                             : "Semester must be a whole number from 1 to 8",
             control.session.AppTitle + " Error", MsgIcon::Critical);
    result.focus = Box::Semester;
    return true;
}

}  // namespace

int16_t SemesterLevel(const std::string& usn, const std::string& semesterText)
{
    const std::string course = CourseType(usn);
    const int last = course == "BE" ? 8 : course == "MCA" ? 6 : 0;
    // Digits only: "+6", "6'", "1e0" and "65542" (which a 16-bit level would wrap to 6) are no semesters.
    const std::string text = trimSpaces(semesterText);
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const int semester = std::stoi(text);
    if (semester < 1 || semester > last)
        return 0;
    return static_cast<int16_t>(semester + (course == "MCA" ? 3 : 2));
}

Result RetrieveMarks(Control& control, const std::string& typedUsn, const std::string& semesterText, StoredMarks& out)
{
    Result result;
    const std::string usn = upperAscii(trimSpaces(typedUsn));
    const int16_t level = SemesterLevel(usn, semesterText);
    if (refusedSemester(control, usn, level, result))
        return result;
    const auto name = studentName(control, usn, "SELECT name from PERSONAL where usn = ", result);
    if (!name)
        return result;

    db::Recordset rows;
    if (!lookUp(control,
                "SELECT Obtained,Max,PassingYear,Attempts,Institution from MARKS where usn = " + quoteLiteral(usn) +
                    " and education_level = " + std::to_string(level),
                rows, result))
        return result;
    out = StoredMarks{};
    out.name = *name;
    out.rowFound = !(rows.isEOF() && rows.isBOF());
    if (out.rowFound)
        out.marks = {rows.field("Obtained").toText(), rows.field("Max").toText(), rows.field("PassingYear").toText(),
                     rows.field("Attempts").toText(), rows.field("Institution").toText()};
    result.outcome = Outcome::Done;
    return result;
}

Result UpdateMarks(Control& control, const std::string& typedUsn, const std::string& semesterText,
                   const MarksEntry& entry, int16_t& skipQuestion)
{
    Result result;
    // Both ends trimmed: a trailing blank must not turn a student just retrieved into one that "does not exist".
    const std::string usn = upperAscii(trimSpaces(typedUsn));
    const int16_t level = SemesterLevel(usn, semesterText);
    if (refusedSemester(control, usn, level, result))
        return result;
    const std::string errorTitle = control.session.AppTitle + " Error";

    const auto obtained = wholeMarks(entry.Obtained);
    const auto maximum = wholeMarks(entry.Max);
    std::optional<Refusal> refusal;
    if (!obtained)
        refusal = {Box::Obtained, "Marks obtained  is invalid or empty"};
    else if (!maximum || *maximum <= 0)  // a maximum of 0 would divide by zero
        refusal = {Box::Maximum, "Max Marks field is invalid or empty"};
    else if (*obtained > *maximum)
        refusal = {Box::Maximum, "Marks obtained is greater than MAX marks ! ", true};
    else if (entry.PassingYear.empty())
        refusal = {Box::PassingYear, "Year of passing is empty"};
    else if (entry.Attempts.empty())
        refusal = {Box::Attempts, "Number of attempts is empty"};
    if (refusal) {
        if (refusal->exclamation)
            tell(control, refusal->text, "Kyt Error", MsgIcon::Exclamation);
        else
            tell(control, refusal->text, errorTitle, MsgIcon::Critical);
        result.focus = refusal->box;
        return result;
    }

    if (!studentName(control, usn, "Select name from personal where usn = ", result))
        return result;
    db::Recordset existing;
    if (!lookUp(control,
                "Select obtained from marks where usn = " + quoteLiteral(usn) + " and education_level = " +
                    std::to_string(level),
                existing, result))
        return result;
    const bool rowExists = !(existing.isEOF() && existing.isBOF());

    const double percentage = TwoDecimalValue(static_cast<double>(*obtained) / *maximum * 100);
    const std::string className = ClassFromPercent(percentage);

    // Asked before the transaction begins, so that no lock is held while the officer decides.
    if (rowExists && skipQuestion != 1) {
        // No replaces the stored row: Enter keeps the answer that writes nothing.
        const MsgAnswer answer =
            askSafely(control,
                      "Record already exists." + std::string(kCrLf) +
                          "Would you like to verify its contents ( use Retrieve Details) before you update it ?",
                      "Question", MsgIcon::Question, MsgButtons::YesNoCancel, MsgAnswer::Yes);
        if (answer != MsgAnswer::No) {
            skipQuestion = 1;
            tell(control,
                 "Nothing was saved." + std::string(kCrLf) + kCrLf +
                     "Retrieve Details shows the marks stored for this semester; pressing Update again replaces "
                     "them with the values in the boxes.",
                 control.session.AppTitle, MsgIcon::Information);
            return result;
        }
    }

    db::DataConnector& connector = *control.session.Connector;
    const auto fail = [&](const std::string& text, const std::string& title) {
        result.reason = connector.ErrDesc;
        connector.RollBackTransaction();
        tell(control, text, title, MsgIcon::Critical);
        result.outcome = Outcome::Failed;
        return result;
    };
    const std::string values =
        quoteLiteral(usn) + ", " + std::to_string(level) + ", " + quoteLiteral(entry.Institution);
    const std::string numbers = std::to_string(*obtained) + ", " + std::to_string(*maximum) + " , " +
                                ShortestNumber(percentage) + ", " + quoteLiteral(className);

    connector.BeginTransaction();
    std::string insert;
    if (rowExists) {
        if (connector.exec("DELETE from Marks where usn = " + quoteLiteral(usn) + " and education_level=" +
                           std::to_string(level)) != db::DataConnector::kSuccess)
            return fail("Unable to delete record before insert the new record ", "Error");
        insert = "INSERT into marks values( " + values + ", " + numbers + " , " + quoteLiteral(entry.PassingYear) +
                 " , " + quoteLiteral(entry.Attempts) + ")";
    } else {
        insert = "INSERT into marks values( " + values + " , " + numbers + " , " + quoteLiteral(entry.PassingYear) +
                 " , " + quoteLiteral(entry.Attempts) + " )";
    }
    if (connector.exec(insert) != db::DataConnector::kSuccess)
        return fail("Unable to insert record.  ", "Kyt - error");

    db::Recordset rows;
    db::Failure failure;
    db::Database* connection = connector.GetCurrentConnection();
    if (!connection->openRecordset("SELECT max(education_level) as maxEL from Marks where usn = " + quoteLiteral(usn),
                                   rows, failure) ||
        rows.isEOF() || rows.field("maxEl").isNull()) {
        connector.ErrDesc = failure.description;
        return fail("Error retrieving record. Please contact technical support ", "Error");
    }
    const int64_t maxLevel = rows.field("maxEl").toInteger();

    const int offset = CourseType(usn) == "MCA" ? 1 : 0;
    const int firstLevel = level - 2 - offset < 4 ? offset + 6 : level;
    for (int64_t L = firstLevel; L <= maxLevel; ++L) {
        db::Recordset average;
        if (!connection->openRecordset("SELECT (sum(obtained) /sum(max)) * 100  as average from marks where usn=" +
                                           quoteLiteral(usn) + " AND education_level >= " + std::to_string(offset + 3) +
                                           " And education_level <= " + std::to_string(L),
                                       average, failure) ||
            average.isEOF() || average.field("average").isNull()) {
            connector.ErrDesc = failure.description;
            return fail("Error updating record. ", "Error");
        }
        const double value = TwoDecimalValue(average.field("average").toDouble());
        const int64_t semesters = L - 2 - offset;
        if (connector.exec("UPDATE personal set one_to_" + std::to_string(semesters) + "= " + ShortestNumber(value) +
                           " where usn = " + quoteLiteral(usn)) != db::DataConnector::kSuccess)
            return fail("Error Updating average in personal table", "Error");
    }

    connector.EndTransaction();
    if (connector.CommitFailed()) {
        result.reason = connector.ErrDesc;
        tell(control, "Error updating record. ", "Error", MsgIcon::Critical);
        result.outcome = Outcome::Failed;
        return result;
    }
    tell(control, " Update successful ", "Success", MsgIcon::Information);
    skipQuestion = -1;
    result.outcome = Outcome::Done;
    return result;
}

}  // namespace kyt::admin
