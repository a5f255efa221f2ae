// The form generator is test machinery: it is checked where a wrong generator would let the reader's
// tests pass silently (a value written where the layout does not say, two fields in one cell, two
// students of a batch under one USN), and as the placement office runs it.

#include "resume-form/resume_form.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "support/temp_dir.h"
#include "word/document.h"

using namespace kyt::form;
using kyt::test::TempDir;
using kyt::word::Document;
namespace fs = std::filesystem;
namespace layout = kyt::word::form_layout;

namespace {

// A cell's text with its paragraphs joined by a line feed, without the cell mark.
std::string text(const Document& doc, int table, int row, int cell)
{
    const auto* cells = doc.row(table, row);
    if (!cells || cell > static_cast<int>(cells->size()))
        return "<missing>";
    std::string t = (*cells)[static_cast<size_t>(cell - 1)];
    t = t.substr(0, t.size() - 2);
    for (char& c : t)
        c = c == '\r' ? '\n' : c;
    return t;
}

}  // namespace

// The generator writes every value where the layout says the reader finds it; the blank form has the
// same shape with the value cells empty.
TEST(ResumeForm, EveryValueIsWhereTheLayoutSays)
{
    for (const Course course : {Course::BE, Course::MCA}) {
        SCOPED_TRACE(course == Course::MCA ? "MCA" : "BE");
        TempDir dir;
        Resume resume = sampleResume(7, course == Course::MCA ? "1QP22MCA07" : "1QP22CS007", course);
        resume.fields["achievements"] = "Quiz winner";  // never empty, so an empty cell cannot pass by chance
        resume.fields["address"] = "12 Temple Road\nMysuru";
        std::string error;
        ASSERT_TRUE(writeResume(resume, dir.file("r.docx"), error)) << error;
        ASSERT_TRUE(writeBlankForm(course, dir.file("blank.docx"), error)) << error;
        auto doc = Document::open(dir.file("r.docx"), error);
        auto blank = Document::open(dir.file("blank.docx"), error);
        ASSERT_TRUE(doc && blank) << error;
        EXPECT_EQ(static_cast<int>(doc->table(layout::kPersonalTable)->rows.size()), layout::kPersonalRows);
        for (const layout::Field& f : layout::kPersonal) {
            const std::string key = f.key;
            for (int part = 0; part < f.cells; ++part) {
                const char* dob[] = {"dob_day", "dob_month", "dob_year"};
                const std::string expected = key == "dob" ? resume.fields[dob[part]]
                                             : f.cells > 1 ? resume.fields[key].substr(static_cast<size_t>(part), 1)
                                                           : resume.fields[key];
                ASSERT_FALSE(expected.empty()) << key;
                EXPECT_EQ(text(*doc, f.table, f.row, f.cell + part), expected) << key;
                EXPECT_EQ(text(*blank, f.table, f.row, f.cell + part), "") << key;
            }
        }
        const layout::MarksLayout& marks = layout::marksLayout(course);
        ASSERT_EQ(static_cast<int>(resume.marks.size()), marks.lastMarksRow);
        for (int i = 1; i <= marks.lastMarksRow; ++i) {
            const MarksRow& m = resume.marks[static_cast<size_t>(i - 1)];
            const int r = layout::marksTableRow(i);
            namespace cell = layout::marks;
            EXPECT_EQ(text(*doc, 2, r, cell::kInstitutionCell), m.institution) << "row " << i;
            if (i == marks.institutionRow)
                continue;
            const std::vector<std::string> written = {text(*doc, 2, r, cell::kObtainedCell), text(*doc, 2, r, cell::kMaximumCell),
                                                      text(*doc, 2, r, cell::kPercentCell), text(*doc, 2, r, cell::kClassCell),
                                                      text(*doc, 2, r, cell::kYearCell), text(*doc, 2, r, cell::kAttemptsCell)};
            EXPECT_EQ(written, (std::vector<std::string>{m.obtained, m.maximum, m.percentage, m.classObtained,
                                                         m.passingYear, m.attempts}))
                << "row " << i;
        }
        EXPECT_EQ(text(*doc, 2, marks.projectsRow, marks.preFinalCell), resume.preFinalProject);
        EXPECT_EQ(text(*doc, 2, marks.projectsRow, marks.finalCell), resume.finalProject);
        ASSERT_EQ(blank->tableCount(), doc->tableCount());
        EXPECT_EQ(static_cast<int>(doc->table(2)->rows.size()), marks.tableRows);
        for (int t = 1; t <= blank->tableCount(); ++t) {
            ASSERT_EQ(blank->table(t)->rows.size(), doc->table(t)->rows.size());
            for (size_t r = 0; r < blank->table(t)->rows.size(); ++r)
                EXPECT_EQ(blank->table(t)->rows[r].size(), doc->table(t)->rows[r].size()) << t << "." << r + 1;
        }
    }
}

// Benchmarks and batch tests count stored students: a USN given twice would be one student fewer.
TEST(ResumeForm, BatchUsnsAreDistinctAcrossBranchesAndYears)
{
    std::set<std::string> seen;
    for (int n = 0; n < 7000; ++n)
        EXPECT_TRUE(seen.insert(batchUsn(n)).second) << n;
    for (int n = 0; n < 300; ++n)
        EXPECT_TRUE(seen.insert(batchMcaUsn(n)).second) << n;
}

// kyt-resume-form as the placement office and the test scripts run it: a batch of distinct résumés, the
// exit status of a bad argument and of a file it cannot write.
TEST(ResumeFormTool, WritesWhatItIsAskedForAndRefusesBadArguments)
{
    TempDir dir;
    const struct {
        std::string args;
        int status;
        const char* words;
    } runs[] = {
        {"--batch 25 --mca-every 5 --out-dir " + dir.file("batch"), 0, ""},
        {"--fault no-such --out " + dir.file("x.docx"), 2, "unknown fault"},
        {"--out /nonexistent-folder/r.docx", 1, "/nonexistent-folder/r.docx"},
    };
    for (const auto& run : runs) {
        std::string output;
        EXPECT_EQ(kyt::test::runProgram(KYT_RESUME_FORM, run.args, &output), run.status) << run.args << "\n" << output;
        EXPECT_NE(output.find(run.words), std::string::npos) << run.args << "\n" << output;
    }
    EXPECT_FALSE(fs::exists(dir.file("x.docx")));
    int files = 0, mcas = 0;
    for (const auto& entry : fs::directory_iterator(dir.file("batch"))) {
        ++files;
        mcas += entry.path().filename().string().find("MCA") != std::string::npos;
    }
    EXPECT_EQ(files, 25);
    EXPECT_EQ(mcas, 5);
}
