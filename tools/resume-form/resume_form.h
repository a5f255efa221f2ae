#pragma once
// The college's fixed résumé form: where each field sits (table, row, cell, counted from 1), and a
// writer of filled-in or blank forms. The extraction reads these places; the form generator, the
// samples and every test that builds a résumé write them from here, so they cannot drift apart.

#include <map>
#include <string>
#include <vector>

namespace kyt::form {

enum class Course { BE, MCA };

struct Place {
    int row;
    int cell;
};

// Table 1: personal information. Rows 1, 4, 6 and 16 are captions and headings; they are not read.
namespace personal {
constexpr int kTable = 1;
constexpr int kRows = 18;
constexpr Place kUsn{2, 1};
constexpr Place kName{2, 2};
constexpr Place kGender{2, 6};
constexpr Place kDobDay{3, 1};
constexpr Place kDobMonth{3, 2};
constexpr Place kDobYear{3, 3};
constexpr Place kFatherName{5, 2};
constexpr Place kEmail{5, 3};
constexpr Place kAddress{7, 1};
constexpr Place kCity{7, 2};
constexpr Place kDistrict{8, 2};
constexpr Place kState{8, 3};
constexpr Place kLanguages{9, 2};
constexpr int kPinRow = 10;          // one digit in each of cells 3 to 8
constexpr int kPinFirstCell = 3;
constexpr int kDigitCells = 6;
constexpr Place kPhone{10, 9};
constexpr Place kCetRank{11, 1};
constexpr Place kPermanentAddress{12, 2};
constexpr Place kPermanentCity{12, 3};
constexpr Place kPermanentDistrict{13, 1};
constexpr Place kPermanentState{13, 2};
constexpr Place kNationality{14, 1};
constexpr Place kAchievements{14, 2};
constexpr Place kPermanentPhone{15, 1};
constexpr int kPermanentPinRow = 15;  // cells 3 to 8
constexpr Place kObjective{17, 3};
constexpr Place kHobbies{18, 1};
constexpr Place kActivities{18, 2};
}  // namespace personal

// Table 2: academic performance. Row 1 holds the column captions; marks row i is table row i + 1.
namespace marks {
constexpr int kTable = 2;
constexpr int kInstitutionCell = 2;
constexpr int kObtainedCell = 3;
constexpr int kMaximumCell = 4;
constexpr int kPercentCell = 5;
constexpr int kClassCell = 6;
constexpr int kYearCell = 7;
constexpr int kAttemptsCell = 8;

struct Layout {
    int lastMarksRow;       // the last marks row counter i
    int levelsBefore;       // marks rows before the institution row (school levels, and the degree for MCA)
    int institutionRow;     // the marks row counter i of the row naming the college of the semesters
    int semesters;
    int tableRows;          // rows of the whole table
    int projectsRow;        // table row
    int preFinalCell;
    int finalCell;
};
constexpr Layout kBE{11, 2, 3, 8, 15, 15, 1, 2};
constexpr Layout kMCA{10, 3, 4, 6, 13, 13, 5, 6};
constexpr const Layout& layout(Course course) { return course == Course::MCA ? kMCA : kBE; }
// Table row of marks row counter i.
constexpr int tableRow(int i) { return i + 1; }
}  // namespace marks

// One row of table 2 as the student fills it in.
struct MarksRow {
    std::string label;  // cell 1: the level's name
    std::string institution;
    std::string obtained;
    std::string maximum;
    std::string percentage;
    std::string classObtained;
    std::string passingYear;
    std::string attempts;
};

struct Resume {
    Course course = Course::BE;
    // Table 1 fields by key (see fieldKeys()). "dob" is split into its three cells as day-month-year;
    // "pin" and "permanent_pin" into their six digit cells. A "\n" in a value starts a new paragraph.
    std::map<std::string, std::string> fields;
    // Table 2 marks rows in table order: the school levels (and degree), the institution row (only
    // its institution is written), then the semesters.
    std::vector<MarksRow> marks;
    std::string preFinalProject;
    std::string finalProject;

    // Faults in the structure, for testing the reader's refusals.
    bool omitMarksTable = false;
    int wideRow = 0;  // when set, this row of table 1 gets 22 cells
};

// The keys of table 1 fields, in form order.
const std::vector<std::string>& fieldKeys();

// A valid résumé, varied by `serial` (names, marks, texts), for the given USN.
Resume sampleResume(int serial, const std::string& usn, Course course);
// USN for the serial-th student (from 0) of a batch: 1QP22CS001 ... 1QP22CS999, then EC, ME, CV, EE,
// IS, then the next year (1QP23CS001 ...). The MCA ones: 1QP22MCA01 ... 1QP22MCA99, then 1QP23MCA01.
std::string batchUsn(int serial, const std::string& college = "1QP", const std::string& year = "22");
std::string batchMcaUsn(int serial, const std::string& college = "1QP", const std::string& year = "22");

// Applies one named fault ("bad-usn", "missing-max=5", ...; see faultHelp()). False with a reason when
// the name or its value is not understood.
bool applyFault(Resume& resume, const std::string& fault, std::string& error);
const char* faultHelp();

// Parses "key=value" lines into a résumé (see dataHelp()); several résumés are separated by a line "---".
bool parseResumes(const std::string& text, std::vector<Resume>& out, std::string& error);
const char* dataHelp();

bool writeResume(const Resume& resume, const std::string& path, std::string& error);
bool writeBlankForm(Course course, const std::string& path, std::string& error);

// The body XML of the form (for tests that need to alter it).
std::string formBodyXml(const Resume& resume, bool blank);

}  // namespace kyt::form
