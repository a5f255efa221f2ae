#pragma once
// Résumés on the college's form, made by the form generator and changed cell by cell inside the tests,
// and a Control wired to a fresh database made by kyt-cli init-db.

#include <memory>
#include <string>
#include <vector>

#include "resume-form/resume_form.h"
#include "shell/control.h"
#include "support/scripted_messages.h"
#include "support/temp_dir.h"

namespace kyt::test {

// The two tables of the form. Rows and cells are counted from 1, as the form's readers count them.
class ResumeForm {
public:
    // A complete BE résumé (2-character branch, 8 semesters) or MCA résumé (3-character branch, 6 semesters).
    static ResumeForm be(const std::string& usn = "1QP01CS007", const std::string& name = "shankar RAO");
    static ResumeForm mca(const std::string& usn = "1QP01MCA07", const std::string& name = "mary-ann joseph");

    void set(int table, int row, int cell, const std::string& text);
    void truncateTable(int table, int rows);  // keeps the first `rows` rows
    void truncateRow(int table, int row, int cells);
    void save(const std::string& path) const;

    // Marks row i of table 2 (table row i + 1): institution, obtained, maximum, percentage, class, year, attempts.
    void setMarks(int i, const std::string& institution, const std::string& obtained, const std::string& maximum,
                  const std::string& percent = "", const std::string& className = "", const std::string& year = "2004",
                  const std::string& attempts = "1");

private:
    std::vector<std::vector<std::string>>& rows(int table) { return table == 1 ? tables_.personal : tables_.marks; }
    form::FormTables tables_;
    form::Course course_ = form::Course::BE;
};

// A Control as the running program has it for extraction: database connected, college 1QP, placement
// address, database error texts, scripted messages, the document reader started.
class ExtractionSetup {
public:
    // `database` names it: two setups of one test need two names, since on a server they share the process's.
    explicit ExtractionSetup(const TempDir& dir, const std::string& database = "kyt.db");
    ~ExtractionSetup();

    Control control;
    ScriptedMessages messages;
    std::string databasePath;

    // Rows of one SELECT as texts ("" for null), for assertions.
    std::vector<std::vector<std::string>> rows(const std::string& sql);
    long count(const std::string& sql);
    // The first row's values joined by "|", numbers as the results grid shows them.
    std::string joined(const std::string& sql);
    long students() { return count("SELECT count(*) FROM Personal"); }
    long marks() { return count("SELECT count(*) FROM Marks"); }
};

}  // namespace kyt::test
