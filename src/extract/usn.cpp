#include "extract/usn.h"

#include <QString>

#include "db/data_connector.h"
#include "db/database.h"
#include "db/recordset.h"
#include "extract/validation.h"

namespace kyt {

namespace {

std::string upper(const std::string& text)
{
    return QString::fromStdString(text).toUpper().toStdString();
}

bool isAsciiLetterOrDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The first character that has no place in a USN, or an empty text when there is none. A USN is
// put between quotes in SQL (the branch lookup, the writers, the administration windows), so
// anything but letters and digits, the apostrophe first of all, is refused before it gets there.
std::string firstForeignChar(const std::string& text)
{
    for (size_t at = 0; at < text.size(); ++at)
        if (!isAsciiLetterOrDigit(text[at]))
            return MidChars(text.substr(at), 0, 1);
    return {};
}

enum class Lookup { Found, NotFound, Failed };

Lookup findBranch(Control& control, const std::string& code, std::string& name, std::string& failure)
{
    db::Database* database = control.session.Connector ? control.session.Connector->GetCurrentConnection() : nullptr;
    if (!database) {
        failure = "there is no database connection";
        return Lookup::Failed;
    }
    db::Recordset branches;
    db::Failure dbFailure;
    if (!database->openRecordset("select * from branch where BranchCode = '" + code + "'", branches, dbFailure)) {
        // A lock or an I/O error here is no fault of the résumé: the run must learn of it.
        control.session.Connector->NoteReadFailure(dbFailure);
        failure = dbFailure.description;
        return Lookup::Failed;
    }
    if (branches.RecordCount() == 0)
        return Lookup::NotFound;
    name = branches.field("Branch").toText();
    branches.Close();
    return Lookup::Found;
}

// The branch of a USN: 2, 3, kBranchMBA, kBranchUnknown or kBranchLookupFailed, with its name when found.
int16_t FindBranchOf(Control& control, const std::string& USN, std::string& name, std::string& failure)
{
    failure.clear();
    if (upper(MidChars(USN, 5, 3)) == "MBA")
        return kBranchMBA;
    const std::string code2 = upper(MidChars(USN, 5, 2));
    const std::string code3 = upper(MidChars(USN, 5, 3));
    // No branch code holds anything but letters and digits: such a code is never sent into SQL.
    if (!firstForeignChar(code2).empty())
        return kBranchUnknown;

    Lookup found = findBranch(control, code2, name, failure);
    int16_t length = 2;  // a two-character code wins over a three-character one that starts with it
    if (found == Lookup::NotFound) {
        if (!firstForeignChar(code3).empty())
            return kBranchUnknown;
        found = findBranch(control, code3, name, failure);
        length = 3;
    }
    if (found == Lookup::Failed)
        return kBranchLookupFailed;
    if (found == Lookup::NotFound)
        return kBranchUnknown;
    return length;
}

}  // namespace

int16_t LookupBranch(Control& control, std::string& USN, std::string& failure)
{
    std::string name;
    const int16_t length = FindBranchOf(control, USN, name, failure);
    if (length == 2 || length == 3)
        control.run.BranchName = name;
    return length;
}

int16_t LookupBranch(Control& control, std::string& USN)
{
    std::string failure;
    return LookupBranch(control, USN, failure);
}

UsnCheck CheckUsn(Control& control, std::string& USN)
{
    UsnCheck check;
    check.usn = "ERR";
    USN = upper(USN);
    std::string first = FirstChars(USN, 1);
    if (first == "I")
        first = "1";
    USN = first + MidChars(USN, 1);

    if (first.size() != 1 || first[0] < '0' || first[0] > '9') {
        AddError(control, "Error USN " + USN + " - Bad region code ( " + first + ")", kError);
        return check;
    }
    const std::string college = FirstChars(USN, 3);
    if (college != control.config.RegionCollegeCode) {
        AddError(control,
                 "Error USN " + USN + " - Bad college code ( " + college +
                     "). Expecting : " + control.config.RegionCollegeCode,
                 kError);
        return check;
    }
    const std::string foreign = firstForeignChar(USN);
    if (!foreign.empty()) {
        AddError(control,
                 "Error USN " + USN + " - Bad character ( " + foreign + "). A USN holds only letters and digits.",
                 kError);
        return check;
    }

    std::string failure;
    check.branchCodeLen = FindBranchOf(control, USN, check.branchName, failure);
    if (check.branchCodeLen == kBranchLookupFailed) {
        AddError(control, "Error USN " + USN + " - The Branch table could not be read: " + failure, kError);
        return check;
    }
    if (check.branchCodeLen == kBranchUnknown) {
        AddError(control,
                 "Error USN " + USN + " - Branch code ( " + MidChars(USN, 5, 2) + ") not in database. " + USN,
                 kError);
        return check;
    }
    if (check.branchCodeLen == kBranchMBA) {
        AddError(control, "Kyt does not yet support MBA resumes.\r\nCurrent USN: " + USN, kError);
        return check;
    }

    const size_t branchLength = static_cast<size_t>(check.branchCodeLen);
    const size_t rollWidth = branchLength == 2 ? 3 : 2;
    std::string roll = MidChars(USN, branchLength + 5);
    // Without a roll number the USN names a branch of a year, not a student.
    if (roll.empty()) {
        AddError(control, "Error USN " + USN + " - Bad rollno.", kError);
        return check;
    }
    if (IsNumber(roll)) {
        if (CharCount(roll) > rollWidth) {
            AddError(control, "Error USN " + USN + " - Bad rollno.", kError);
            return check;
        }
        roll.insert(0, rollWidth - CharCount(roll), '0');
    }
    check.usn = upper(FirstChars(USN, branchLength + 5)) + roll;
    return check;
}

std::string ValidateUSN(Control& control, std::string& USN)
{
    UsnCheck check = CheckUsn(control, USN);
    if (check.branchCodeLen != 0)
        control.run.BranchCodeLen = check.branchCodeLen;
    if (check.branchCodeLen == 2 || check.branchCodeLen == 3)
        control.run.BranchName = std::move(check.branchName);
    return check.usn;
}

std::string CourseType(const std::string& USN)
{
    const std::string course = upper(MidChars(USN, 5, 3));
    if (course == "MBA" || course == "MCA")
        return course;
    return "BE";
}

}  // namespace kyt
