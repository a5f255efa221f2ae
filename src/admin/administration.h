#pragma once
// Administration: deleting one student, a batch or every record, adding and deleting branches, and
// correcting one semester's marks. Each procedure asks and tells the officer through control.session.Messages,
// writes in one transaction of control.session.Connector and commits before it says the change was made.
// The windows and kyt-cli only gather the typed texts and call these.

#include <cstdint>
#include <string>
#include <string_view>

#include "shell/control.h"

namespace kyt::admin {

enum class Outcome {
    Done,     // the change was made and committed (or, for a look-up, the student was found)
    Refused,  // a check refused the input or the officer did not say Yes; nothing was written
    Failed,   // the database failed; nothing was written
};

// The box a refusal points at, so that a window can put the focus there.
enum class Box { None, BranchCode, BranchName, Semester, Obtained, Maximum, PassingYear, Attempts };

struct Result {
    Outcome outcome = Outcome::Refused;
    Box focus = Box::None;
    std::string reason;  // the database's own description when outcome is Failed
};

// What each box of the windows holds at most (its column's capacity). Longer text cannot be typed.
inline constexpr int kUsnBoxLength = 10;
inline constexpr int kBatchBoxLength = 5;
inline constexpr int kBranchCodeBoxLength = 3;
inline constexpr int kBranchNameBoxLength = 255;
inline constexpr int kInstitutionBoxLength = 255;
inline constexpr int kPassingYearBoxLength = 50;
inline constexpr int kAttemptsBoxLength = 50;

// A number in its shortest decimal form with a "." whatever the locale.
std::string ShortestNumber(double value);
// The value formatted with two decimals and read back, whatever the locale.
double TwoDecimalValue(double value);

Result DeleteStudent(Control& control, const std::string& typedUsn);
// `typedBatch`: the two-digit year, optionally followed by a branch code of letters.
Result DeleteBatch(Control& control, const std::string& typedBatch);
Result DeleteAllRecords(Control& control);
Result AddBranch(Control& control, const std::string& typedCode, const std::string& typedName);
Result DeleteBranch(Control& control, const std::string& typedCode);

// Reads the Branch table into control.session.BranchCodes and control.session.BranchCount, as start-up does. Called
// after every committed branch change, so that the query window offers the branches as they now are.
bool ReloadBranchList(Control& control, std::string& failure);

// The normal form of a typed USN, or "ERR". The refusal reports of the check are not kept in the
// pending error text: they belong to no résumé and would end up in the next extraction's log.
// `databaseFailure` receives the reason when the Branch table could not be read.
std::string CheckedUsn(Control& control, const std::string& typed, std::string* databaseFailure = nullptr);

// One semester's marks as the marks window's boxes hold them.
struct MarksEntry {
    std::string Obtained, Max, PassingYear, Attempts, Institution = "Corlan";
};

struct StoredMarks {
    std::string name;       // the student's name
    bool rowFound = false;  // false: no row for that semester; `marks` holds the boxes' emptied values
    MarksEntry marks;
};

// Education level of a semester for a USN: semester + 2 for BE, + 3 for MCA. 0 when the text is not a
// semester of the USN's course written as a whole number (BE 1 to 8, MCA 1 to 6) or the course is MBA.
int16_t SemesterLevel(const std::string& usn, const std::string& semesterText);

// Looks up the student and one semester's row. Done when the student exists (with or without a row).
// A semester that is not one of the course's is refused first, as the update refuses it.
Result RetrieveMarks(Control& control, const std::string& typedUsn, const std::string& semesterText,
                     StoredMarks& out);

// Replaces (or adds) one semester's row and recomputes the aggregates it affects, in one transaction.
// `skipQuestion` is the window's flag: 1 replaces an existing row without asking; a Yes or Cancel at
// "Record already exists." sets it to 1 and writes nothing; a successful update sets it to -1.
Result UpdateMarks(Control& control, const std::string& typedUsn, const std::string& semesterText,
                   const MarksEntry& entry, int16_t& skipQuestion);

}  // namespace kyt::admin
