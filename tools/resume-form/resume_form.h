#pragma once
// A writer of résumés on the college's fixed form, filled in, faulty or blank, for the tests, the
// benchmarks and the form generator. Every value goes to the place the form's layout gives it, the
// place the extraction reads.

#include <map>
#include <string>
#include <vector>

#include "word/form_layout.h"

namespace kyt::form {

using Course = word::form_layout::Course;

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

// The form as its two tables of cell texts, rows and cells in order (row r, cell c at [r - 1][c - 1]),
// for a test that changes any cell, or cuts rows and cells, before writing it with writeTables.
struct FormTables {
    std::vector<std::vector<std::string>> personal;
    std::vector<std::vector<std::string>> marks;  // empty: the form has no marks table
};
FormTables formTables(const Resume& resume);
bool writeTables(const FormTables& tables, Course course, const std::string& path, std::string& error);

}  // namespace kyt::form
