#include "support/extraction_fixture.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "word/application.h"
#include "word/docx_writer.h"
#include "shell/startup.h"

namespace kyt::test {

ResumeForm ResumeForm::be(const std::string& usn, const std::string& name)
{
    ResumeForm form;
    form.table1_ = {
        {"USN", "Name", "", "", "", "Gender"},
        {usn, name, "", "", "", "Male"},
        {"5", "11", "1982"},
        {"Father's name", "", "E-mail"},
        {"Father", "venkatesh rao", "Shankar.Rao@Example.com"},
        {"Address"},
        {"12, 4th Cross, Malleswaram, Bangalore 560003", "Malleswaram"},
        {"Phone", "080-3345678", "Kannada, English"},
        {"Languages", "Reading, cricket"},
        {"CET", "Rank", "1", "2", "3", "4", "5", "6", "General"},
        {"Karnataka"},
        {"Hobbies", "Chess, reading", "Single"},
        {"Skills", "C, C++, Java"},
        {"Activities", "NSS volunteer, college fest organiser"},
        {"Scholar", "", "0", "0", "2", "5", "0", "0"},
        {"Other"},
        {"", "", "Secretary of the computer club"},
        {"Strengths: hard working", "Weaknesses: impatient"},
    };
    form.table2_ = {
        {"Level", "Institution", "Obtained", "Max", "Percentage", "Class", "Year", "Attempts"},
        {"SSLC", "National  High   School", "510", "625", "81.6%", "Distinction", "1998", "1"},
        {"PUC", "", "480", "600", "", "First", "2000", "1"},
        {"BE", "R V College of Engineering"},
    };
    const char* obtained[] = {"610", "640", "700", "590", "655", "720", "680", "750"};
    for (int semester = 1; semester <= 8; ++semester)
        form.table2_.push_back(
            {"Semester " + std::to_string(semester), "", obtained[semester - 1], "1000", "", "", "2001", "1"});
    form.table2_.push_back({"Projects", ""});
    form.table2_.push_back({"Pre-final", "Final"});
    form.table2_.push_back({"Library management system", "Résumé database for the placement office"});
    return form;
}

ResumeForm ResumeForm::mca(const std::string& usn, const std::string& name)
{
    ResumeForm form = be(usn, name);
    form.table2_ = {
        {"Level", "Institution", "Obtained", "Max", "Percentage", "Class", "Year", "Attempts"},
        {"SSLC", "St. Joseph's School", "500", "625", "80%", "Distinction", "1995", "1"},
        {"PUC", "St. Joseph's College", "420", "600", "70%", "First", "1997", "1"},
        {"BSc", "Bangalore University", "1500", "2400", "62.5%", "First", "2000", "1"},
        {"MCA", "Dayananda Sagar College"},
    };
    const char* obtained[] = {"500", "520", "610", "540", "700", "660"};
    for (int semester = 1; semester <= 6; ++semester)
        form.table2_.push_back(
            {"Semester " + std::to_string(semester), "", obtained[semester - 1], "800", "", "", "2002", "1"});
    form.table2_.push_back({"Projects"});
    form.table2_.push_back({"", "", "", "", "Payroll system", "Online examination"});
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

const std::string& ResumeForm::get(int table, int row, int cell) const
{
    const auto& all = table == 1 ? table1_ : table2_;
    return all.at(static_cast<size_t>(row - 1)).at(static_cast<size_t>(cell - 1));
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
    const int row = i + 1;
    set(2, row, 2, institution);
    set(2, row, 3, obtained);
    set(2, row, 4, maximum);
    set(2, row, 5, percent);
    set(2, row, 6, className);
    set(2, row, 7, year);
    set(2, row, 8, attempts);
}

void ResumeForm::save(const std::string& path) const
{
    word::DocxWriter writer;
    writer.addParagraph("RESUME", word::Align::Centre, true);
    // A row without cells cannot be written; the form never has one.
    auto padded = [](std::vector<std::vector<std::string>> rows) {
        for (auto& cells : rows)
            if (cells.empty())
                cells.push_back("");
        return rows;
    };
    writer.addTable(padded(table1_), false);
    writer.addParagraph("Academic performance");
    writer.addTable(padded(table2_), false);
    std::string error;
    ASSERT_TRUE(writer.save(path, error)) << error;
}

}  // namespace kyt::test

namespace kyt::test {

namespace {
struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct Finalize {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
}  // namespace

ExtractionSetup::ExtractionSetup(const TempDir& dir)
{
    databasePath = makeDatabase(dir);
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
    // A connection of its own: what is asserted is what reached the file, not what one connection sees.
    sqlite3* raw = nullptr;
    std::vector<std::vector<std::string>> out;
    if (sqlite3_open_v2(databasePath.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << databasePath;
        sqlite3_close(raw);
        return out;
    }
    std::unique_ptr<sqlite3, CloseDatabase> db(raw);
    sqlite3_stmt* rawStatement = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &rawStatement, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db.get());
        return out;
    }
    std::unique_ptr<sqlite3_stmt, Finalize> statement(rawStatement);
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int k = 0; k < sqlite3_column_count(statement.get()); ++k) {
            const unsigned char* text = sqlite3_column_text(statement.get(), k);
            row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
        }
        out.push_back(std::move(row));
    }
    return out;
}

long ExtractionSetup::count(const std::string& sql)
{
    const auto result = rows(sql);
    return result.empty() ? -1 : std::stol(result[0][0]);
}

}  // namespace kyt::test
