#include "extract/extract_resume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <functional>

#include "db/data_connector.h"
#include "support/extraction_fixture.h"
#include "support/zip_bytes.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::ResumeForm;

using Edit = std::function<void(ResumeForm&)>;
Edit cell(int table, int row, int cell, std::string text)
{
    return [=](ResumeForm& form) { form.set(table, row, cell, text); };
}

class ExtractResumeTest : public ::testing::Test {
protected:
    // As in a run: on a server, a résumé's writes are answered together at its commit, so a refusal met
    // there (huge marks, a duplicate) must still be told as its statement's own.
    void SetUp() override { setup.control.session.Connector->GetCurrentConnection()->setWritesAhead(true); }
    int16_t extract(const ResumeForm& form)
    {
        form.save(path);
        return extractSaved();
    }
    int16_t extractSaved()
    {
        setup.control.run.DocumentErrors = 0;
        setup.control.run.ErrorText.clear();
        return ExtractResume(setup.control, path);
    }
    // The pending text without the log's wrapping (line breaks and indentation).
    std::string text() const
    {
        std::string text = setup.control.run.ErrorText;
        std::erase_if(text, [](char c) { return c == '\r' || c == '\n' || c == '\t'; });
        return text;
    }
    std::string value(const std::string& sql)
    {
        const auto rows = setup.rows(sql);
        return rows.empty() ? "<none>" : rows[0][0];
    }
    // One line a marks row: level|institution|obtained|max|percentage|class|year|attempts.
    std::vector<std::string> marksRows()
    {
        std::vector<std::string> out;
        for (const auto& row : setup.rows("SELECT * FROM Marks ORDER BY education_level")) {
            std::string line;
            for (size_t k = 1; k < row.size(); ++k)
                line += (k > 1 ? "|" : "") + row[k];
            out.push_back(line);
        }
        return out;
    }
    void forget()
    {
        setup.control.session.Connector->exec("DELETE FROM Marks");
        setup.control.session.Connector->exec("DELETE FROM Personal");
    }

    test::TempDir dir;
    test::ExtractionSetup setup{dir};
    const std::string path = dir.file("resume.docx");
};

// The progress bar stays at 97 or below while the résumé is read and reaches 100 at its end.
TEST_F(ExtractResumeTest, ProgressStaysAtMost97UntilItsEndShows100)
{
    std::vector<int16_t> shown;
    setup.control.run.ResumeProgress = [&](int16_t percent) { shown.push_back(percent); };
    ASSERT_EQ(extract(ResumeForm::be()), kResumeStored) << text();
    ASSERT_GE(shown.size(), 2u);
    EXPECT_LE(*std::max_element(shown.begin(), shown.end() - 1), 97);
    EXPECT_EQ(shown.back(), 100);
    for (auto [given, held] : std::vector<std::pair<int16_t, int16_t>>{{98, 97}, {97, 97}, {kProgressFinished, 100}}) {
        ShowResumeProgress(setup.control, given);
        EXPECT_EQ(shown.back(), held);
    }
}

// Cells that change what is stored without refusing the résumé. The branch name (table Branch) and the placement
// address (Kyt.ini) reach the database as written, apostrophes and all, nothing in them executed. The window
// program runs under the officer's locale: a decimal comma must not reach the SQL.
TEST_F(ExtractResumeTest, StoresWhatItsCellsSay)
{
    ASSERT_EQ(setup.control.session.Connector->exec("INSERT INTO Branch VALUES ('WE', 'Women''s Engineering')"),
              db::DataConnector::kSuccess);
    ASSERT_EQ(setup.control.session.Connector->exec("INSERT INTO Branch VALUES ('ZD', 'Zed'' || (select 1) || ''')"),
              db::DataConnector::kSuccess);
    setup.control.config.PlacementEmail = "o'neil@college.edu";
    const std::string a(254, 'a'), b(46, 'b'), c(254, 'c'), d(255, 'd');
    const struct {
        const char* what;
        Edit edit;
        std::string sql, expected;
    } cases[] = {
        {"ratio of four places", cell(2, 2, 5, "0.8166"), "SELECT percentage FROM Marks WHERE education_level = 1",
         "81.66"},
        {"empty percentage", cell(2, 2, 5, ""), "SELECT percentage FROM Marks WHERE education_level = 1", "0"},
        {"words", cell(2, 2, 5, "Distinction"), "SELECT percentage FROM Marks WHERE education_level = 1", "81.6"},
        {"full marks", cell(2, 5, 3, "1000"), "SELECT percentage || class FROM Marks WHERE education_level = 3",
         "100.0FCD"},
        {"no first institution", [](ResumeForm& f) { f.set(2, 2, 2, ""), f.set(2, 3, 2, "MES   College"); },
         "SELECT group_concat(Institution, '|') FROM Marks WHERE education_level < 3", "|MES College"},
        {"invalid e-mail", cell(1, 5, 3, "shankar at example dot com"), "SELECT Email FROM Personal",
         "o'neil@college.edu"},
        {"a branch name with an apostrophe", cell(1, 2, 1, "1QP01WE001"), "SELECT BranchName FROM Personal",
         "Women's Engineering"},
        {"a branch name that reads as SQL", cell(1, 2, 1, "1QP01ZD002"), "SELECT BranchName FROM Personal",
         "Zed' || (select 1) || '"},
        {"fewer digit boxes", [](ResumeForm& f) { f.truncateRow(1, 10, 5); }, "SELECT Pin FROM Personal", "123"},
        {"a letter in the digit boxes", cell(1, 10, 5, "a"), "SELECT Pin FROM Personal", "12"},
        {"five semesters", cell(2, 10, 3, ""),
         "SELECT count(*) || ' ' || one_to_5 || ' ' || one_to_6 || ' ' || one_to_7 FROM Personal, Marks",
         "7 63.9 2.0 0.0"},
        {"no marks", cell(2, 2, 3, ""), "SELECT count(Marks.USN) || ' ' || one_to_4 || finalproject1 FROM Personal "
         "LEFT JOIN Marks ON 1", "0 2.0Résumé database for the placement office"},
        // a title longer than one column continues in the second; past 509 characters it is cut
        {"long projects", [&](ResumeForm& f) { f.set(2, 15, 1, a + b), f.set(2, 15, 2, c + d + "cut"); },
         "SELECT prefinalproject1 || '|' || prefinalproject2 || '|' || finalproject1 || '|' || finalproject2 "
         "FROM Personal",
         a + "|" + b + "|" + c + "|" + d},
    };
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "scripts/setup generates the de_DE.UTF-8 locale";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        forget();
        ResumeForm form = ResumeForm::be();
        c.edit(form);
        EXPECT_EQ(extract(form), kResumeStored) << text();
        EXPECT_EQ(value(c.sql), c.expected);
    }
    std::setlocale(LC_ALL, previous.c_str());
}

// A refused résumé leaves nothing behind, whatever it had written, and the next one is stored alone. What the
// reader cannot take for the form is refused with the reason it has: a cell holding what text may not hold is
// named, so the officer knows what to retype.
TEST_F(ExtractResumeTest, RefusesWithItsReasonAndLeavesNothingStored)
{
    const std::string notTheForm = "This file does not seem to be a valid format resume";
    const struct {
        const char* what;
        Edit edit;
        std::string message;  // part of the reported message, unwrapped
        std::string bytes = {};  // the file instead of the form, when given
    } cases[] = {
        {"bad college", cell(1, 2, 1, "2QP01CS007"), "Error USN 2QP01CS007 - Bad college code"},
        {"blank name", cell(1, 2, 2, ""), "Name is blank"},
        {"day zero", cell(1, 3, 1, "0"), "DOB: 0-11-1982 is invalid "},
        // a date the engine's own date conversion (the query's Age column) cannot convert
        {"day 31 of November", cell(1, 3, 1, "31"), "DOB: 31-11-1982 is invalid "},
        {"DOB without year", cell(1, 3, 3, ""), "DOB: 5-11- is invalid "},
        {"max empty", cell(2, 6, 4, ""), "In Academic Performance table:  Max marks not entered. See row 5"},
        {"max zero", cell(2, 3, 4, "0"), "In Academic Performance table:  Max marks not entered. See row 2"},
        {"MCA degree without max", [](ResumeForm& f) { f = ResumeForm::mca(), f.set(2, 4, 4, ""); },
         "Max marks not entered. See row 3"},
        {"above max", cell(2, 12, 3, "1001"),
         "In Academic Performance table:  Marks obtained is more than max marks ! See row 11"},
        {"no year", cell(2, 8, 7, ""),
         "In Academic Performance table:  Pass year or No. of attempts is blank.  See row 7 of that table"},
        {"no attempts", cell(2, 2, 8, ""), "Pass year or No. of attempts is blank.  See row 1 of that table"},
        // marks beyond what a mark can hold: given up after Personal and four marks rows were written
        {"huge marks", cell(2, 8, 3, "99999"), notTheForm},
        {"PIN past 32 bits", cell(1, 10, 3, "99999999999"), notTheForm},
        {"22 cells in a row", cell(1, 7, 22, "x"), notTheForm},
        {"no projects", [](ResumeForm& f) { f.truncateTable(2, 13); }, notTheForm},
        {"no zip package", nullptr, "it is not a zip package", "this is not a zip file"},
        {"a NUL in a cell", nullptr, "Table 1, row 2, cell 1 holds a character",
         test::docxWithBody(test::table({{"x"}, {"Ab&#0;cd"}}))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ResumeForm form = ResumeForm::be();
        if (c.edit)
            c.edit(form);
        form.save(path);
        if (!c.bytes.empty())
            test::writeFile(path, c.bytes);
        EXPECT_EQ(extractSaved(), kResumeRejected);
        EXPECT_NE(text().find(c.message), std::string::npos) << setup.control.run.ErrorText;
        EXPECT_EQ(setup.students() + setup.marks(), 0);
    }

    ASSERT_EQ(extract(ResumeForm::be("1QP01CS008")), kResumeStored) << text();
    EXPECT_EQ(setup.students(), 1);
    EXPECT_EQ(setup.marks(), 10);
    // The same student again: refused as a duplicate, the first one kept.
    ResumeForm again = ResumeForm::be("1QP01CS008");
    again.set(1, 2, 2, "someone else");
    EXPECT_EQ(extract(again), kResumeRejected);
    EXPECT_NE(text().find("A resume with the same USN already exists in the database."), std::string::npos) << text();
    EXPECT_NE(text().find("( Technically, 105121349 )"), std::string::npos) << text();
    EXPECT_NE(text().find("Transaction rolled back"), std::string::npos);
    EXPECT_EQ(value("SELECT Name FROM Personal"), "Shankar Rao");
    EXPECT_EQ(setup.marks(), 10);
}

// Every column of the student (but the branch name, from table Branch) and the marks rows. Two shipped samples,
// made before the reader took its places from the layout table: a wrong place reads another cell than they hold.
// The generated BE résumé: names cased, spaces collapsed, percentages, institutions and classes derived.
TEST_F(ExtractResumeTest, StoresEveryColumnAndMarksRowFromItsPlace)
{
    const struct {
        const char* file;  // null: the generated BE résumé of 1qp01cs7
        size_t stored;     // marks rows
        std::string personal;
        std::vector<std::string> marks;  // the first rows; the aggregates stand for the rest
    } cases[] = {
        {nullptr, 10,
         "1QP01CS007|Shankar Rao|Venkatesh Rao|05-11-1982|Male|12, 4th Cross, Malleswaram, Bangalore 560003|Karnataka|"
         "Skills|Activities|Scholar|shankar.rao@example.com|Malleswaram|080-3345678|Reading, cricket||Kannada, English|"
         "123456|Chess, reading|C, C++, Java|NSS volunteer, college fest organiser||Single|2500|General|"
         "Strengths: hard working|Weaknesses: impatient|Secretary of the computer club|63.5|63.9|65.25|65.64|66.81|"
         "Library management system||Résumé database for the placement office|",
         {"1|National High School|510|625|81.6|Distinction|1998|1", "2|National High School|480|600|80|First|2000|1",
          "3|R V College of Engineering|610|1000|61|First|2001|1",
          "4|R V College of Engineering|640|1000|64|First|2001|1"}},
        {"1QP22CS001.docx", 10,
         "1QP22CS001|Lakshmi Rao|Venkatesh Rao|03-12-2002|Male|#895, 15th Cross Mangaluru Layout|27087|Udupi|Indian|"
         "9592477164|lakshmi.rao1@example.com|Mangaluru|Mangaluru|English, Kannada||Karnataka|563574|"
         "Door 296, Main Road|Karnataka|||Udupi|582650|080-24180013|Reading, chess|College cultural committee|"
         "To work in a challenging environment that uses my skills in engineering.|69.47|69.57|68.31|68.97|68.97|"
         "Traffic density estimation from CCTV video||"
         "Design of a solar-powered water pump: a working prototype and report|",
         {"1|St. Joseph`s High School, Mangaluru|387|625|61.92|First Class|April 2020|1",
          "2|Government PU College|336|600|56|Second Class|March 2022|1",
          "3|QP Institute of Technology|367|750|48.93|Second|January 2023|1",
          "4|QP Institute of Technology|675|750|90|FCD|July 2023|1",
          "5|QP Institute of Technology|502|750|66.93|First|January 2024|1"}},
        {"1QP22MCA21.docx", 8,
         "1QP22MCA21|Prakash Bhat|Venkatesh Bhat|05-05-2004|Male|#960, 4th Cross Tumakuru Layout|12175|Mysuru|Indian|"
         "9403331587|prakash.bhat20@example.com|Tumakuru|Tumakuru|English, Kannada||Karnataka|570753|"
         "Door 291, Main Road|Karnataka|||Mysuru|591934|080-28730038|Cricket and music|NSS volunteer|"
         "To work in a challenging environment that uses my skills in software development.|69.25|69|65.33|0|"
         "0|Smart irrigation controller with soil-moisture sensors||"
         "Traffic density estimation from CCTV video: a working prototype and report|",
         {"1|Kendriya Vidyalaya No. 2, Tumakuru|543|625|86.88|Distinction|April 2020|1",
          "2|MES PU College|522|600|87|Distinction|March 2022|1",
          "4|QP Institute of Technology, Department of MCA|608|800|76|FCD|January 2026|1",
          "5|QP Institute of Technology, Department of MCA|568|800|71|FCD|July 2026|1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "generated");
        forget();
        if (c.file)
            fs::copy_file(KYT_SOURCE_DIR "/samples/resumes/" + std::string(c.file), path,
                          fs::copy_options::overwrite_existing);
        else
            ResumeForm::be("1qp01cs7").save(path);
        ASSERT_EQ(extractSaved(), kResumeStored) << text();
        std::vector<std::string> row = setup.rows("SELECT * FROM Personal").at(0);
        row.erase(row.begin() + 1);
        std::string joined;
        for (size_t k = 0; k < row.size(); ++k)
            joined += (k ? "|" : "") + row[k];
        EXPECT_EQ(joined, c.personal);
        std::vector<std::string> marks = marksRows();
        EXPECT_EQ(marks.size(), c.stored);
        marks.resize(c.marks.size());
        EXPECT_EQ(marks, c.marks);
    }
}

}  // namespace
}  // namespace kyt
