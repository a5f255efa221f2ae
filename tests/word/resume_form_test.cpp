#include "resume-form/resume_form.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "support/temp_dir.h"
#include "word/document.h"

using namespace kyt::word;
using namespace kyt::form;
using kyt::test::TempDir;

namespace {

std::unique_ptr<Document> writeAndRead(const Resume& resume, const TempDir& dir, const std::string& name = "r.docx")
{
    std::string error;
    const std::string path = dir.file(name);
    EXPECT_TRUE(writeResume(resume, path, error)) << error;
    auto doc = Document::open(path, error);
    EXPECT_TRUE(doc) << error;
    return doc;
}

// A cell's text without the paragraph marks, paragraphs joined by a blank.
std::string text(const Document& doc, int table, Place place)
{
    const auto* cells = doc.row(table, place.row);
    if (!cells || place.cell > static_cast<int>(cells->size()))
        return "<missing>";
    std::string t = (*cells)[static_cast<size_t>(place.cell - 1)];
    for (char& c : t)
        if (c == '\r' || c == '\a')
            c = ' ';
    while (!t.empty() && t.back() == ' ')
        t.pop_back();
    return t;
}

std::string joined(const std::string& value)
{
    std::string t = value;
    for (char& c : t)
        if (c == '\n')
            c = ' ';
    return t;
}

struct FieldPlace {
    const char* key;
    Place place;
};

const FieldPlace kFieldPlaces[] = {
    {"usn", personal::kUsn},
    {"name", personal::kName},
    {"gender", personal::kGender},
    {"dob_day", personal::kDobDay},
    {"dob_month", personal::kDobMonth},
    {"dob_year", personal::kDobYear},
    {"father_name", personal::kFatherName},
    {"email", personal::kEmail},
    {"address", personal::kAddress},
    {"city", personal::kCity},
    {"district", personal::kDistrict},
    {"state", personal::kState},
    {"languages", personal::kLanguages},
    {"phone", personal::kPhone},
    {"cet_rank", personal::kCetRank},
    {"permanent_address", personal::kPermanentAddress},
    {"permanent_city", personal::kPermanentCity},
    {"permanent_district", personal::kPermanentDistrict},
    {"permanent_state", personal::kPermanentState},
    {"nationality", personal::kNationality},
    {"achievements", personal::kAchievements},
    {"permanent_phone", personal::kPermanentPhone},
    {"objective", personal::kObjective},
    {"hobbies", personal::kHobbies},
    {"activities", personal::kActivities},
};

class FormLayout : public testing::TestWithParam<Course> {};

}  // namespace

TEST_P(FormLayout, EveryPersonalFieldIsWhereTheLayoutSays)
{
    TempDir dir;
    Resume resume = sampleResume(7, GetParam() == Course::MCA ? "1QP22MCA07" : "1QP22CS007", GetParam());
    resume.fields["achievements"] = "Quiz winner";  // never empty, so an empty cell cannot pass by chance
    auto doc = writeAndRead(resume, dir);
    ASSERT_TRUE(doc);
    ASSERT_GE(doc->tableCount(), 2);
    EXPECT_EQ(static_cast<int>(doc->table(personal::kTable)->rows.size()), personal::kRows);
    for (const FieldPlace& f : kFieldPlaces) {
        ASSERT_FALSE(resume.fields[f.key].empty()) << f.key;
        EXPECT_EQ(text(*doc, personal::kTable, f.place), joined(resume.fields[f.key])) << f.key;
    }
    std::string pin, permanentPin;
    for (int d = 0; d < personal::kDigitCells; ++d) {
        pin += text(*doc, personal::kTable, {personal::kPinRow, personal::kPinFirstCell + d});
        permanentPin += text(*doc, personal::kTable, {personal::kPermanentPinRow, personal::kPinFirstCell + d});
    }
    EXPECT_EQ(pin, resume.fields["pin"]);
    EXPECT_EQ(permanentPin, resume.fields["permanent_pin"]);
}

TEST_P(FormLayout, MarksRowsAndProjectsAreWhereTheLayoutSays)
{
    TempDir dir;
    const Resume resume = sampleResume(3, GetParam() == Course::MCA ? "1QP22MCA03" : "1QP22CS003", GetParam());
    const marks::Layout& layout = marks::layout(GetParam());
    auto doc = writeAndRead(resume, dir);
    ASSERT_TRUE(doc);
    EXPECT_EQ(static_cast<int>(doc->table(marks::kTable)->rows.size()), layout.tableRows);
    ASSERT_EQ(static_cast<int>(resume.marks.size()), layout.lastMarksRow);
    for (int i = 1; i <= layout.lastMarksRow; ++i) {
        const MarksRow& m = resume.marks[static_cast<size_t>(i - 1)];
        const int r = marks::tableRow(i);
        EXPECT_EQ(text(*doc, marks::kTable, {r, marks::kInstitutionCell}), m.institution) << "row " << i;
        if (i == layout.institutionRow) {
            EXPECT_FALSE(m.institution.empty());
            continue;
        }
        EXPECT_EQ(text(*doc, marks::kTable, {r, marks::kObtainedCell}), m.obtained) << "row " << i;
        EXPECT_EQ(text(*doc, marks::kTable, {r, marks::kMaximumCell}), m.maximum) << "row " << i;
        EXPECT_EQ(text(*doc, marks::kTable, {r, marks::kPercentCell}), m.percentage) << "row " << i;
        EXPECT_EQ(text(*doc, marks::kTable, {r, marks::kYearCell}), m.passingYear) << "row " << i;
        EXPECT_EQ(text(*doc, marks::kTable, {r, marks::kAttemptsCell}), m.attempts) << "row " << i;
        EXPECT_LE(std::stoi(m.obtained), std::stoi(m.maximum));
    }
    EXPECT_EQ(text(*doc, marks::kTable, {layout.projectsRow, layout.preFinalCell}), resume.preFinalProject);
    EXPECT_EQ(text(*doc, marks::kTable, {layout.projectsRow, layout.finalCell}), resume.finalProject);
}

TEST_P(FormLayout, BlankFormHasTheShapeOfAFilledOneAndEmptyValueCells)
{
    TempDir dir;
    std::string error;
    ASSERT_TRUE(writeBlankForm(GetParam(), dir.file("blank.docx"), error)) << error;
    auto blank = Document::open(dir.file("blank.docx"), error);
    ASSERT_TRUE(blank) << error;
    auto filled = writeAndRead(sampleResume(1, "1QP22MCA01", GetParam()), dir);
    ASSERT_TRUE(filled);
    ASSERT_EQ(blank->tableCount(), filled->tableCount());
    for (int t = 1; t <= blank->tableCount(); ++t) {
        ASSERT_EQ(blank->table(t)->rows.size(), filled->table(t)->rows.size());
        for (size_t r = 0; r < blank->table(t)->rows.size(); ++r)
            EXPECT_EQ(blank->table(t)->rows[r].size(), filled->table(t)->rows[r].size()) << t << "." << r + 1;
    }
    for (const FieldPlace& f : kFieldPlaces)
        EXPECT_EQ(text(*blank, personal::kTable, f.place), "") << f.key;
}

INSTANTIATE_TEST_SUITE_P(Courses, FormLayout, testing::Values(Course::BE, Course::MCA),
                         [](const auto& info) { return info.param == Course::MCA ? "MCA" : "BE"; });

TEST(ResumeForm, BatchUsnsAreDistinctAndMoveToTheNextBranchAfter999)
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
}

TEST(ResumeForm, SamplesVaryWithTheirSerial)
{
    const Resume a = sampleResume(1, "1QP22CS001", Course::BE);
    const Resume b = sampleResume(2, "1QP22CS002", Course::BE);
    EXPECT_NE(a.fields.at("name") + a.marks[4].obtained, b.fields.at("name") + b.marks[4].obtained);
    const Resume again = sampleResume(1, "1QP22CS001", Course::BE);
    EXPECT_EQ(a.fields, again.fields);
}

struct FaultCase {
    const char* fault;
    Place place;  // in table 1 when table is 1
    int table;
    std::string expected;
};

void PrintTo(const FaultCase& c, std::ostream* os)
{
    *os << c.fault;
}

class Faults : public testing::TestWithParam<FaultCase> {};

TEST_P(Faults, LandInTheirCell)
{
    TempDir dir;
    Resume resume = sampleResume(11, "1QP22CS011", Course::BE);
    resume.marks[4].maximum = "750";
    std::string error;
    ASSERT_TRUE(applyFault(resume, GetParam().fault, error)) << error;
    auto doc = writeAndRead(resume, dir);
    ASSERT_TRUE(doc);
    EXPECT_EQ(text(*doc, GetParam().table, GetParam().place), GetParam().expected) << GetParam().fault;
}

INSTANTIATE_TEST_SUITE_P(
    Table1, Faults,
    testing::Values(FaultCase{"bad-usn", personal::kUsn, 1, "XQP22CS011"},
                    FaultCase{"bad-usn=1QP22CS0001", personal::kUsn, 1, "1QP22CS0001"},
                    FaultCase{"blank-name", personal::kName, 1, ""},
                    FaultCase{"bad-dob", personal::kDobMonth, 1, "13"},
                    FaultCase{"bad-dob=30-02-2004", personal::kDobDay, 1, "30"},
                    FaultCase{"bad-email", personal::kEmail, 1, "student.at.example.com"},
                    FaultCase{"bad-email=a@", personal::kEmail, 1, "a@"}));

INSTANTIATE_TEST_SUITE_P(
    Table2, Faults,
    testing::Values(FaultCase{"obtained-over-max=5", {6, marks::kObtainedCell}, 2, "757"},
                    FaultCase{"missing-max=5", {6, marks::kMaximumCell}, 2, ""},
                    FaultCase{"blank-pass-year=2", {3, marks::kYearCell}, 2, ""},
                    FaultCase{"empty-obtained", {2, marks::kObtainedCell}, 2, ""},
                    FaultCase{"marks-stop-after=5", {11, marks::kObtainedCell}, 2, ""},
                    FaultCase{"percent=85%", {2, marks::kPercentCell}, 2, "85%"},
                    FaultCase{"percent=0.85", {2, marks::kPercentCell}, 2, "0.85"},
                    FaultCase{"percent=", {2, marks::kPercentCell}, 2, ""},
                    FaultCase{"empty-institution", {3, marks::kInstitutionCell}, 2, ""}));

TEST(ResumeForm, MarksStopAfterKeepsTheEarlierSemesters)
{
    Resume resume = sampleResume(4, "1QP22CS004", Course::BE);
    std::string error;
    ASSERT_TRUE(applyFault(resume, "marks-stop-after=5", error)) << error;
    EXPECT_FALSE(resume.marks[7].obtained.empty());  // semester 5 is marks row 8
    EXPECT_TRUE(resume.marks[8].obtained.empty());
    EXPECT_EQ(resume.marks[8].label, "Semester 6");
}

TEST(ResumeForm, LongProjectsHaveTheirLength)
{
    Resume resume = sampleResume(4, "1QP22CS004", Course::BE);
    std::string error;
    ASSERT_TRUE(applyFault(resume, "long-projects=600", error)) << error;
    EXPECT_EQ(resume.preFinalProject.size(), 600u);
    EXPECT_EQ(resume.finalProject.size(), 600u);
}

TEST(ResumeForm, MissingTableLeavesOnlyThePersonalTable)
{
    TempDir dir;
    Resume resume = sampleResume(4, "1QP22CS004", Course::BE);
    std::string error;
    ASSERT_TRUE(applyFault(resume, "missing-table", error));
    auto doc = writeAndRead(resume, dir);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->tableCount(), 1);
}

TEST(ResumeForm, WideRowHasMoreThanTwentyOneCells)
{
    TempDir dir;
    Resume resume = sampleResume(4, "1QP22CS004", Course::BE);
    std::string error;
    ASSERT_TRUE(applyFault(resume, "wide-row=3", error));
    auto doc = writeAndRead(resume, dir);
    ASSERT_TRUE(doc);
    EXPECT_GT(doc->row(1, 3)->size(), 21u);
    EXPECT_EQ(text(*doc, 1, personal::kDobDay), resume.fields["dob_day"]);
}

TEST(ResumeForm, UnknownOrMalformedFaultsAreRefusedWithAReason)
{
    for (const char* bad : {"no-such-fault", "missing-max=x", "missing-max=40", "marks-stop-after=9",
                            "long-projects=", "wide-row=19"}) {
        Resume resume = sampleResume(1, "1QP22CS001", Course::BE);
        std::string error;
        EXPECT_FALSE(applyFault(resume, bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
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
    EXPECT_EQ(resumes[0].fields["address"], "12 Temple Road\nMysuru");
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
    EXPECT_EQ((*doc->row(1, personal::kAddress.row))[0], "12 Temple Road\rMysuru\r\a");
}

TEST(ResumeForm, DataErrorsNameTheLineOrKey)
{
    std::vector<Resume> resumes;
    std::string error;
    EXPECT_FALSE(parseResumes("usn=1\nno equals sign\n", resumes, error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
    EXPECT_FALSE(parseResumes("colour=blue\n", resumes, error));
    EXPECT_NE(error.find("colour"), std::string::npos);
    EXPECT_FALSE(parseResumes("marks.sem9=a|1|2\n", resumes, error));
    EXPECT_FALSE(parseResumes("# nothing\n", resumes, error));
}
