#include "extract/extract_resume.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "db/data_connector.h"
#include "extract/validation.h"
#include "support/extraction_fixture.h"
#include "word/application.h"
#include "word/docx_writer.h"
#include "resume-form/resume_form.h"

namespace kyt {
namespace {

using test::ExtractionSetup;
using test::ResumeForm;
using test::TempDir;

// The pending text without the log's wrapping (line breaks and indentation).
std::string Unwrapped(const std::string& text)
{
    std::string out;
    for (char c : text)
        if (c != '\r' && c != '\n' && c != '\t')
            out += c;
    return out;
}

class ExtractResumeTest : public ::testing::Test {
protected:
    int16_t extract(const ResumeForm& form, const std::string& name = "resume.docx")
    {
        const std::string path = dir.file(name);
        form.save(path);
        setup.control.run.DocumentErrors = 0;
        return ExtractResume(setup.control, path);
    }
    long students() { return setup.count("SELECT count(*) FROM Personal"); }
    long marks() { return setup.count("SELECT count(*) FROM Marks"); }
    std::string personal(const std::string& column, const std::string& usn = "1QP01CS007")
    {
        auto rows = setup.rows("SELECT " + column + " FROM Personal WHERE USN='" + usn + "'");
        return rows.empty() ? "<no student>" : rows[0][0];
    }
    // education_level, Institution, obtained, max, percentage, class, PassingYear, Attempts by level.
    std::vector<std::vector<std::string>> marksOf(const std::string& usn = "1QP01CS007")
    {
        return setup.rows("SELECT * FROM Marks WHERE usn='" + usn + "' ORDER BY education_level");
    }
    std::vector<std::string> levels(const std::string& usn = "1QP01CS007")
    {
        std::vector<std::string> out;
        for (const auto& row : marksOf(usn))
            out.push_back(row[1]);
        return out;
    }

    TempDir dir;
    ExtractionSetup setup{dir};
};

TEST_F(ExtractResumeTest, StoresACompleteBEResumeInOneGo)
{
    ASSERT_EQ(extract(ResumeForm::be("1qp01cs7")), kResumeStored) << setup.control.run.ErrorText;

    EXPECT_EQ(personal("USN"), "1QP01CS007");
    EXPECT_EQ(personal("Name"), "Shankar Rao");
    EXPECT_EQ(personal("dob1"), "05-11-1982");
    EXPECT_EQ(personal("Email"), "shankar.rao@example.com");
    EXPECT_EQ(levels(), (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));

    const auto rows = marksOf();
    // First row: percentage as written, institution with its runs of spaces collapsed.
    EXPECT_EQ(rows[0][2], "National High School");
    EXPECT_EQ(std::stod(rows[0][5]), 81.6);
    EXPECT_EQ(rows[0][6], "Distinction");
    // Second row: no institution of its own, so the first row's; percentage from the marks.
    EXPECT_EQ(rows[1][2], "National High School");
    EXPECT_EQ(std::stod(rows[1][5]), 80);
    // Semesters: the institution row's name, class from the percentage.
    EXPECT_EQ(rows[2][2], "R V College of Engineering");
    EXPECT_EQ(rows[2][6], "First");   // 61 %
    EXPECT_EQ(rows[4][6], "FCD");     // 70 %
    EXPECT_EQ(rows[5][6], "Second");  // 59 %

    // Aggregates of semesters 1..N: 2540/4000, 3195/5000, 3915/6000, 4595/7000, 5345/8000.
    EXPECT_NEAR(std::stod(personal("one_to_4")), 63.50, 1e-9);
    EXPECT_NEAR(std::stod(personal("one_to_5")), 63.90, 1e-9);
    EXPECT_NEAR(std::stod(personal("one_to_6")), 65.25, 1e-9);
    EXPECT_NEAR(std::stod(personal("one_to_7")), 65.64, 1e-9);
    EXPECT_NEAR(std::stod(personal("one_to_8")), 66.81, 1e-9);
    EXPECT_EQ(personal("prefinalproject1"), "Library management system");
    EXPECT_EQ(personal("finalproject1"), "Résumé database for the placement office");
    EXPECT_EQ(personal("prefinalproject2"), "");
    EXPECT_EQ(setup.control.run.DocumentErrors, 0);
}

TEST_F(ExtractResumeTest, RefusedUsnLeavesTheDatabaseUntouched)
{
    EXPECT_EQ(extract(ResumeForm::be("2QP01CS007")), kResumeRejected);
    EXPECT_EQ(students(), 0);
    EXPECT_EQ(marks(), 0);
    EXPECT_NE(setup.control.run.ErrorText.find("Bad college code"), std::string::npos) << setup.control.run.ErrorText;
    EXPECT_NE(setup.control.run.ErrorText.find("Transaction rolled back"), std::string::npos);
    EXPECT_EQ(setup.control.run.DocumentErrors, 1);
}

TEST_F(ExtractResumeTest, SameResumeTwiceIsRefusedAsDuplicateAndTheFirstIsKept)
{
    ASSERT_EQ(extract(ResumeForm::be()), kResumeStored) << setup.control.run.ErrorText;
    setup.control.run.ErrorText.clear();
    ResumeForm second = ResumeForm::be();
    second.set(1, 2, 2, "someone else");
    EXPECT_EQ(extract(second), kResumeRejected);

    const std::string& text = setup.control.run.ErrorText;
    const std::string unwrapped = Unwrapped(text);
    EXPECT_NE(unwrapped.find("A resume with the same USN already exists in the database."), std::string::npos) << text;
    EXPECT_NE(unwrapped.find("( Technically, 105121349 )"), std::string::npos) << text;
    EXPECT_EQ(students(), 1);
    EXPECT_EQ(personal("Name"), "Shankar Rao");
    EXPECT_EQ(marks(), 10);
}

TEST_F(ExtractResumeTest, SemestersStoppingAfterFiveStoreLevelsOneToSeven)
{
    ResumeForm form = ResumeForm::be();
    form.set(2, 10, 3, "");  // semester 6 (marks row 9): no obtained marks
    ASSERT_EQ(extract(form), kResumeStored) << setup.control.run.ErrorText;

    EXPECT_EQ(levels(), (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_NEAR(std::stod(personal("one_to_4")), 63.50, 1e-9);
    EXPECT_NEAR(std::stod(personal("one_to_5")), 63.90, 1e-9);
    EXPECT_EQ(std::stod(personal("one_to_6")), 2);
    EXPECT_EQ(std::stod(personal("one_to_7")), 0);
    EXPECT_EQ(std::stod(personal("one_to_8")), 0);
    EXPECT_EQ(personal("prefinalproject1"), "Library management system");
}

TEST_F(ExtractResumeTest, FirstMarksRowWithoutObtainedStoresTheStudentWithoutMarks)
{
    ResumeForm form = ResumeForm::be();
    form.set(2, 2, 3, "");
    ASSERT_EQ(extract(form), kResumeStored) << setup.control.run.ErrorText;
    EXPECT_EQ(students(), 1);
    EXPECT_EQ(marks(), 0);
    EXPECT_EQ(personal("finalproject1"), "Résumé database for the placement office");
    EXPECT_EQ(std::stod(personal("one_to_4")), 2);
}

struct PercentCase {
    const char* cell;
    double stored;
};

class FirstRowPercentage : public ExtractResumeTest, public ::testing::WithParamInterface<PercentCase> {};

TEST_P(FirstRowPercentage, IsReadFromThePercentageCell)
{
    ResumeForm form = ResumeForm::be();
    form.set(2, 2, 5, GetParam().cell);
    ASSERT_EQ(extract(form), kResumeStored) << setup.control.run.ErrorText;
    EXPECT_DOUBLE_EQ(std::stod(marksOf()[0][5]), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Cells, FirstRowPercentage,
                         ::testing::Values(PercentCase{"85%", 85}, PercentCase{"0.85", 85}, PercentCase{"", 0},
                                           PercentCase{"72.5 %", 72.5}, PercentCase{"Distinction", 81.6},
                                           PercentCase{"0.8166", 81.66}));

TEST_F(ExtractResumeTest, SemesterWithFullMarksIsAHundredPercentFCD)
{
    ResumeForm form = ResumeForm::be();
    form.set(2, 5, 3, "1000");
    ASSERT_EQ(extract(form), kResumeStored) << setup.control.run.ErrorText;
    EXPECT_EQ(std::stod(marksOf()[2][5]), 100);
    EXPECT_EQ(marksOf()[2][6], "FCD");
}

TEST_F(ExtractResumeTest, SecondRowInheritsTheInstitutionAndAnEmptyFirstStaysEmpty)
{
    ResumeForm form = ResumeForm::be();
    form.set(2, 2, 2, "");
    form.set(2, 3, 2, "MES   College");
    ASSERT_EQ(extract(form), kResumeStored) << setup.control.run.ErrorText;
    EXPECT_EQ(marksOf()[0][2], "");
    EXPECT_EQ(marksOf()[1][2], "MES College");
}

TEST_F(ExtractResumeTest, InvalidEmailIsReplacedSilentlyByThePlacementAddress)
{
    ResumeForm form = ResumeForm::be();
    form.set(1, 5, 3, "shankar at example dot com");
    ASSERT_EQ(extract(form), kResumeStored) << setup.control.run.ErrorText;
    EXPECT_EQ(personal("Email"), setup.control.config.PlacementEmail);
    EXPECT_EQ(setup.control.run.DocumentErrors, 0);
    EXPECT_EQ(setup.control.run.ErrorText.find("mail"), std::string::npos);
}

// Text that must not be stored refuses the whole résumé, naming the cell, whichever field it is in.
TEST_F(ExtractResumeTest, ACellHoldingACharacterTextMayNotHoldRefusesTheResume)
{
    const struct {
        int row, cell;
        const char* raw;
    } cases[] = {{2, 2, "Ab&#0;cd"}, {5, 3, "a&#0;b@example.com"}, {7, 1, "&#xDC00;"}, {8, 2, "x\x01y"},
                 {8, 3, "caf\xC3"}};
    for (const auto& c : cases) {
        ResumeForm form = ResumeForm::be();
        form.set(1, c.row, c.cell, "MARKER");
        form.saveWithRawText(dir.file("raw.docx"), "MARKER", c.raw);
        setup.control.run.ErrorText.clear();
        EXPECT_EQ(ExtractResume(setup.control, dir.file("raw.docx")), kResumeRejected) << c.raw;
        const std::string where = "Table 1, row " + std::to_string(c.row) + ", cell " + std::to_string(c.cell);
        EXPECT_NE(Unwrapped(setup.control.run.ErrorText).find(where), std::string::npos) << setup.control.run.ErrorText;
        EXPECT_EQ(students(), 0) << c.raw;
    }
}

// The branch name (table Branch) and the placement address (Kyt.ini) are not cell texts: they reach
// the database as written, apostrophes and all, and nothing in them is executed.
TEST_F(ExtractResumeTest, BranchNameAndPlacementAddressAreStoredAsWritten)
{
    ASSERT_EQ(setup.control.session.Connector->exec("INSERT INTO Branch VALUES ('WE', 'Women''s Engineering')"),
              db::DataConnector::kSuccess);
    ASSERT_EQ(setup.control.session.Connector->exec("INSERT INTO Branch VALUES ('ZD', 'Zed'' || (select 1) || ''')"),
              db::DataConnector::kSuccess);
    setup.control.config.PlacementEmail = "o'neil@college.edu";
    ResumeForm women = ResumeForm::be("1QP01WE001");
    women.set(1, 5, 3, "not an address");
    ASSERT_EQ(extract(women), kResumeStored) << setup.control.run.ErrorText;
    ASSERT_EQ(extract(ResumeForm::be("1QP01ZD002"), "zd.docx"), kResumeStored) << setup.control.run.ErrorText;
    EXPECT_EQ(personal("BranchName", "1QP01WE001"), "Women's Engineering");
    EXPECT_EQ(personal("Email", "1QP01WE001"), "o'neil@college.edu");
    EXPECT_EQ(personal("BranchName", "1QP01ZD002"), "Zed' || (select 1) || '");
}

// The window program runs under the officer's locale; a decimal comma must not reach the SQL.
TEST_F(ExtractResumeTest, StoresTheSameUnderALocaleWithADecimalComma)
{
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "scripts/setup generates the de_DE.UTF-8 locale";
    const int16_t stored = extract(ResumeForm::be());
    std::setlocale(LC_ALL, previous.c_str());
    ASSERT_EQ(stored, kResumeStored) << setup.control.run.ErrorText;
    EXPECT_EQ(std::stod(personal("one_to_4")), 63.5);
    EXPECT_EQ(std::stod(marksOf()[0][5]), 81.6);
}

TEST_F(ExtractResumeTest, LongProjectTitlesContinueInTheSecondColumn)
{
    std::string preFinal, final;
    for (int k = 0; k < 300; ++k)
        preFinal += static_cast<char>('a' + k % 26);
    for (int k = 0; k < 600; ++k)
        final += static_cast<char>('A' + k % 26);
    ResumeForm form = ResumeForm::be();
    form.set(2, 15, 1, preFinal);
    form.set(2, 15, 2, final);
    ASSERT_EQ(extract(form), kResumeStored) << setup.control.run.ErrorText;

    EXPECT_EQ(personal("prefinalproject1"), preFinal.substr(0, 254));
    EXPECT_EQ(personal("prefinalproject2"), preFinal.substr(254));  // characters 255-300
    EXPECT_EQ(personal("prefinalproject2").size(), 46u);
    EXPECT_EQ(personal("finalproject1"), final.substr(0, 254));
    EXPECT_EQ(personal("finalproject2"), final.substr(254, 255));  // characters 255-509; the rest is dropped
}

TEST_F(ExtractResumeTest, MCAResumeChecksItsThirdRowButDoesNotStoreIt)
{
    ASSERT_EQ(extract(ResumeForm::mca()), kResumeStored) << setup.control.run.ErrorText;
    const std::string usn = "1QP01MCA07";
    EXPECT_EQ(levels(usn), (std::vector<std::string>{"1", "2", "4", "5", "6", "7", "8", "9"}));
    EXPECT_EQ(marksOf(usn)[2][2], "Dayananda Sagar College");
    // 2170/3200, 2870/4000, 3530/4800; seven and eight semesters do not exist.
    EXPECT_NEAR(std::stod(personal("one_to_4", usn)), 67.81, 1e-9);
    EXPECT_NEAR(std::stod(personal("one_to_5", usn)), 71.75, 1e-9);
    EXPECT_NEAR(std::stod(personal("one_to_6", usn)), 73.54, 1e-9);
    EXPECT_EQ(std::stod(personal("one_to_7", usn)), 0);
    EXPECT_EQ(std::stod(personal("one_to_8", usn)), 0);
    EXPECT_EQ(personal("prefinalproject1", usn), "Payroll system");
    EXPECT_EQ(personal("finalproject1", usn), "Online examination");
    EXPECT_EQ(personal("Name", usn), "Mary-Ann Joseph");
}

TEST_F(ExtractResumeTest, MCAThirdRowWithoutMaxMarksRejectsTheResume)
{
    ResumeForm form = ResumeForm::mca();
    form.set(2, 4, 4, "");
    EXPECT_EQ(extract(form), kResumeRejected);
    EXPECT_NE(Unwrapped(setup.control.run.ErrorText).find("Max marks not entered. See row 3"), std::string::npos)
        << setup.control.run.ErrorText;
    EXPECT_EQ(students(), 0);
    EXPECT_EQ(marks(), 0);
}

struct RejectionCase {
    const char* what;
    int table, row, cell;
    const char* text;
    const char* message;  // part of the reported message (unwrapped)
};

class ReaderRejects : public ExtractResumeTest, public ::testing::WithParamInterface<RejectionCase> {};

TEST_P(ReaderRejects, WithItsMessageAndLeavesNothingStored)
{
    const RejectionCase& c = GetParam();
    ResumeForm form = ResumeForm::be();
    form.set(c.table, c.row, c.cell, c.text);
    EXPECT_EQ(extract(form), kResumeRejected);
    const std::string unwrapped = Unwrapped(setup.control.run.ErrorText);
    EXPECT_NE(unwrapped.find(c.message), std::string::npos) << setup.control.run.ErrorText;
    EXPECT_NE(unwrapped.find("Transaction rolled back"), std::string::npos);
    EXPECT_EQ(students(), 0);
    EXPECT_EQ(marks(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReaderRejects,
    ::testing::Values(
        RejectionCase{"blank name", 1, 2, 2, "", "Name is blank"},
        RejectionCase{"day zero", 1, 3, 1, "0", "DOB: 0-11-1982 is invalid "},
        // dates the engine's own date conversion (the query's Age column) cannot convert
        RejectionCase{"month 13", 1, 3, 2, "13", "DOB: 5-13-1982 is invalid "},
        RejectionCase{"day 31 of November", 1, 3, 1, "31", "DOB: 31-11-1982 is invalid "},
        RejectionCase{"DOB without year", 1, 3, 3, "", "DOB: 5-11- is invalid "},
        RejectionCase{"max empty", 2, 6, 4, "", "In Academic Performance table:  Max marks not entered. See row 5"},
        RejectionCase{"max zero", 2, 3, 4, "0", "In Academic Performance table:  Max marks not entered. See row 2"},
        RejectionCase{"above max", 2, 12, 3, "1001",
                      "In Academic Performance table:  Marks obtained is more than max marks ! See row 11"},
        RejectionCase{"no year", 2, 8, 7, "",
                      "In Academic Performance table:  Pass year or No. of attempts is blank.  See row 7 of that table"},
        RejectionCase{"no attempts", 2, 2, 8, "",
                      "In Academic Performance table:  Pass year or No. of attempts is blank.  See row 1 of that table"}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST_F(ExtractResumeTest, FailureAfterTheTransactionBeganLeavesNoRow)
{
    // Marks beyond what a mark can hold are not a résumé's: the reader gives up after Personal and four
    // marks rows were written.
    ResumeForm form = ResumeForm::be();
    form.set(2, 8, 3, "99999");
    form.set(2, 8, 4, "99999");
    EXPECT_EQ(extract(form), kResumeRejected);
    EXPECT_NE(setup.control.run.ErrorText.find("This file does not seem to be a valid format resume"),
              std::string::npos)
        << setup.control.run.ErrorText;
    EXPECT_EQ(students(), 0);
    EXPECT_EQ(marks(), 0);

    // And the next résumé is stored alone, not together with the failed one's rows.
    ASSERT_EQ(extract(ResumeForm::be("1QP01CS008"), "next.docx"), kResumeStored) << setup.control.run.ErrorText;
    EXPECT_EQ(students(), 1);
    EXPECT_EQ(marks(), 10);
}

TEST_F(ExtractResumeTest, MissingProjectsRowRejectsAfterMarksWereWritten)
{
    ResumeForm form = ResumeForm::be();
    form.truncateTable(2, 13);
    EXPECT_EQ(extract(form), kResumeRejected);
    EXPECT_EQ(students(), 0);
    EXPECT_EQ(marks(), 0);
}

TEST_F(ExtractResumeTest, DocumentWithoutTablesIsNotAResume)
{
    const std::string path = dir.file("letter.docx");
    word::DocxWriter writer;
    writer.addParagraph("Dear Sir,");
    std::string error;
    ASSERT_TRUE(writer.save(path, error)) << error;
    EXPECT_EQ(ExtractResume(setup.control, path), kResumeRejected);
    EXPECT_NE(setup.control.run.ErrorText.find("This file does not seem"), std::string::npos);
}

TEST_F(ExtractResumeTest, UnreadableFileIsRejectedWithItsReason)
{
    const std::string path = dir.file("broken.docx");
    test::writeFile(path, "this is not a zip file");
    EXPECT_EQ(ExtractResume(setup.control, path), kResumeRejected);
    EXPECT_NE(setup.control.run.ErrorText.find("This file does not seem"), std::string::npos);
    EXPECT_EQ(students(), 0);
}

TEST_F(ExtractResumeTest, RowWithFewerDigitBoxesGivesASmallerNumber)
{
    ResumeForm form = ResumeForm::be();
    form.truncateRow(1, 10, 5);  // cells 3, 4 and 5 hold 1, 2, 3
    ASSERT_EQ(extract(form), kResumeStored) << setup.control.run.ErrorText;
    // Column 18 holds the number of the digit boxes of table 1 row 10.
    EXPECT_EQ(setup.rows("SELECT * FROM Personal").at(0).at(17), "123");
}

TEST_F(ExtractResumeTest, ReportsProgressAtItsFixedPointsAndNeverPast97BeforeTheEnd)
{
    std::vector<int> shown;
    setup.control.run.ResumeProgress = [&](int16_t percent) { shown.push_back(percent); };
    ASSERT_EQ(extract(ResumeForm::be()), kResumeStored) << setup.control.run.ErrorText;

    std::vector<int> expected{3, 6, 14, 14, 17, 20, 23, 25, 29, 35, 37, 40, 43, 45, 49, 52, 56, 59};
    for (int i = 1; i <= 11; ++i)
        expected.push_back(static_cast<int>(std::nearbyint(i * 1.9 + 62)));
    for (int p : {82, 83, 87, 89, 93, 97, 100})
        expected.push_back(p);
    EXPECT_EQ(shown, expected);
}

TEST(ShowResumeProgress, HoldsAt97UntilTheFinishedValue)
{
    Control control;
    int shown = -1;
    control.run.ResumeProgress = [&](int16_t percent) { shown = percent; };
    for (auto [given, expected] : std::vector<std::pair<int16_t, int16_t>>{{43, 43}, {98, 97}, {97, 97}, {2786, 100}}) {
        int16_t value = given;
        ShowResumeProgress(control, value);
        EXPECT_EQ(value, expected);
        EXPECT_EQ(shown, expected);
    }
}

TEST(GetTableRow, CleansCellsAndPadsTheRowTo21)
{
    word::Document document({word::Document::Table{{{"O'Neil\r\a", " 12 \r\a"}}}});
    TableRow cells;
    ASSERT_TRUE(GetTableRow(document, 1, 1, cells));
    EXPECT_EQ(cells[0], "O`Neil");
    EXPECT_EQ(cells[1], "12");
    EXPECT_EQ(cells[20], "");
    EXPECT_FALSE(GetTableRow(document, 1, 2, cells));
    EXPECT_FALSE(GetTableRow(document, 2, 1, cells));
}

TEST(GetTableRow, RefusesARowOfMoreThan21Cells)
{
    word::Document wide({word::Document::Table{{std::vector<std::string>(22, "x\r\a")}}});
    word::Document full({word::Document::Table{{std::vector<std::string>(21, "x\r\a")}}});
    TableRow cells;
    EXPECT_FALSE(GetTableRow(wide, 1, 1, cells));
    EXPECT_TRUE(GetTableRow(full, 1, 1, cells));
}

TEST(LeadingNumber, ReadsDigitBoxesAsOneNumber)
{
    struct Case {
        const char* text;
        bool fits;
        int32_t value;
    };
    for (const Case& c : {Case{"123456", true, 123456}, Case{"12 34", true, 1234}, Case{"", true, 0},
                          Case{"12a3", true, 12}, Case{"abc", true, 0}, Case{"2.5", true, 2}, Case{"3.5", true, 4},
                          Case{"99999999999", false, 0}, Case{"2147483647", true, 2147483647}}) {
        int32_t value = -7;
        EXPECT_EQ(LeadingNumber(c.text, value), c.fits) << c.text;
        if (c.fits) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

}  // namespace
}  // namespace kyt

namespace kyt {
namespace {

// The form generator's résumés, with its faults: the reader and the generator must agree on every cell.
struct GeneratedCase {
    const char* fault;  // empty: a valid résumé
    const char* message;  // empty: stored
    long marksRows;
};

class GeneratedResume : public ExtractResumeTest, public ::testing::WithParamInterface<GeneratedCase> {};

TEST_P(GeneratedResume, IsStoredOrRefusedAsItsFaultSays)
{
    const GeneratedCase& c = GetParam();
    form::Resume resume = form::sampleResume(1, "1QP22CS001", form::Course::BE);
    std::string error;
    if (*c.fault) {
        ASSERT_TRUE(form::applyFault(resume, c.fault, error)) << error;
    }
    const std::string path = dir.file("generated.docx");
    ASSERT_TRUE(form::writeResume(resume, path, error)) << error;

    const int16_t result = ExtractResume(setup.control, path);
    if (*c.message) {
        EXPECT_EQ(result, kResumeRejected);
        EXPECT_NE(Unwrapped(setup.control.run.ErrorText).find(c.message), std::string::npos)
            << setup.control.run.ErrorText;
        EXPECT_EQ(students(), 0);
    } else {
        EXPECT_EQ(result, kResumeStored) << setup.control.run.ErrorText;
        EXPECT_EQ(students(), 1);
        EXPECT_EQ(setup.count("SELECT count(*) FROM Marks WHERE usn='1QP22CS001'"), c.marksRows);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, GeneratedResume,
    ::testing::Values(
        GeneratedCase{"", "", 10}, GeneratedCase{"bad-usn", "Bad region code", 0},
        GeneratedCase{"blank-name", "Name is blank", 0},
        GeneratedCase{"bad-dob=0-5-2004", "DOB: 0-5-2004 is invalid ", 0},
        GeneratedCase{"obtained-over-max", "Marks obtained is more than max marks ! See row 4", 0},
        GeneratedCase{"missing-max=5", "Max marks not entered. See row 5", 0},
        GeneratedCase{"blank-pass-year", "Pass year or No. of attempts is blank.  See row 1 of that table", 0},
        GeneratedCase{"empty-obtained", "", 0}, GeneratedCase{"marks-stop-after=5", "", 7},
        GeneratedCase{"bad-email", "", 10}, GeneratedCase{"long-projects=600", "", 10},
        GeneratedCase{"missing-table", "This file does not seem to be a valid format resume", 0},
        GeneratedCase{"wide-row", "This file does not seem to be a valid format resume", 0}),
    [](const auto& info) {
        std::string name = *info.param.fault ? info.param.fault : "valid";
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

}  // namespace
}  // namespace kyt
