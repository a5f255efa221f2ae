#pragma once
// The college's fixed résumé form: where each field sits. The reader takes its values from these places
// and the form generator writes them there, so the two cannot drift apart. Tables, rows and cells are
// counted from 1, as the document reader counts them.

namespace kyt::word::form_layout {

enum class Course { BE, MCA };

// One field of table 1. A field over several cells holds one part of its value in each: the date of birth
// as day, month, year; a PIN code as one digit a cell.
struct Field {
    const char* key;  // the generator's name of the field
    int table;
    int row;
    int cell;
    int cells;   // consecutive cells holding the value
    int width;   // characters kept when it is stored; 0 keeps the whole text
    int column;  // the column of table Personal it is stored in, from 1; 0 when it is not stored
};

// Columns of table Personal that the reader fills with more than a cut cell text.
namespace column {
constexpr int kUsn = 1;
constexpr int kBranch = 2;  // from table Branch, not from the form
constexpr int kName = 3;
constexpr int kFatherName = 4;
constexpr int kDob = 5;
constexpr int kEmail = 12;
constexpr int kPin = 18;
constexpr int kPermanentPin = 24;
constexpr int kLastFromForm = 28;  // the columns after it hold the fixed defaults of a new student
}  // namespace column

// Table 1: personal information, in the order of its rows. Rows 1, 4, 6 and 16 are captions and headings.
inline constexpr int kPersonalTable = 1;
inline constexpr int kPersonalRows = 18;
inline constexpr Field kPersonal[] = {
    {"usn", 1, 2, 1, 1, 0, column::kUsn},
    {"name", 1, 2, 2, 1, 65, column::kName},
    {"age", 1, 2, 3, 1, 0, 0},
    {"blood_group", 1, 2, 4, 1, 0, 0},
    {"category", 1, 2, 5, 1, 0, 0},
    {"gender", 1, 2, 6, 1, 10, 6},
    {"dob", 1, 3, 1, 3, 0, column::kDob},
    {"mother_name", 1, 5, 1, 1, 0, 0},
    {"father_name", 1, 5, 2, 1, 65, column::kFatherName},
    {"email", 1, 5, 3, 1, 50, column::kEmail},
    {"address", 1, 7, 1, 1, 0, 7},
    {"city", 1, 7, 2, 1, 100, 13},
    {"district", 1, 8, 2, 1, 100, 14},
    {"state", 1, 8, 3, 1, 50, 17},
    {"languages", 1, 9, 2, 1, 0, 15},
    {"pin", 1, 10, 3, 6, 0, column::kPin},
    {"phone", 1, 10, 9, 1, 50, 25},
    {"cet_rank", 1, 11, 1, 1, 14, 8},
    {"permanent_address", 1, 12, 2, 1, 100, 19},
    {"permanent_city", 1, 12, 3, 1, 50, 23},
    {"permanent_district", 1, 13, 1, 1, 50, 9},
    {"permanent_state", 1, 13, 2, 1, 100, 20},
    {"nationality", 1, 14, 1, 1, 50, 10},
    {"achievements", 1, 14, 2, 1, 0, 21},
    {"permanent_phone", 1, 15, 1, 1, 50, 11},
    {"permanent_pin", 1, 15, 3, 6, 0, column::kPermanentPin},
    {"objective", 1, 17, 3, 1, 200, 28},
    {"hobbies", 1, 18, 1, 1, 250, 26},
    {"activities", 1, 18, 2, 1, 250, 27},
};

// Table 2: academic performance. Row 1 holds the column captions; marks row i is table row i + 1. The rows
// are the school levels (and the degree on the MCA form), a row naming the college of the semesters, then
// the semesters; the project titles follow in a row of their own.
inline constexpr int kMarksTable = 2;
namespace marks {
constexpr int kInstitutionCell = 2;
constexpr int kObtainedCell = 3;
constexpr int kMaximumCell = 4;
constexpr int kPercentCell = 5;
constexpr int kClassCell = 6;
constexpr int kYearCell = 7;
constexpr int kAttemptsCell = 8;
constexpr int kInstitutionRowWidth = 65;  // characters kept of the institution row's college
constexpr int kTextWidth = 50;            // characters kept of a level's class, year and attempts
constexpr int kFirstAggregate = 4;        // the first semester count with a running aggregate column (one_to_4)
}  // namespace marks

struct MarksLayout {
    int lastMarksRow;    // the last marks row i
    int levelsBefore;    // marks rows before the institution row
    int institutionRow;  // the marks row i naming the college of the semesters
    int semesters;
    int tableRows;  // rows of the whole table
    int projectsRow;  // table row of the project titles
    int preFinalCell;
    int finalCell;
    int unstoredRow;  // a marks row checked but not stored (the MCA form's degree); 0 for none
};
inline constexpr MarksLayout kBE{11, 2, 3, 8, 15, 15, 1, 2, 0};
inline constexpr MarksLayout kMCA{10, 3, 4, 6, 13, 13, 5, 6, 3};
constexpr const MarksLayout& marksLayout(Course course) { return course == Course::MCA ? kMCA : kBE; }
// The table row of marks row i.
constexpr int marksTableRow(int i) { return i + 1; }

}  // namespace kyt::word::form_layout
