#include "support/extraction_fixture.h"

#include <gtest/gtest.h>

#include "db/database.h"
#include "word/application.h"
#include "shell/startup.h"

namespace kyt::test {

// The values the extraction's tests were written against, at the places the form's layout gives them.
ResumeForm ResumeForm::be(const std::string& usn, const std::string& name)
{
    form::Resume resume;
    resume.fields = {
        {"usn", usn}, {"name", name}, {"gender", "Male"}, {"dob_day", "5"}, {"dob_month", "11"}, {"dob_year", "1982"},
        {"mother_name", "Father"}, {"father_name", "venkatesh rao"}, {"email", "Shankar.Rao@Example.com"},
        {"address", "12, 4th Cross, Malleswaram, Bangalore 560003"}, {"city", "Malleswaram"},
        {"district", "080-3345678"}, {"state", "Kannada, English"}, {"languages", "Reading, cricket"},
        {"pin", "123456"}, {"phone", "General"}, {"cet_rank", "Karnataka"}, {"permanent_address", "Chess, reading"},
        {"permanent_city", "Single"}, {"permanent_district", "Skills"}, {"permanent_state", "C, C++, Java"},
        {"nationality", "Activities"}, {"achievements", "NSS volunteer, college fest organiser"},
        {"permanent_phone", "Scholar"}, {"permanent_pin", "002500"}, {"objective", "Secretary of the computer club"},
        {"hobbies", "Strengths: hard working"}, {"activities", "Weaknesses: impatient"}};
    resume.marks = {{"SSLC", "National  High   School", "510", "625", "81.6%", "Distinction", "1998", "1"},
                    {"PUC", "", "480", "600", "", "First", "2000", "1"},
                    {"BE", "R V College of Engineering", "", "", "", "", "", ""}};
    const char* obtained[] = {"610", "640", "700", "590", "655", "720", "680", "750"};
    for (int semester = 1; semester <= 8; ++semester)
        resume.marks.push_back({"Semester " + std::to_string(semester), "", obtained[semester - 1], "1000", "", "", "2001", "1"});
    resume.preFinalProject = "Library management system";
    resume.finalProject = "Résumé database for the placement office";
    ResumeForm form;
    form.tables_ = form::formTables(resume);
    return form;
}

ResumeForm ResumeForm::mca(const std::string& usn, const std::string& name)
{
    ResumeForm form = be(usn, name);
    form::Resume resume;
    resume.course = form::Course::MCA;
    resume.marks = {{"SSLC", "St. Joseph's School", "500", "625", "80%", "Distinction", "1995", "1"},
                    {"PUC", "St. Joseph's College", "420", "600", "70%", "First", "1997", "1"},
                    {"BSc", "Bangalore University", "1500", "2400", "62.5%", "First", "2000", "1"},
                    {"MCA", "Dayananda Sagar College", "", "", "", "", "", ""}};
    const char* obtained[] = {"500", "520", "610", "540", "700", "660"};
    for (int semester = 1; semester <= 6; ++semester)
        resume.marks.push_back({"Semester " + std::to_string(semester), "", obtained[semester - 1], "800", "", "", "2002", "1"});
    resume.preFinalProject = "Payroll system";
    resume.finalProject = "Online examination";
    form.tables_.marks = form::formTables(resume).marks;
    form.course_ = form::Course::MCA;
    return form;
}

void ResumeForm::set(int table, int row, int cell, const std::string& text)
{
    auto& all = rows(table);
    if (static_cast<int>(all.size()) < row)
        all.resize(static_cast<size_t>(row));
    auto& cells = all[static_cast<size_t>(row - 1)];
    if (static_cast<int>(cells.size()) < cell)
        cells.resize(static_cast<size_t>(cell));
    cells[static_cast<size_t>(cell - 1)] = text;
}

void ResumeForm::truncateTable(int table, int count) { rows(table).resize(static_cast<size_t>(count)); }

void ResumeForm::truncateRow(int table, int row, int cells)
{
    rows(table).at(static_cast<size_t>(row - 1)).resize(static_cast<size_t>(cells));
}

void ResumeForm::setMarks(int i, const std::string& institution, const std::string& obtained,
                          const std::string& maximum, const std::string& percent, const std::string& className,
                          const std::string& year, const std::string& attempts)
{
    namespace marks = word::form_layout::marks;
    const int row = word::form_layout::marksTableRow(i);
    set(2, row, marks::kInstitutionCell, institution);
    set(2, row, marks::kObtainedCell, obtained);
    set(2, row, marks::kMaximumCell, maximum);
    set(2, row, marks::kPercentCell, percent);
    set(2, row, marks::kClassCell, className);
    set(2, row, marks::kYearCell, year);
    set(2, row, marks::kAttemptsCell, attempts);
}

void ResumeForm::save(const std::string& path) const
{
    std::string error;
    ASSERT_TRUE(form::writeTables(tables_, course_, path, error)) << error;
}

ExtractionSetup::ExtractionSetup(const TempDir& dir, const std::string& database)
{
    databasePath = makeDatabase(dir, kTestBranchLines, database);
    control.session.AppTitle = "Kyt v2.8";
    control.config.RegionCollegeCode = "1QP";
    control.config.PlacementEmail = "placement@college.edu";
    control.config.DatabasePath = databasePath;
    control.session.Messages = &messages;
    EXPECT_EQ(StartUp(control), StartUpResult::Ready);
    messages.clear();
    std::string error;
    control.session.WordApp = word::Application::start(error);
    EXPECT_TRUE(control.session.WordApp) << error;
}

ExtractionSetup::~ExtractionSetup() { CloseDown(control); }

std::vector<std::vector<std::string>> ExtractionSetup::rows(const std::string& sql)
{
    // A connection of its own: what is asserted is what reached the database, not what one connection sees.
    db::Failure failure;
    std::vector<std::vector<std::string>> out;
    std::unique_ptr<db::Database> db = db::Database::open(databasePath, db::Road::Connector, failure);
    db::Recordset rs;
    if (!db || !db->openRecordset(sql, rs, failure)) {
        ADD_FAILURE() << databasePath << ": " << sql << ": " << failure.description;
        return out;
    }
    for (; !rs.isEOF(); rs.MoveNext()) {
        auto& row = out.emplace_back();
        for (int k = 0; k < rs.fieldCount(); ++k)
            row.push_back(rs.field(k).toText());
    }
    return out;
}

std::string ExtractionSetup::joined(const std::string& sql)
{
    const auto result = rows(sql);
    std::string text;
    for (const std::string& value : result.empty() ? std::vector<std::string>{} : result[0])
        text += (text.empty() ? "" : "|") + value;
    return text;
}

long ExtractionSetup::count(const std::string& sql)
{
    const auto result = rows(sql);
    return result.empty() ? -1 : std::stol(result[0][0]);
}

}  // namespace kyt::test
