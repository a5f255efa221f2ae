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

std::unique_ptr<Document> read(const std::string& path)
{
    std::string error;
    auto doc = Document::open(path, error);
    EXPECT_TRUE(doc) << path << ": " << error;
    return doc;
}

std::unique_ptr<Document> writeAndRead(const Resume& resume, const TempDir& dir)
{
    std::string error;
    EXPECT_TRUE(writeResume(resume, dir.file("r.docx"), error)) << error;
    return read(dir.file("r.docx"));
}

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
        auto doc = writeAndRead(resume, dir);
        std::string error;
        ASSERT_TRUE(writeBlankForm(course, dir.file("blank.docx"), error)) << error;
        auto blank = read(dir.file("blank.docx"));
        ASSERT_TRUE(doc && blank);
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
            EXPECT_LE(std::stoi(m.obtained), std::stoi(m.maximum));
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

TEST(ResumeForm, EachFaultLandsInItsCell)
{
    const struct {
        const char* fault;
        int table, row, cell;
        const char* expected;  // null: not empty
    } cases[] = {
        {"bad-usn", 1, 2, 1, "XQP22CS011"},
        {"bad-usn=1QP22CS0001", 1, 2, 1, "1QP22CS0001"},
        {"blank-name", 1, 2, 2, ""},
        {"bad-dob", 1, 3, 2, "13"},
        {"bad-dob=30-02-2004", 1, 3, 1, "30"},
        {"bad-email", 1, 5, 3, "student.at.example.com"},
        {"bad-email=a@", 1, 5, 3, "a@"},
        {"obtained-over-max=5", 2, 6, 3, "757"},
        {"missing-max=5", 2, 6, 4, ""},
        {"blank-pass-year=2", 2, 3, 7, ""},
        {"empty-obtained", 2, 2, 3, ""},
        {"marks-stop-after=5", 2, 11, 3, ""},
        {"marks-stop-after=5", 2, 9, 3, nullptr},
        {"percent=85%", 2, 2, 5, "85%"},
        {"percent=0.85", 2, 2, 5, "0.85"},
        {"percent=", 2, 2, 5, ""},
        {"empty-institution", 2, 3, 2, ""},
        {"long-projects=600", 2, 15, 1, nullptr},
        {"wide-row=3", 1, 3, 1, nullptr},
    };
    for (const auto& c : cases) {
        TempDir dir;
        Resume resume = sampleResume(11, "1QP22CS011", Course::BE);
        resume.marks[4].maximum = "750";
        std::string error;
        ASSERT_TRUE(applyFault(resume, c.fault, error)) << error;
        auto doc = writeAndRead(resume, dir);
        ASSERT_TRUE(doc);
        const std::string written = text(*doc, c.table, c.row, c.cell);
        if (c.expected) {
            EXPECT_EQ(written, c.expected) << c.fault;
        } else {
            EXPECT_FALSE(written.empty()) << c.fault;
        }
        if (std::string(c.fault) == "long-projects=600") {
            EXPECT_EQ(written.size(), 600u);
        } else if (std::string(c.fault) == "wide-row=3") {
            EXPECT_EQ(doc->row(1, 3)->size(), 22u);
        }
    }
    TempDir dir;
    Resume resume = sampleResume(4, "1QP22CS004", Course::BE);
    std::string error;
    ASSERT_TRUE(applyFault(resume, "missing-table", error));
    EXPECT_EQ(writeAndRead(resume, dir)->tableCount(), 1);
    for (const char* bad : {"no-such-fault", "missing-max=x", "missing-max=40", "marks-stop-after=9", "long-projects=",
                            "wide-row=19"}) {
        EXPECT_FALSE(applyFault(resume, bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(ResumeForm, SamplesAndBatchUsnsAreDistinct)
{
    EXPECT_EQ(batchUsn(0), "1QP22CS001");
    EXPECT_EQ(batchUsn(998), "1QP22CS999");
    EXPECT_EQ(batchUsn(999), "1QP22EC001");
    EXPECT_EQ(batchUsn(5, "1AB", "19"), "1AB19CS006");
    EXPECT_EQ(batchUsn(6 * 999), "1QP23CS001");
    EXPECT_EQ(batchMcaUsn(0), "1QP22MCA01");
    EXPECT_EQ(batchMcaUsn(99), "1QP23MCA01");
    std::set<std::string> seen;
    for (int n = 0; n < 7000; ++n)
        EXPECT_TRUE(seen.insert(batchUsn(n)).second) << n;
    for (int n = 0; n < 300; ++n)
        EXPECT_TRUE(seen.insert(batchMcaUsn(n)).second) << n;
    const Resume a = sampleResume(1, "1QP22CS001", Course::BE), b = sampleResume(2, "1QP22CS002", Course::BE);
    EXPECT_NE(a.fields.at("name") + a.marks[4].obtained, b.fields.at("name") + b.marks[4].obtained);
    EXPECT_EQ(a.fields, sampleResume(1, "1QP22CS001", Course::BE).fields);
}

TEST(ResumeForm, DataFilesDescribeSeveralResumes)
{
    const std::string data = "# two students\n"
                             "usn=1QP22CS050\nname=Asha Rao\ndob=05-11-2004\nemail=asha@example.com\n"
                             "address=12 Temple Road\\nMysuru\n"
                             "marks.sslc=Sri Vidya|550|625|88.00|Distinction|April 2018|1\n"
                             "marks.college=QP Institute\nmarks.sem1=|600|750\n"
                             "project.final=Line follower\n"
                             "---\n"
                             "usn=1QP22MCA05\r\nname=Kiran\r\nmarks.degree=GFGC|1500|2400\r\n";
    std::vector<Resume> resumes;
    std::string error;
    ASSERT_TRUE(parseResumes(data, resumes, error)) << error;
    ASSERT_EQ(resumes.size(), 2u);
    EXPECT_EQ(resumes[0].course, Course::BE);
    EXPECT_EQ(resumes[0].fields["dob_month"], "11");
    EXPECT_EQ(resumes[0].marks[0].classObtained, "Distinction");
    EXPECT_EQ(resumes[0].marks[2].institution, "QP Institute");
    EXPECT_EQ(resumes[0].marks[3].obtained, "600");
    EXPECT_EQ(resumes[0].marks[3].passingYear, "");
    EXPECT_EQ(resumes[1].course, Course::MCA);
    EXPECT_EQ(resumes[1].fields["name"], "Kiran");
    EXPECT_EQ(resumes[1].marks[2].obtained, "1500");
    TempDir dir;
    auto doc = writeAndRead(resumes[0], dir);
    ASSERT_TRUE(doc);
    EXPECT_EQ(text(*doc, 1, 7, 1), "12 Temple Road\nMysuru");

    for (const auto& [bad, words] : {std::pair{"usn=1\nno equals sign\n", "line 2"}, {"colour=blue\n", "colour"},
                                     {"marks.sem9=a|1|2\n", "sem9"}, {"# nothing\n", "no résumé"}}) {
        std::vector<Resume> none;
        EXPECT_FALSE(parseResumes(bad, none, error)) << bad;
        EXPECT_NE(error.find(words), std::string::npos) << error;
    }
}

// kyt-resume-form as the placement office and the test scripts run it.
TEST(ResumeFormTool, WritesWhatItIsAskedForAndRefusesBadArguments)
{
    TempDir dir;
    kyt::test::writeFile(dir.file("d.txt"), "usn=1QP22CS077\nname=Asha\n---\nusn=1QP22EC078\nname=Ravi\n");
    const struct {
        std::string args;
        int status;
        const char* words;
    } runs[] = {
        {"--help", 0, "marks.sem1="},
        {"--mca --usn 1QP22MCA09 --fault missing-max=6 --out " + dir.file("r.docx"), 0, ""},
        {"--batch 25 --mca-every 5 --out-dir " + dir.file("batch"), 0, ""},
        {"--data " + dir.file("d.txt") + " --fault blank-name --out-dir " + dir.file("out"), 0, ""},
        {"--blank --out " + dir.file("blank.docx"), 0, ""},
        {"--fault no-such --out " + dir.file("x.docx"), 2, "unknown fault"},
        {"--batch lots --out-dir " + dir.file("b"), 2, ""},
        {"--frobnicate", 2, ""},
        {"--blank", 2, ""},
        {"--out /nonexistent-folder/r.docx", 1, "/nonexistent-folder/r.docx"},
    };
    for (const auto& run : runs) {
        std::string output;
        EXPECT_EQ(kyt::test::runProgram(KYT_RESUME_FORM, run.args, &output), run.status) << run.args << "\n" << output;
        EXPECT_NE(output.find(run.words), std::string::npos) << run.args << "\n" << output;
    }
    EXPECT_FALSE(fs::exists(dir.file("x.docx")));
    auto mca = read(dir.file("r.docx"));
    ASSERT_TRUE(mca);
    EXPECT_EQ(text(*mca, 1, 2, 1), "1QP22MCA09");
    EXPECT_EQ(static_cast<int>(mca->table(2)->rows.size()), layout::kMCA.tableRows);
    EXPECT_EQ(text(*mca, 2, 7, layout::marks::kMaximumCell), "");
    int files = 0, mcas = 0;
    for (const auto& entry : fs::directory_iterator(dir.file("batch"))) {
        ++files;
        auto doc = read(entry.path().string());
        ASSERT_TRUE(doc);
        EXPECT_EQ(text(*doc, 1, 2, 1) + ".docx", entry.path().filename().string());
        mcas += entry.path().filename().string().find("MCA") != std::string::npos;
    }
    EXPECT_EQ(files, 25);
    EXPECT_EQ(mcas, 5);
    auto fromData = read(dir.file("out/1QP22EC078.docx"));
    ASSERT_TRUE(fromData);
    EXPECT_EQ(text(*fromData, 1, 2, 2), "");
    EXPECT_TRUE(fs::exists(dir.file("out/1QP22CS077.docx")));
    auto blank = read(dir.file("blank.docx"));
    ASSERT_TRUE(blank);
    EXPECT_EQ(text(*blank, 1, 2, 1), "");
    EXPECT_EQ(text(*blank, 1, 1, 1), "USN (university seat number)");
}
